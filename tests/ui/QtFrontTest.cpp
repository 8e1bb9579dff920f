// The Linux front: widgets made from the resource script's templates, the
// signal wiring to the dialog logic, and report delivery through the
// window's event queue. Runs on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/ControllerSettings.h"
#include "platform/SerialPort.h"
#include "tests/support/FakeTransferHost.h"
#include "ui/FakeControls.h"
#include "ui/MainDialogIds.h"
#include "ui/MenuCommands.h"
#include "ui/SecondaryDialogIds.h"
#include "ui/qt/QtDialogControls.h"
#include "ui/qt/QtDialogHost.h"
#include "ui/qt/QtMainWindow.h"

namespace vorlant {
namespace {

class QtFront : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // No display needed: unless told otherwise, draw offscreen.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "ui_qt_tests";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) application_ = new QApplication(argc, argv);
    }
    static QApplication* application_;
};
QApplication* QtFront::application_ = nullptr;  // lives to the end of the program

// Does the widget have the Qt class its kind promises?
bool hasClassOf(QtControlKind kind, QWidget* w) {
    switch (kind) {
        case QtControlKind::Combo:
            return qobject_cast<QComboBox*>(w) != nullptr;
        case QtControlKind::CheckBox:
            return qobject_cast<QCheckBox*>(w) != nullptr;
        case QtControlKind::PushCheck: {
            auto* b = qobject_cast<QPushButton*>(w);
            return b != nullptr && b->isCheckable();
        }
        case QtControlKind::Radio:
            return qobject_cast<QRadioButton*>(w) != nullptr;
        case QtControlKind::Button:
        case QtControlKind::BitmapButton: {
            auto* b = qobject_cast<QPushButton*>(w);
            return b != nullptr && !b->isCheckable();
        }
        case QtControlKind::Group:
            return qobject_cast<QGroupBox*>(w) != nullptr;
        case QtControlKind::Label:
            return qobject_cast<QLabel*>(w) != nullptr;
        case QtControlKind::Edit:
            return qobject_cast<QLineEdit*>(w) != nullptr;
        case QtControlKind::TrackBar: {
            auto* s = qobject_cast<QSlider*>(w);
            return s != nullptr && s->orientation() == Qt::Horizontal &&
                   s->tickPosition() != QSlider::NoTicks;
        }
        case QtControlKind::Line: {
            auto* f = qobject_cast<QFrame*>(w);
            return f != nullptr && f->frameShape() == QFrame::HLine;
        }
    }
    return false;
}

// Three devices as discovery names them.
std::vector<platform::SerialDevice> threeDevices() {
    return {{"/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", "/dev/ttyUSB1", "FTDI FT232R USB UART"},
            {"/dev/ttyACM0", "/dev/ttyACM0", "Brask controller"},
            {"/dev/ttyS0", "/dev/ttyS0", "Serial port"}};
}

TEST_F(QtFront, MainWindowHasEveryTemplateControlAsItsWidget) {
    test::FakeEngine engine;
    AppModel bridge;
    DlgConfig dialog(engine, bridge);
    QtMainWindow window(dialog, bridge, qtResourceTemplates());
    window.setPortSource(threeDevices);
    window.initialise();
    QtDialogControls& controls = window.controls();
    const DialogUnits& units = controls.units();

    // The menu bar above the template holds the window's commands.
    const QMenuBar* bar = window.findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(window.contentTop(), bar->height());
    EXPECT_GT(window.contentTop(), 0);
    ASSERT_EQ(bar->actions().size(), 1);
    EXPECT_EQ(bar->actions()[0]->text().toStdString(), "&Tools");
    const QList<QAction*> commands = bar->actions()[0]->menu()->actions();
    ASSERT_EQ(static_cast<size_t>(commands.size()), std::size(kMenuCommands));
    for (size_t i = 0; i < std::size(kMenuCommands); ++i)
        EXPECT_EQ(commands[static_cast<int>(i)]->text().toStdString(), kMenuCommands[i].text);

    const ResourceTemplate& t = qtResourceTemplates().at(kDialogMain);
    ASSERT_EQ(t.controls.size(), 129u);
    EXPECT_EQ(controls.count(), 129u);
    for (const ResourceControl& c : t.controls) {
        SCOPED_TRACE(c.id);
        QtControlKind kind{};
        ASSERT_TRUE(controls.kindOf(c.id, kind));
        EXPECT_TRUE(hasClassOf(kind, controls.widget(c.id)));
        EXPECT_EQ(controls.widget(c.id)->x(), units.x(c.x));
        EXPECT_EQ(controls.widget(c.id)->y(), window.contentTop() + units.y(c.y));
    }
    const std::vector<std::pair<int, QtControlKind>> expected = {
        {MainId::PortCombo, QtControlKind::Combo},      {MainId::Baud115200, QtControlKind::CheckBox},
        {MainId::Connect, QtControlKind::Button},       {MainId::MoveNorth, QtControlKind::BitmapButton},
        {MainId::TrackOn, QtControlKind::PushCheck},    {MainId::TrackOff, QtControlKind::PushCheck},
        {MainId::RaGroup, QtControlKind::Group},        {MainId::PortLabel, QtControlKind::Label},
        {MainId::StatusLine, QtControlKind::Edit},      {MainId::RaMaxSpeedEdit, QtControlKind::Edit},
        {MainId::ManualSpeed, QtControlKind::TrackBar}, {MainId::RaGuideRateTrack, QtControlKind::TrackBar},
        {MainId::RaSeparator1, QtControlKind::Line},    {MainId::RaReverseRotation, QtControlKind::CheckBox},
    };
    for (const auto& [id, kind] : expected) {
        QtControlKind actual{};
        ASSERT_TRUE(controls.kindOf(id, actual)) << id;
        EXPECT_EQ(actual, kind) << id;
    }
    EXPECT_TRUE(qobject_cast<QLineEdit*>(controls.widget(MainId::StatusLine))->isReadOnly());
    EXPECT_FALSE(qobject_cast<QLineEdit*>(controls.widget(MainId::RaMaxSpeedEdit))->isReadOnly());
    EXPECT_EQ(window.width(), units.x(t.w));
    EXPECT_EQ(window.height(), window.contentTop() + units.y(t.h));
    // The initialisation gave the arrows their icons and listed the devices.
    for (int id : {MainId::MoveNorth, MainId::MoveSouth, MainId::MoveEast, MainId::MoveWest})
        EXPECT_FALSE(qobject_cast<QPushButton*>(controls.widget(id))->icon().isNull()) << id;
    auto* combo = qobject_cast<QComboBox*>(controls.widget(MainId::PortCombo));
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(0).toStdString(), "FTDI FT232R USB UART (/dev/ttyUSB1)");
    EXPECT_EQ(combo->itemText(2).toStdString(), "Serial port (/dev/ttyS0)");
    EXPECT_EQ(combo->currentIndex(), 0);
    // The closed list keeps the template's width and shows the chosen node;
    // the open one fits the names.
    EXPECT_EQ(combo->width(), units.x(60));
    EXPECT_GT(combo->view()->minimumWidth(), combo->fontMetrics().horizontalAdvance(combo->itemText(0)));
    EXPECT_EQ(closedComboText(*combo).toStdString(), "/dev/ttyUSB1");
    // Every one-line text is whole in its box, in the font it is drawn in.
    for (const ResourceControl& c : t.controls) {
        auto* label = qobject_cast<QLabel*>(controls.widget(c.id));
        if (label == nullptr || label->wordWrap()) continue;
        EXPECT_LE(QFontMetrics(label->font()).horizontalAdvance(label->text()), label->contentsRect().width())
            << c.id << " " << c.caption;
    }
    // Group boxes lie behind the controls they enclose.
    const QObjectList& children = window.children();
    const auto position = [&children](QWidget* w) { return children.indexOf(w); };
    EXPECT_LT(position(controls.widget(MainId::RaGroup)), position(controls.widget(MainId::RaMaxSpeedEdit)));

    // A click on Connect reaches the engine; initialisation alone sent nothing.
    EXPECT_TRUE(std::none_of(engine.calls.begin(), engine.calls.end(),
                             [](const std::string& call) { return call.rfind("connect", 0) == 0; }));
    combo->setCurrentIndex(2);
    qobject_cast<QPushButton*>(controls.widget(MainId::Connect))->click();
    ASSERT_FALSE(engine.calls.empty());
    EXPECT_EQ(engine.calls.back(), "connect(3,9600)");
    EXPECT_EQ(platform::portDevice(3), "/dev/ttyS0");
}

// A right click opens the window's menu on the background and on every
// control without a menu of its own, disabled or not; an edit field keeps
// its own.
TEST_F(QtFront, ContextMenuOpensWhereverNoControlHasItsOwn) {
    test::FakeEngine engine;
    AppModel bridge;
    DlgConfig dialog(engine, bridge);
    QtMainWindow window(dialog, bridge, qtResourceTemplates());
    window.setPortSource(threeDevices);
    window.initialise();
    window.show();
    QtDialogControls& controls = window.controls();
    ASSERT_FALSE(controls.isEnabled(MainId::AdvancedSettings));  // not connected
    const std::vector<std::pair<int, bool>> cases = {
        {0, true},  // the window's background
        {MainId::AdvancedSettings, true},
        {MainId::PortCombo, true},
        {MainId::RaGroup, true},
        {MainId::RaGuideLabel, true},
        {MainId::RaGuideRateTrack, true},
        {MainId::StatusLine, false},
    };
    for (const auto& [id, opens] : cases) {
        QWidget* target = id == 0 ? static_cast<QWidget*>(&window) : controls.widget(id);
        const QPoint at(2, 2);
        QContextMenuEvent event(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
        QApplication::sendEvent(target, &event);
        EXPECT_EQ(window.contextMenu()->isVisible(), opens) << id;
        for (QWidget* popup : QApplication::topLevelWidgets())
            if (qobject_cast<QMenu*>(popup) != nullptr) popup->close();
    }
}

TEST_F(QtFront, PortListFollowsTheDevicesEachTimeItOpens) {
    test::FakeEngine engine;
    AppModel bridge;
    DlgConfig dialog(engine, bridge);
    QtMainWindow window(dialog, bridge, qtResourceTemplates());
    std::vector<platform::SerialDevice> present = threeDevices();
    window.setPortSource([&present] { return present; });
    window.initialise();
    auto* combo = qobject_cast<QComboBox*>(window.controls().widget(MainId::PortCombo));
    combo->setCurrentIndex(1);

    // Unplugged first device: the chosen one stays chosen, under its new number.
    present.erase(present.begin());
    combo->showPopup();
    combo->hidePopup();
    ASSERT_EQ(combo->count(), 2);
    EXPECT_EQ(combo->currentIndex(), 0);
    EXPECT_EQ(platform::portDevice(1), "/dev/ttyACM0");
    EXPECT_TRUE(window.controls().isEnabled(MainId::Connect));

    // Nothing left: nothing to connect to.
    present.clear();
    window.refreshPorts();
    EXPECT_EQ(combo->count(), 0);
    EXPECT_FALSE(window.controls().isEnabled(MainId::Connect));
}

// An export reads the controller on the port's number, and reads it again
// at the end: while it runs, the numbers keep leading to their devices.
TEST_F(QtFront, PortListKeepsItsNumbersWhileATransferRuns) {
    test::FakeEngine engine;
    AppModel bridge;
    DlgConfig dialog(engine, bridge);
    QtMainWindow window(dialog, bridge, qtResourceTemplates());
    std::vector<platform::SerialDevice> present = threeDevices();
    window.setPortSource([&present] { return present; });
    window.initialise();
    test::FakeTransferHost files;
    files.path = "unused.json";
    dialog.setTransferHost(&files);
    auto* combo = qobject_cast<QComboBox*>(window.controls().widget(MainId::PortCombo));
    combo->setCurrentIndex(1);
    dialog.menuCommand(MenuCommandId::ExportSettings);
    ASSERT_TRUE(dialog.transfer().busy());
    ASSERT_FALSE(engine.calls.empty());
    EXPECT_EQ(engine.calls.back(), "connect(2,9600)");

    present.erase(present.begin());
    combo->showPopup();
    combo->hidePopup();
    EXPECT_EQ(platform::portDevice(2), "/dev/ttyACM0");
    EXPECT_EQ(combo->count(), 3);
    dialog.setTransferHost(nullptr);
}

// The template's dialog units follow the font the dialog is made with.
TEST_F(QtFront, LayoutScalesWithTheDialogFont) {
    const ResourceTemplate& t = qtResourceTemplates().at(kDialogMain);
    std::vector<QRect> stop;
    for (int pixels : {10, 20}) {
        QWidget parent;
        QFont font = parent.font();
        font.setPixelSize(pixels);
        parent.setFont(font);
        QtDialogControls controls(parent, t);
        EXPECT_EQ(controls.units().baseY, QFontMetrics(font).height()) << pixels;
        stop.push_back(controls.widget(MainId::Stop)->geometry());
    }
    // Twice the font, about twice the place and size.
    EXPECT_NEAR(stop[1].x(), 2 * stop[0].x(), stop[0].x() / 5);
    EXPECT_NEAR(stop[1].height(), 2 * stop[0].height(), stop[0].height() / 5);
}

TEST_F(QtFront, ReportsArriveThroughTheWindowsEventQueue) {
    test::FakeEngine engine;
    AppModel bridge;
    DlgConfig dialog(engine, bridge);
    QtMainWindow window(dialog, bridge, qtResourceTemplates());
    window.initialise();
    bridge.setDialogCallback(&dialog);
    setActiveDialog(&window);

    bridge.onStatus(StatusCode::ConnectionEstablished);
    // Queued, not delivered within the announcement.
    EXPECT_NE(window.controls().text(MainId::StatusLine), statusTextAscii(StatusCode::ConnectionEstablished));
    QCoreApplication::processEvents();
    EXPECT_EQ(window.controls().text(MainId::StatusLine), statusTextAscii(StatusCode::ConnectionEstablished));

    // An announcement that never comes: the window's timer delivers.
    setActiveDialog(nullptr);
    bridge.onStatus(StatusCode::Ready);
    setActiveDialog(&window);
    for (int i = 0;
         i < 200 && window.controls().text(MainId::StatusLine) != statusTextAscii(StatusCode::Ready); ++i) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    EXPECT_EQ(window.controls().text(MainId::StatusLine), statusTextAscii(StatusCode::Ready));

    setActiveDialog(nullptr);
    bridge.setDialogCallback(nullptr);
}

// A template with one control of each wired kind, and what reaches the
// handlers.
class QtWiring : public QtFront {
protected:
    void SetUp() override {
        t_ = parseResourceScript(
                 "1 DIALOGEX 0, 0, 200, 100\n"
                 "BEGIN\n"
                 "  PUSHBUTTON \"Go\", 10, 0, 0, 40, 12\n"
                 "  AUTOCHECKBOX \"Auto\", 11, 0, 14, 40, 12\n"
                 "  CONTROL \"Held\", 12, \"Button\", BS_CHECKBOX | BS_PUSHLIKE, 0, 28, 40, 12\n"
                 "  CONTROL \"One\", 13, \"Button\", BS_RADIOBUTTON, 0, 42, 40, 12\n"
                 "  EDITTEXT 14, 50, 0, 40, 12, ES_AUTOHSCROLL\n"
                 "  CONTROL \"\", 15, \"msctls_trackbar32\", TBS_HORZ | TBS_AUTOTICKS, 50, 14, 80, 12\n"
                 "  CONTROL \"x\", 16, \"Static\", SS_LEFT | SS_NOTIFY, 50, 28, 40, 10\n"
                 "END\n")
                 .at(1);
        controls_ = std::make_unique<QtDialogControls>(parent_, t_);
        controls_->setCommandHandler([this](int id, int code) { seen_.push_back({id, code}); });
        controls_->setScrollHandler([this](int id, int code) { seen_.push_back({id, 1000 + code}); });
    }
    template <typename W>
    W* get(int id) {
        return qobject_cast<W*>(controls_->widget(id));
    }

    ResourceTemplate t_;
    QWidget parent_;
    std::unique_ptr<QtDialogControls> controls_;
    std::vector<std::pair<int, int>> seen_;
};

TEST_F(QtWiring, UserActionsReachTheHandlersAsCommandsAndScrolls) {
    get<QPushButton>(10)->click();
    get<QCheckBox>(11)->click();
    EXPECT_TRUE(controls_->isChecked(11));  // automatic: toggles itself
    get<QPushButton>(12)->click();
    EXPECT_FALSE(controls_->isChecked(12));  // not automatic: the logic decides
    get<QRadioButton>(13)->click();
    EXPECT_FALSE(controls_->isChecked(13));
    // Every loss of the focus counts, edited or not; Return too.
    for (int i = 0; i < 2; ++i) {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QCoreApplication::sendEvent(get<QLineEdit>(14), &out);
    }
    emit get<QLineEdit>(14)->returnPressed();

    controls_->setTrackRange(15, 0, 10);
    QSlider* slider = get<QSlider>(15);
    slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCoreApplication::processEvents();
    EXPECT_EQ(controls_->trackPos(15), 1);
    slider->setSliderDown(true);
    slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // a drag in progress: no end yet
    slider->setSliderDown(false);                                 // released: the end of the move
    QCoreApplication::processEvents();

    const std::vector<std::pair<int, int>> expected = {
        {10, 0}, {11, 0}, {12, 0}, {13, 0}, {14, 0x0200}, {14, 0x0200}, {14, 0x0200}, {15, 1008}, {15, 1008}};
    EXPECT_EQ(seen_, expected);
}

// A held key or mouse button moves the bar once per auto-repeat step; the
// move ends, once, at the release.
TEST_F(QtWiring, TrackBarHeldByKeyOrMouseEndsOnceAtTheRelease) {
    controls_->setTrackRange(15, 0, 100);
    QSlider* slider = get<QSlider>(15);
    slider->resize(200, 20);
    const auto key = [slider](QEvent::Type type, bool repeat) {
        QKeyEvent event(type, Qt::Key_Right, Qt::NoModifier, QString(), repeat);
        QCoreApplication::sendEvent(slider, &event);
        QCoreApplication::processEvents();
    };
    key(QEvent::KeyPress, false);
    for (int i = 0; i < 3; ++i) {
        key(QEvent::KeyRelease, true);
        key(QEvent::KeyPress, true);
    }
    EXPECT_TRUE(seen_.empty());
    key(QEvent::KeyRelease, false);
    EXPECT_EQ(controls_->trackPos(15), 4);
    EXPECT_EQ(seen_, (std::vector<std::pair<int, int>>{{15, 1008}}));

    // Held on the groove right of the handle: page steps repeat until the release.
    seen_.clear();
    QStyleOptionSlider option;
    option.initFrom(slider);
    option.orientation = Qt::Horizontal;
    option.minimum = slider->minimum();
    option.maximum = slider->maximum();
    option.sliderPosition = option.sliderValue = slider->value();
    option.tickPosition = slider->tickPosition();
    const QRect bar =
        slider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderGroove, slider);
    const QPointF groove(bar.right() - 4, bar.center().y());
    QMouseEvent press(QEvent::MouseButtonPress, groove, slider->mapToGlobal(groove), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(slider, &press);
    QElapsedTimer held;
    held.start();
    while (held.elapsed() < 900) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(seen_.empty());
    QMouseEvent release(QEvent::MouseButtonRelease, groove, slider->mapToGlobal(groove), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(slider, &release);
    QCoreApplication::processEvents();
    EXPECT_GT(controls_->trackPos(15), 4 + 2 * slider->pageStep());
    EXPECT_EQ(seen_, (std::vector<std::pair<int, int>>{{15, 1008}}));
}

TEST_F(QtWiring, ChangesByTheLogicDoNotComeBackAsUserActions) {
    controls_->setChecked(11, true);
    controls_->setChecked(12, true);
    controls_->setChecked(13, true);
    controls_->setText(14, "42");
    controls_->setTrackRange(15, 0, 100);
    controls_->setTrackPos(15, 70);
    controls_->setText(10, "Went");
    QCoreApplication::processEvents();
    EXPECT_TRUE(seen_.empty());
    EXPECT_TRUE(controls_->isChecked(12));
    EXPECT_TRUE(controls_->isChecked(13));
    EXPECT_EQ(controls_->text(14), "42");
    EXPECT_EQ(controls_->trackPos(15), 70);
    EXPECT_EQ(controls_->text(10), "Went");
    // Unknown ids are ignored, and read as nothing.
    controls_->setText(999, "x");
    EXPECT_EQ(controls_->text(999), "");
    EXPECT_EQ(controls_->comboSelection(999), -1);
}

// Enter in a secondary dialog acts as its Ok, from an edit as from anywhere
// but a push button.
TEST_F(QtFront, EnterActsAsOkInTheGearRatioAndAdvancedSettingsDialogs) {
    QtDialogHost host(nullptr, qtResourceTemplates());
    const auto typeAndEnter = [](int editId, const char* text) {
        QTimer::singleShot(0, [editId, text] {
            QWidget* dialog = QApplication::activeModalWidget();
            auto* edit = dialog == nullptr ? nullptr : dialog->findChild<QLineEdit*>(QString::number(editId));
            if (edit == nullptr) return;
            edit->setText(QString::fromLatin1(text));
            QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
            QCoreApplication::sendEvent(edit, &enter);
        });
    };
    // A dialog that ignored Enter would never return: closed after a while.
    QTimer guard;
    QObject::connect(&guard, &QTimer::timeout, [] {
        if (QWidget* dialog = QApplication::activeModalWidget()) dialog->close();
    });
    guard.start(3000);

    GearRatios ratios{100, 200};
    typeAndEnter(GearRatioId::RaEdit, "172800");
    EXPECT_EQ(host.showGearRatioDialog(ratios), 1);
    EXPECT_EQ(ratios.raRatio, 172800u);

    AdvancedSettings settings{0, 0, 0, 0, 5};
    typeAndEnter(AdvancedSettingsId::HysteresisEdit, "9");
    EXPECT_EQ(host.showAdvancedSettingsDialog(settings), 1);
    EXPECT_EQ(settings.flipHysteresis, 9);
    EXPECT_NE(settings.changeMask & kChangeHysteresis, 0u);
}

}  // namespace
}  // namespace vorlant
