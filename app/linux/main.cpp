// The Linux program's entry point: starts Qt, creates the four long-lived
// objects, wires them, runs the main dialog modally on this (the GUI)
// thread and takes everything down in a fixed order (the same as the
// Windows program's).
//
// Ports: the window lists the serial devices present (ui/qt/QtPortList.h):
// /dev/serial/by-id links, then /dev/ttyUSB<n> and /dev/ttyACM<n>, then the
// /dev/ttyS<n> with a real UART, each once, refreshed whenever the list
// opens. VORLANT_EXTRA_PORTS=/dev/pts/N (several separated by ':') adds
// devices at the top of the list, for example the simulator's pty.
//
// --help prints the usage and --version the version, instead of opening the
// window (the manual page is made from the help text).
//
// The process exit code is always 0.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstring>

#include "app/AppShell.h"
#include "ui/qt/QtMainWindow.h"

namespace {

constexpr const char* kUsage =
    "vorlant-qt configures a Brask telescope-mount controller on a serial port: gear\n"
    "ratios, speeds, motor currents, guiding rates and the site. Choose the port\n"
    "and connect; the window reads the controller out and shows its settings, and\n"
    "its Tools menu exports them to a file and imports them from one.\n"
    "\n"
    "Usage: vorlant-qt [--help] [--version] [Qt options such as -platform NAME]\n"
    "\n"
    "Options:\n"
    "  -h, --help     this help\n"
    "  --version      print the version and exit\n"
    "\n"
    "Environment:\n"
    "  VORLANT_EXTRA_PORTS  devices to list first in the port list, separated by\n"
    "                       ':', for example a simulator's /dev/pts/N\n"
    "  VORLANT_TRACE        write every frame sent and received to FILE, one line\n"
    "                       each\n"
    "  VORLANT_TRACE_LIMIT_MB  the most the trace may grow to, in MiB (1..4096, 16\n"
    "                       when not set)\n"
    "\n"
    "A port that cannot be opened is named in the status line with the reason.\n";

}  // namespace

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0) {
            std::fputs("vorlant-qt " VORLANT_VERSION "\n", stdout);
            return 0;
        }
    }
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vorlant-qt"));
    QApplication::setDesktopFileName(QStringLiteral("vorlant-qt"));
    // The installed icon (share/icons/hicolor), when there is one.
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("vorlant-qt")));

    vorlant::runApplication(
        [](vorlant::DlgConfig& dialog, vorlant::AppModel& bridge) {
            return new vorlant::QtMainWindow(dialog, bridge, vorlant::qtResourceTemplates());
        },
        [](vorlant::QtMainWindow& window) { window.run(); });
    return 0;
}
