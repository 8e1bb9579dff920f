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
// The process exit code is always 0.
#include <QApplication>
#include <QIcon>

#include "app/AppShell.h"
#include "ui/qt/QtMainWindow.h"

int main(int argc, char** argv) {
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
