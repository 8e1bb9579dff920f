#include "ui/qt/QtMainWindow.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
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
    dialog_.setScanHost(nullptr);
    dialog_.setTransferHost(nullptr);
}

void QtMainWindow::addToolsMenu() {
    auto* bar = new QMenuBar(this);
    QMenu* tools = bar->addMenu(QStringLiteral("&Tools"));
    contextMenu_ = new QMenu(this);
    // The same actions serve the menu bar and the window's context menu.
    for (const MenuCommand& c : kMenuCommands) {
        auto* action = new QAction(QString::fromUtf8(c.text), this);
        const int id = c.id;
        QObject::connect(action, &QAction::triggered, this, [this, id] { dialog_.menuCommand(id); });
        tools->addAction(action);
        contextMenu_->addAction(action);
        addAction(action);
    }
    setContextMenuPolicy(Qt::ActionsContextMenu);
    // The right clicks come here first (eventFilter): the window's own and
    // those on every control that has no menu of its own.
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
        if (child != bar && qobject_cast<QLineEdit*>(child) == nullptr) child->installEventFilter(this);
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
    dialog_.setScanHost(this);
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
    // A scan and a transfer name their ports by number (a transfer opens its
    // port again for the read-back): renumbered, a number would lead to
    // another device.
    if (dialog_.scanRunning() || dialog_.transfer().busy()) return;
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

std::vector<ProbeTarget> QtMainWindow::probeTargets() {
    refreshPorts();
    std::vector<ProbeTarget> targets;
    const std::vector<platform::SerialDevice>& devices = ports_.devices();
    for (std::size_t i = 0; i < devices.size(); ++i)
        targets.push_back(ProbeTarget{static_cast<int>(i) + 1, devices[i].path, true});
    return targets;
}

void QtMainWindow::showScanResults(const std::string& text) {
    QMessageBox::information(this, QStringLiteral("Find controller"), QString::fromStdString(text));
}

bool QtMainWindow::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::ContextMenu && contextMenu_ != nullptr) {
        // Not exec(): the window's timers and report deliveries go on.
        contextMenu_->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
        return true;
    }
    return QtTemplateDialog::eventFilter(watched, event);
}

void QtMainWindow::closeEvent(QCloseEvent* event) {
    // While an import sends, the user is asked first; No keeps the window.
    if (!dialog_.closeRequested()) {
        event->ignore();
        return;
    }
    reportTimer_.stop();
    event->accept();
    done(1);
}

}  // namespace vorlant
