// The Linux program's entry point: starts Qt, names the serial devices,
// creates the four long-lived objects, wires them, runs the main dialog
// modally on this (the GUI) thread and takes everything down in a fixed
// order (the same as the Windows program's).
//
// Port numbers: the dialog lists COM1..COM256 on every platform. Before it
// starts, the serial devices present are numbered in this order:
// /dev/serial/by-id/* (sorted by name), then any /dev/ttyUSB<n> and
// /dev/ttyACM<n> not already named (by number), as COM1, COM2, ...
// A number left over opens /dev/ttyS<n-1>. The environment variable
// VORLANT_PORT1=/path makes COM1 that device (a simulator's pty, say).
//
// The process exit code is always 0.
#include <QApplication>
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "app/AppShell.h"
#include "platform/SerialPort.h"
#include "ui/qt/QtMainWindow.h"

namespace {

namespace fs = std::filesystem;

// The process-wide objects; each lives from start-up to shutdown and none
// owns another.
// Entries of `folder` whose names start with `prefix`, in name order with
// trailing numbers compared as numbers (ttyUSB2 before ttyUSB10).
std::vector<fs::path> entries(const fs::path& folder, const std::string& prefix) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (name.compare(0, prefix.size(), prefix) == 0) found.push_back(it->path());
    }
    std::sort(found.begin(), found.end(), [&prefix](const fs::path& a, const fs::path& b) {
        const std::string x = a.filename().string().substr(prefix.size());
        const std::string y = b.filename().string().substr(prefix.size());
        return x.size() != y.size() && !prefix.empty() ? x.size() < y.size() : x < y;
    });
    return found;
}

void registerSerialDevices() {
    std::vector<fs::path> devices = entries("/dev/serial/by-id", "");
    for (const auto& p : entries("/dev", "ttyUSB")) devices.push_back(p);
    for (const auto& p : entries("/dev", "ttyACM")) devices.push_back(p);
    std::set<std::string> named;  // resolved paths, so a by-id link and its device count once
    int number = 1;
    for (const fs::path& device : devices) {
        std::error_code error;
        const fs::path real = fs::canonical(device, error);
        if (error || !named.insert(real.string()).second) continue;
        if (number > 256) break;
        vorlant::platform::setPortDevice(number++, device.string());
    }
    const char* first = std::getenv("VORLANT_PORT1");
    if (first != nullptr && first[0] != '\0') vorlant::platform::setPortDevice(1, first);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    registerSerialDevices();

    vorlant::runApplication(
        [](vorlant::DlgConfig& dialog, vorlant::AppModel& bridge) {
            return new vorlant::QtMainWindow(dialog, bridge, vorlant::qtResourceTemplates());
        },
        [](vorlant::QtMainWindow& window) { window.run(); });
    return 0;
}
