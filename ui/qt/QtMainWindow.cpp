#include "ui/qt/QtMainWindow.h"

#include <QCloseEvent>
#include <QMetaObject>

#include "ui/MainDialogIds.h"

namespace vorlant {

namespace {

const ResourceTemplate& mainTemplate(const ResourceTemplates& templates) {
    static const ResourceTemplate empty;
    const auto found = templates.find(kDialogMain);
    return found == templates.end() ? empty : found->second;
}

}  // namespace

QtMainWindow::QtMainWindow(DlgConfig& dialog, AppModel& bridge, const ResourceTemplates& templates)
    : QtTemplateDialog(nullptr, mainTemplate(templates)),
      dialog_(dialog),
      bridge_(bridge),
      host_(this, templates) {
    controls().setCommandHandler([this](int id, int code) { dialog_.command(id, code); });
    controls().setScrollHandler([this](int id, int code) { dialog_.trackBarScroll(id, code); });
    setCancelHandler([this] { dialog_.command(2, 0); });
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
}

void QtMainWindow::initialise() {
    if (initialised_) return;
    initialised_ = true;
    dialog_.initDialog(controls(), host_);
    // Delivers any report whose announcement did not arrive.
    reportTimer_.setInterval(kReportTimerMs);
    QObject::connect(&reportTimer_, &QTimer::timeout, this, [this] { dialog_.pollReports(); });
    reportTimer_.start();
}

int QtMainWindow::run() {
    initialise();
    exec();
    return 1;
}

void QtMainWindow::postToWindow(uint32_t wParam, int32_t lParam) {
    // Queued: returns at once; a delivery still queued when the window goes
    // is dropped with it.
    QMetaObject::invokeMethod(
        this, [this, wParam, lParam] { bridge_.deliverPendingReport(wParam, lParam); }, Qt::QueuedConnection);
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
    reportTimer_.stop();
    event->accept();
    done(1);
}

}  // namespace vorlant
