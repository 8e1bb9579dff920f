#include "ui/qt/QtMainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QMenu>
#include <QMenuBar>
#include <QMetaObject>

#include "ui/MainDialogIds.h"
#include "ui/MenuCommands.h"

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
      host_(this, templates),
      transferHost_(this),
      ports_(systemSerialDevices) {
    controls().setCommandHandler([this](int id, int code) {
        if (code == QtDialogControls::kEditLostFocus) {
            dialog_.editLostFocus(id);
        } else {
            dialog_.command(id);
        }
    });
    controls().setScrollHandler([this](int id, int code) {
        if (code == QtDialogControls::kTrackBarReleased) dialog_.trackBarReleased(id);
    });
    controls().setPopupHandler(MainId::PortCombo, [this] { refreshPorts(); });
    setCancelHandler([this] { dialog_.command(2); });
    setEnterHandler([this] { dialog_.command(1); });
    setWindowFlag(Qt::WindowMinimizeButtonHint, true);
    addToolsMenu();
}

QtMainWindow::~QtMainWindow() {
    dialog_.setTransferHost(nullptr);
}

void QtMainWindow::addToolsMenu() {
    auto* bar = new QMenuBar(this);
    QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
    for (const MenuCommand& c : kMenuCommands) {
        const int id = c.id;
        QObject::connect(tools->addAction(QString::fromUtf8(c.text)), &QAction::triggered, this,
                         [this, id] { dialog_.menuCommand(id); });
    }
    contentTop_ = bar->sizeHint().height();
    bar->setGeometry(0, 0, width(), contentTop_);
    // The template's controls move down as one, so the layout stays the
    // template's.
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child != bar) child->move(child->x(), child->y() + contentTop_);
    }
    setFixedSize(width(), height() + contentTop_);
}

void QtMainWindow::initialise() {
    if (initialised_) return;
    initialised_ = true;
    dialog_.initDialog(controls(), host_);
    dialog_.setTransferHost(&transferHost_);
    // The logic named the ports by number; the list names the devices
    // those numbers open.
    refreshPorts();
    // Delivers any report whose announcement did not arrive.
    reportTimer_.setInterval(kReportTimerMs);
    QObject::connect(&reportTimer_, &QTimer::timeout, this, [this] { dialog_.pollReports(); });
    reportTimer_.start();
}

void QtMainWindow::setPortSource(PortSource source) {
    ports_.setSource(std::move(source));
    if (initialised_) refreshPorts();
}

void QtMainWindow::refreshPorts() {
    auto* combo = qobject_cast<QComboBox*>(controls().widget(MainId::PortCombo));
    if (combo == nullptr) return;
    ports_.refresh(*combo);
    controls().enable(MainId::Connect, !ports_.devices().empty());
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
