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
#include <cstdlib>
#include <string>

#include "app/AppShell.h"
#include "platform/SerialPort.h"
#include "ui/qt/QtMainWindow.h"

namespace {

void registerSerialDevices() {
    int number = 1;
    for (const std::string& device : vorlant::platform::serialDevices()) {
        if (number > 256) break;
        vorlant::platform::setPortDevice(number++, device);
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
