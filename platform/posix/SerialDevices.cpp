// Serial device discovery over /dev and /sys (see platform/SerialDevices.h).
#include "platform/SerialDevices.h"

#include <grp.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <set>
#include <system_error>

#include "platform/SerialPort.h"

namespace vorlant::platform {

namespace {

namespace fs = std::filesystem;

bool allDigits(const std::string& text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Entries of `folder`: with a prefix, those named prefix<n> in the order of
// n (ttyUSB2 before ttyUSB10); without one, all of them by name.
std::vector<fs::path> entries(const fs::path& folder, const std::string& prefix) {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (prefix.empty() ||
            (name.compare(0, prefix.size(), prefix) == 0 && allDigits(name.substr(prefix.size()))))
            found.push_back(it->path());
    }
    std::sort(found.begin(), found.end(), [&prefix](const fs::path& a, const fs::path& b) {
        const std::string x = a.filename().string().substr(prefix.size());
        const std::string y = b.filename().string().substr(prefix.size());
        if (!prefix.empty() && x.size() != y.size()) return x.size() < y.size();
        return x < y;
    });
    return found;
}

// The first line of a small attribute file, without surrounding blanks;
// empty when there is none.
std::string attribute(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    if (!in || !std::getline(in, line)) return std::string();
    if (line.size() > 200) line.resize(200);
    const auto blank = [](char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; };
    while (!line.empty() && blank(line.back())) line.pop_back();
    std::size_t start = 0;
    while (start < line.size() && blank(line[start])) ++start;
    return line.substr(start);
}

fs::path ttyClass(const SerialDeviceRoots& roots, const std::string& kernelName) {
    return fs::path(roots.sys) / "class" / "tty" / kernelName;
}

// A ttyS port the serial core found a UART for: its type is not 0
// ("unknown"), which every placeholder port reports.
bool isRealUart(const SerialDeviceRoots& roots, const std::string& kernelName) {
    const std::string type = attribute(ttyClass(roots, kernelName) / "type");
    return allDigits(type) && type.find_first_not_of('0') != std::string::npos;
}

// The USB product behind a tty (its device or one of the few parents
// above it, where the USB device's attributes are), with the maker in front
// when the product does not already name it.
std::string usbProduct(const SerialDeviceRoots& roots, const std::string& kernelName) {
    std::error_code error;
    fs::path at = fs::canonical(ttyClass(roots, kernelName) / "device", error);
    if (error) return std::string();
    for (int level = 0; level < 4 && !at.empty() && at != at.root_path(); ++level, at = at.parent_path()) {
        const std::string product = attribute(at / "product");
        if (product.empty()) continue;
        const std::string maker = attribute(at / "manufacturer");
        if (maker.empty() || product.compare(0, maker.size(), maker) == 0) return product;
        return maker + " " + product;
    }
    return std::string();
}

std::string friendlyName(const SerialDeviceRoots& roots, const fs::path& node) {
    const std::string kernelName = node.filename().string();
    const std::string product = usbProduct(roots, kernelName);
    if (!product.empty()) return product;
    if (kernelName.rfind("ttyUSB", 0) == 0 || kernelName.rfind("ttyACM", 0) == 0) return "USB serial device";
    if (kernelName.rfind("ttyS", 0) == 0) return "Serial port";
    if (node.parent_path().filename() == "pts") return "Pseudo-terminal";
    return "Serial device";
}

}  // namespace

SerialDevice describeSerialDevice(const std::string& path, const SerialDeviceRoots& roots) {
    std::error_code error;
    fs::path node = fs::canonical(path, error);
    if (error) node = path;
    return SerialDevice{path, node.string(), friendlyName(roots, node)};
}

std::vector<SerialDevice> discoverSerialDevices(const SerialDeviceRoots& roots) {
    const fs::path dev(roots.dev);
    std::vector<fs::path> candidates = entries(dev / "serial" / "by-id", "");
    for (const char* prefix : {"ttyUSB", "ttyACM"}) {
        for (const fs::path& p : entries(dev, prefix)) candidates.push_back(p);
    }
    for (const fs::path& p : entries(dev, "ttyS")) {
        if (isRealUart(roots, p.filename().string())) candidates.push_back(p);
    }

    std::set<std::string> listed;  // resolved nodes: a link and its target count once
    std::vector<SerialDevice> devices;
    for (const fs::path& candidate : candidates) {
        std::error_code error;
        const fs::path node = fs::canonical(candidate, error);
        if (error || !listed.insert(node.string()).second) continue;  // a dangling link, or listed
        devices.push_back(SerialDevice{candidate.string(), node.string(), friendlyName(roots, node)});
    }
    return devices;
}

std::vector<std::string> serialDevices() {
    std::vector<std::string> paths;
    for (const SerialDevice& device : discoverSerialDevices()) paths.push_back(device.path);
    return paths;
}

std::string serialAccessGroup(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::string();
    char buffer[4096];
    group entry{};
    group* found = nullptr;
    if (getgrgid_r(st.st_gid, &entry, buffer, sizeof buffer, &found) != 0 || found == nullptr)
        return std::string();
    const std::string name = found->gr_name;
    return name == "dialout" || name == "uucp" ? name : std::string();
}

}  // namespace vorlant::platform
