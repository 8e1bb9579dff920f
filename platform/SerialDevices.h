// The serial devices present on a POSIX machine, for a front's port list.
// A front numbers the entries itself and registers each path with
// setPortDevice (platform/SerialPort.h); the engine only ever sees numbers.
//
// The order: the links in <dev>/serial/by-id (by name), then <dev>/ttyUSB<n>
// and <dev>/ttyACM<n> (by number), then the <dev>/ttyS<n> ports that are
// real UARTs (the serial core reports a port type other than "unknown" in
// <sys>/class/tty/ttyS<n>/type; the kernel creates many more that lead
// nowhere). A device reached through a by-id link is listed once, as the
// link, which stays the same across re-plugging.
//
// The roots are parameters so that a test can lay out a fake tree.
//
// Threads: any; reads the file system only.
#pragma once

#include <string>
#include <vector>

namespace vorlant::platform {

struct SerialDevice {
    std::string path;  // what to open: the by-id link where there is one
    std::string node;  // the device node it leads to, e.g. /dev/ttyUSB0
    std::string name;  // for people: the USB product, "Serial port", ...
};

struct SerialDeviceRoots {
    std::string dev = "/dev";
    std::string sys = "/sys";
};

std::vector<SerialDevice> discoverSerialDevices(const SerialDeviceRoots& roots = SerialDeviceRoots());

// One device named by hand (a pty, a path typed by the user): its node and
// friendly name as discovery would give them. A path that does not resolve
// keeps itself as its node.
SerialDevice describeSerialDevice(const std::string& path,
                                  const SerialDeviceRoots& roots = SerialDeviceRoots());

// The group that owns the device at `path` when it is one of the groups
// distributions give serial ports to (dialout, uucp), so that joining it
// would grant access; empty for any other owner (a root-only port, a file)
// or a path that cannot be examined.
std::string serialAccessGroup(const std::string& path);

}  // namespace vorlant::platform
