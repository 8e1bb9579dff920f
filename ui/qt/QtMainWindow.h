// The Linux front's main dialog (template 100): the shared DlgConfig logic
// over widgets from the template, and the window side of the report
// announcements. postToWindow may be called from any thread; it only
// queues the delivery onto the GUI thread (never waits), where the bridge
// hands the stored report to the dialog.
//
// Escape and Enter do not end the dialog (they reach the logic as commands
// 2 and 1, which it ignores); the close box ends it with 1.
//
// The port list shows the serial devices from the port source (by default
// systemSerialDevices()), asked again whenever the list opens (not while a
// search for the controller or a settings transfer runs: their port
// numbers must keep leading to their devices); "Connect" is usable while
// the list has an entry.
//
// A "&Tools" menu bar above the template's controls, and the window's
// context menu, hold the commands of ui/MenuCommands.h; the controls keep their places relative to each
// other, all moved down by the menu bar's height (contentTop()). The
// context menu opens on a right click on the window's background and on
// every control without a menu of its own (all but the edit fields),
// disabled ones included (Qt hands a disabled control's click to no one).
//
// Threads: everything but postToWindow on the GUI thread.
#pragma once

#include <QMenu>
#include <QTimer>
#include <memory>

#include "ui/AppModel.h"
#include "ui/ControllerSearch.h"
#include "ui/DialogNotify.h"
#include "ui/DlgConfig.h"
#include "ui/qt/QtDialogHost.h"
#include "ui/qt/QtPortList.h"
#include "ui/qt/QtTemplateDialog.h"
#include "ui/qt/QtTransferHost.h"

namespace vorlant {

class QtMainWindow : public QtTemplateDialog, public DialogWindow, public ScanHost {
public:
    QtMainWindow(DlgConfig& dialog, AppModel& bridge, const ResourceTemplates& templates);
    ~QtMainWindow() override;

    // The dialog's initialisation (once; run() does it if not yet done).
    void initialise();
    // Shows the dialog modally until the close box; returns 1.
    int run();

    // Where the port list comes from; the list is refilled at once when the
    // dialog is initialised already.
    void setPortSource(PortSource source);
    // Does nothing while a scan or a transfer holds port numbers.
    void refreshPorts();
    const QtPortList& ports() const { return ports_; }
    // Where the template's top edge is: below the menu bar.
    int contentTop() const { return contentTop_; }

    void postToWindow(uint32_t wParam, int32_t lParam) override;

    // "Find controller..." (the window's context menu): the devices of the
    // port list, read again first.
    std::vector<ProbeTarget> probeTargets() override;
    void showScanResults(const std::string& text) override;

    // The context menu (open while it shows).
    const QMenu* contextMenu() const { return contextMenu_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void addToolsMenu();

    DlgConfig& dialog_;
    AppModel& bridge_;
    QtDialogHost host_;
    QtTransferHost transferHost_;
    int contentTop_ = 0;
    QtPortList ports_;
    QMenu* contextMenu_ = nullptr;
    bool initialised_ = false;
    static constexpr int kReportTimerMs = 250;
    QTimer reportTimer_;
};

}  // namespace vorlant
