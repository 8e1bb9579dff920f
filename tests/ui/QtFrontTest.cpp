// The Linux front: widgets made from the resource script's templates, the
// signal wiring to the dialog logic, and report delivery through the
// window's event queue. Runs on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QEventLoop>
#include <QThread>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QWidget>
#include <algorithm>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/ControllerSettings.h"
#include "ui/FakeControls.h"
#include "ui/MainDialogIds.h"
#include "ui/SecondaryDialogIds.h"
#include "ui/qt/QtDialogControls.h"
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

TEST_F(QtFront, MainWindowHasEveryTemplateControlAsItsWidget) {
    test::FakeEngine engine;
    AppModel bridge;
    DlgConfig dialog(engine, bridge);
    QtMainWindow window(dialog, bridge, qtResourceTemplates());
    window.initialise();
    QtDialogControls& controls = window.controls();

    const ResourceTemplate& t = qtResourceTemplates().at(kDialogMain);
    ASSERT_EQ(t.controls.size(), 129u);
    EXPECT_EQ(controls.count(), 129u);
    for (const ResourceControl& c : t.controls) {
        SCOPED_TRACE(c.id);
        QtControlKind kind{};
        ASSERT_TRUE(controls.kindOf(c.id, kind));
        EXPECT_TRUE(hasClassOf(kind, controls.widget(c.id)));
        EXPECT_EQ(controls.widget(c.id)->x(), dialogUnitsToPixelsX(c.x));
        EXPECT_EQ(controls.widget(c.id)->y(), dialogUnitsToPixelsY(c.y));
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
    // The initialisation gave the arrows their icons and filled the port list.
    for (int id : {MainId::MoveNorth, MainId::MoveSouth, MainId::MoveEast, MainId::MoveWest})
        EXPECT_FALSE(qobject_cast<QPushButton*>(controls.widget(id))->icon().isNull()) << id;
    auto* combo = qobject_cast<QComboBox*>(controls.widget(MainId::PortCombo));
    ASSERT_EQ(combo->count(), 256);
    EXPECT_EQ(combo->itemText(0).toStdString(), "COM1");
    EXPECT_EQ(combo->itemText(255).toStdString(), "COM256");
    EXPECT_EQ(combo->currentIndex(), 0);
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
    for (int i = 0; i < 200 && window.controls().text(MainId::StatusLine) != statusTextAscii(StatusCode::Ready); ++i) {
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
    emit get<QLineEdit>(14)->editingFinished();

    controls_->setTrackRange(15, 0, 10);
    QSlider* slider = get<QSlider>(15);
    slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCoreApplication::processEvents();
    EXPECT_EQ(controls_->trackPos(15), 1);
    slider->setSliderDown(true);
    slider->triggerAction(QAbstractSlider::SliderSingleStepAdd);  // a drag in progress: no end yet
    slider->setSliderDown(false);                                 // released: the end of the move
    QCoreApplication::processEvents();

    const std::vector<std::pair<int, int>> expected = {{10, 0},      {11, 0},    {12, 0},   {13, 0},
                                                       {14, 0x0200}, {15, 1008}, {15, 1008}};
    EXPECT_EQ(seen_, expected);
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

}  // namespace
}  // namespace vorlant
