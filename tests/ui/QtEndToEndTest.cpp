// The Linux program's window (offscreen) wired as the program wires it, with
// its real heartbeat and engine, against the simulator over a pty: mouse and
// key input reaches the widgets themselves, and the simulator's log shows
// exactly what the controller received.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppShell.h"
#include "engine/HeartBeat.h"
#include "engine/TelescopeControl.h"
#include "platform/SerialPort.h"
#include "tests/e2e/SimLink.h"
#include "tests/support/ShownSettings.h"
#include "tools/simulator/SimProfile.h"
#include "tools/simulator/SimState.h"
#include "ui/AppModel.h"
#include "ui/DialogNotify.h"
#include "ui/DlgConfig.h"
#include "ui/MainDialogIds.h"
#include "ui/SecondaryDialogIds.h"
#include "ui/qt/QtMainWindow.h"

namespace vorlant {
namespace {

using Frames = std::vector<std::string>;

class QtEndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        static int argc = 1;
        static char name[] = "ui_qt_e2e_tests";
        static char* argv[] = {name, nullptr};
        if (QApplication::instance() == nullptr) new QApplication(argc, argv);
    }
};

// The dialog logic, counting the reports it is handed off the GUI thread.
class CheckedDialog : public DlgConfig {
public:
    using DlgConfig::DlgConfig;
    void showStatus(int32_t code) override {
        check();
        DlgConfig::showStatus(code);
    }
    void showSettings(const ControllerSettings* settings, int32_t kind) override {
        check();
        DlgConfig::showSettings(settings, kind);
    }
    void showSupplyVoltage(int32_t centivolts) override {
        check();
        DlgConfig::showSupplyVoltage(centivolts);
    }
    std::atomic<int> reports{0};
    std::atomic<int> offGuiThread{0};

private:
    void check() {
        ++reports;
        if (QThread::currentThread() != QCoreApplication::instance()->thread()) ++offGuiThread;
    }
};

// The program's objects, as app/AppShell.h makes them, on one simulator.
// The port list is the program's: the simulator's pty comes in through
// VORLANT_EXTRA_PORTS, at the top. A link without a simulator (port 0)
// lists `missingDevice` instead.
class Session {
public:
    explicit Session(e2e::SimLink& link, const std::string& missingDevice = "") : link_(link) {
        const std::string pty = link.port() > 0 ? platform::portDevice(link.port()) : missingDevice;
        qputenv("VORLANT_EXTRA_PORTS", QByteArray::fromStdString(pty));
        engine = std::make_unique<TelescopeControl>(&bridge);
        heartBeat.setListener(engine.get());
        heartBeat.start();
        dialog = std::make_unique<CheckedDialog>(*engine, bridge);
        explainPortErrors(*dialog, *engine);
        window = std::make_unique<QtMainWindow>(*dialog, bridge, qtResourceTemplates());
        bridge.setDialogCallback(dialog.get());
        setActiveDialog(window.get());
        window->initialise();
        window->show();
        window->activateWindow();
    }
    ~Session() {
        setActiveDialog(nullptr);
        bridge.setDialogCallback(nullptr);
        window.reset();
        dialog.reset();
        heartBeat.clearListener();
        heartBeat.stop();
        engine.reset();
        qunsetenv("VORLANT_EXTRA_PORTS");
    }

    template <typename W>
    W* widget(int id) {
        return qobject_cast<W*>(window->controls().widget(id));
    }
    std::string text(int id) { return window->controls().text(id); }
    bool waitFor(const std::function<bool()>& done, int ms) {
        QElapsedTimer timer;
        timer.start();
        while (!done()) {
            if (timer.elapsed() > ms) return false;
            QTest::qWait(10);
        }
        return true;
    }
    bool waitStatus(const char* status, int ms = 10000) {
        return waitFor([&] { return text(MainId::StatusLine) == status; }, ms);
    }
    void connect() {
        EXPECT_EQ(widget<QComboBox>(MainId::PortCombo)->currentIndex(), 0);
        QTest::mouseClick(widget<QPushButton>(MainId::Connect), Qt::LeftButton);
    }
    // A press and release on the slider's handle, which moves nothing; or,
    // `onGroove`, on the groove right of it, which moves a page.
    void clickThumb(int id, bool onGroove = false) {
        QSlider* s = widget<QSlider>(id);
        QStyleOptionSlider o;
        o.initFrom(s);
        o.orientation = s->orientation();
        o.minimum = s->minimum();
        o.maximum = s->maximum();
        o.sliderPosition = s->sliderPosition();
        o.sliderValue = s->value();
        o.tickPosition = s->tickPosition();
        o.tickInterval = s->tickInterval();
        o.singleStep = s->singleStep();
        o.pageStep = s->pageStep();
        const QRect handle = s->style()->subControlRect(QStyle::CC_Slider, &o, QStyle::SC_SliderHandle, s);
        const QRect groove = s->style()->subControlRect(QStyle::CC_Slider, &o, QStyle::SC_SliderGroove, s);
        const QPoint at = onGroove ? QPoint(groove.right() - 2, handle.center().y()) : handle.center();
        QTest::mousePress(s, Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseRelease(s, Qt::LeftButton, Qt::NoModifier, at);
        QTest::qWait(50);
    }
    void typeAndLeave(int id, const char* value) {
        QLineEdit* e = widget<QLineEdit>(id);
        QTest::mouseClick(e, Qt::LeftButton);
        e->setFocus();
        QTest::keyClick(e, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(e, value);
        QTest::keyClick(e, Qt::Key_Tab);
        QTest::qWait(50);
    }
    // Requests the simulator logged until `expected` many came and a
    // moment passed without more.
    Frames requests(std::size_t expected) {
        Frames got;
        waitFor(
            [&] {
                read(got, 10);
                return got.size() >= expected;
            },
            5000);
        read(got, 300);
        return got;
    }

    AppModel bridge;
    HeartBeat heartBeat;
    std::unique_ptr<TelescopeControl> engine;
    std::unique_ptr<CheckedDialog> dialog;
    std::unique_ptr<QtMainWindow> window;

private:
    void read(Frames& got, int ms) {
        for (std::string line = link_.readLine(ms); !line.empty(); line = link_.readLine(5)) {
            const size_t at = line.find("] AA ");
            if (at != std::string::npos) got.push_back(line.substr(at + 2, line.find("  ", at) - at - 2));
        }
    }
    e2e::SimLink& link_;
};

const Frames kClass5ReadOut = {"AA 01 01", "AA 01 03", "AA 01 02", "AA 01 14",
                               "AA 01 15", "AA 01 3D", "AA 01 64"};

TEST_F(QtEndToEnd, Class5ThumbClicksChangeNothingAndTypedValuesAreClamped) {
    e2e::SimLink link("class5", {"--log", "-"});
    VORLANT_NEED_SIM(link);
    Session session(link);
    session.connect();
    ASSERT_TRUE(session.waitStatus("Connection established."));
    EXPECT_EQ(session.requests(kClass5ReadOut.size()), kClass5ReadOut);
    test::expectShown(session.window->controls(), sim::initialState(sim::SimProfile::Class5));

    for (int bar : {MainId::RaAccelerationTrack, MainId::DeMaxSpeedTrack, MainId::RaIncCurrentTrack})
        session.clickThumb(bar);
    EXPECT_EQ(session.requests(0), Frames{});
    session.typeAndLeave(MainId::RaAccelerationEdit, "300");
    EXPECT_EQ(session.requests(1), Frames{"AA 05 37 00 C0 FF 5A"});
    EXPECT_EQ(session.text(MainId::RaAccelerationEdit), "255");
}

// A whole session as a user has it: the pty in the list, the read-out
// shown, one release and one edit sending exactly their requests, and the
// disconnect; every report handled on the GUI thread.
TEST_F(QtEndToEnd, Class5SessionFromTheListToTheDisconnect) {
    e2e::SimLink link("class5", {"--log", "-"});
    VORLANT_NEED_SIM(link);
    Session session(link);
    EXPECT_EQ(session.widget<QComboBox>(MainId::PortCombo)->itemText(0).toStdString(),
              "Pseudo-terminal (" + platform::portDevice(link.port()) + ")");
    session.connect();
    ASSERT_TRUE(session.waitStatus("Connection established."));
    EXPECT_EQ(session.requests(kClass5ReadOut.size()), kClass5ReadOut);
    const sim::SimState shown = sim::initialState(sim::SimProfile::Class5);
    test::expectShown(session.window->controls(), shown);

    // A click on the groove: one page on, one request when the button is up.
    const int before = session.widget<QSlider>(MainId::RaAccelerationTrack)->value();
    session.clickThumb(MainId::RaAccelerationTrack, true);
    const int after = session.widget<QSlider>(MainId::RaAccelerationTrack)->value();
    ASSERT_GT(after, before);
    char frame[32];
    std::snprintf(frame, sizeof frame, "AA 05 37 00 C0 %02X %02X", 16 * after, shown.deAcceleration);
    EXPECT_EQ(session.requests(1), Frames{frame});
    // An edit: the Dec value goes with the RA one just sent.
    session.typeAndLeave(MainId::DeAccelerationEdit, "100");
    std::snprintf(frame, sizeof frame, "AA 05 37 00 C0 %02X 64", 16 * after);
    EXPECT_EQ(session.requests(1), Frames{frame});

    QTest::mouseClick(session.widget<QPushButton>(MainId::Disconnect), Qt::LeftButton);
    ASSERT_TRUE(session.waitStatus("Connection closed"));
    EXPECT_FALSE(session.window->controls().isEnabled(MainId::RaAccelerationTrack));
    EXPECT_GT(session.dialog->reports.load(), 3);
    EXPECT_EQ(session.dialog->offGuiThread.load(), 0);
}

// Why a port fails, on the status line: a device that is not there, and a
// controller that goes away during the session.
TEST_F(QtEndToEnd, StatusLineSaysWhyThePortFailed) {
    e2e::SimLink vanishing("vanish", {"--vanish-after", "7"});  // after the whole read-out
    VORLANT_NEED_SIM(vanishing);
    Session session(vanishing);
    session.connect();
    ASSERT_TRUE(session.waitStatus("Connection established."));
    QTest::mouseClick(session.widget<QPushButton>(MainId::MeasureVoltage), Qt::LeftButton);
    EXPECT_TRUE(session.waitStatus("Connection closed. The device was disconnected."))
        << session.text(MainId::StatusLine);

    // The device is gone from the list once it is opened again; a path named
    // by hand that leads nowhere is not found.
    qputenv("VORLANT_EXTRA_PORTS", "/dev/vorlant-no-such-port");
    session.window->refreshPorts();
    session.widget<QComboBox>(MainId::PortCombo)->setCurrentIndex(0);
    QTest::mouseClick(session.widget<QPushButton>(MainId::Connect), Qt::LeftButton);
    EXPECT_TRUE(session.waitStatus("Error: Cannot open port. /dev/vorlant-no-such-port does not exist."))
        << session.text(MainId::StatusLine);

    // A path that opens but leads to no serial port.
    qputenv("VORLANT_EXTRA_PORTS", "/dev/null");
    session.window->refreshPorts();
    session.widget<QComboBox>(MainId::PortCombo)->setCurrentIndex(0);
    QTest::mouseClick(session.widget<QPushButton>(MainId::Connect), Qt::LeftButton);
    EXPECT_TRUE(session.waitStatus("Error: Cannot open port. /dev/null is not a serial port."))
        << session.text(MainId::StatusLine);
}

TEST_F(QtEndToEnd, Class1LeavesTheParameterControlsDisabled) {
    e2e::SimLink link("class1", {"--log", "-"});
    VORLANT_NEED_SIM(link);
    Session session(link);
    session.connect();
    ASSERT_TRUE(session.waitStatus("Connection established."));
    for (int id : {201, 203, 210, 211, 213, 220, 230, 235, 242, 250, 253, 260, 301, 311, 333, 360})
        EXPECT_FALSE(session.window->controls().isEnabled(id)) << id;
    EXPECT_TRUE(session.window->controls().isEnabled(MainId::ChangeGearRatio));
}

TEST_F(QtEndToEnd, TimeOutDuringTheReReadLeavesNoControlLive) {
    e2e::SimLink link("class5", {"--mute-after", "8"});
    VORLANT_NEED_SIM(link);
    Session session(link);
    session.connect();
    ASSERT_TRUE(session.waitStatus("Connection established."));
    QTest::mouseClick(session.widget<QPushButton>(MainId::ReloadDefaults), Qt::LeftButton);
    EXPECT_TRUE(session.waitStatus("Error: Cannot connect: Timeout error", 15000));
    EXPECT_FALSE(session.window->controls().isEnabled(MainId::ReloadDefaults));
    EXPECT_FALSE(session.window->controls().isEnabled(MainId::RaMaxSpeedTrack));
}

// A controller that stops answering after the read-out: the voltage click
// ends with "Error: Communication error" after the reply time-out, and the
// next click (store) still reaches the controller.
TEST_F(QtEndToEnd, AnUnansweredVoltageRequestEndsAndTheStoreStillGoesOut) {
    e2e::SimLink link("class5", {"--mute-after", "7", "--log", "-"});
    VORLANT_NEED_SIM(link);
    Session session(link);
    session.connect();
    ASSERT_TRUE(session.waitStatus("Connection established."));
    EXPECT_EQ(session.requests(kClass5ReadOut.size()), kClass5ReadOut);
    const std::string voltage = session.text(MainId::VoltageDisplay);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(session.widget<QPushButton>(MainId::MeasureVoltage), Qt::LeftButton);
    ASSERT_TRUE(session.waitStatus("Error: Communication error", 15000)) << session.text(MainId::StatusLine);
    EXPECT_GE(clock.elapsed(), 7750);
    EXPECT_LE(clock.elapsed(), 10000);
    EXPECT_EQ(session.text(MainId::VoltageDisplay), voltage);
    QTest::mouseClick(session.widget<QPushButton>(MainId::SaveSettings), Qt::LeftButton);
    EXPECT_EQ(session.requests(2), (Frames{"AA 03 2B 00 00", "AA 02 0D 01"}));
}

// A voltage click while the gear write awaits its (slow) acknowledgement is
// refused and changes nothing: the re-read follows and shows the new ratio.
TEST_F(QtEndToEnd, AVoltageClickDuringAGearWriteIsRefused) {
    e2e::SimLink link("class5", {"--delay-after", "7", "--delay-ms", "1500", "--log", "-"});
    VORLANT_NEED_SIM(link);
    Session session(link);
    session.connect();
    ASSERT_TRUE(session.waitStatus("Connection established."));
    EXPECT_EQ(session.requests(kClass5ReadOut.size()), kClass5ReadOut);
    const std::string voltage = session.text(MainId::VoltageDisplay);
    // The modal gear dialog: a new RA ratio, then its Ok.
    QTimer::singleShot(0, [] {
        QWidget* dialog = QApplication::activeModalWidget();
        auto* edit =
            dialog == nullptr ? nullptr : dialog->findChild<QLineEdit*>(QString::number(GearRatioId::RaEdit));
        auto* ok =
            dialog == nullptr ? nullptr : dialog->findChild<QPushButton*>(QString::number(GearRatioId::Ok));
        if (edit == nullptr || ok == nullptr) {
            if (dialog != nullptr) dialog->close();
            return;
        }
        edit->setText(QStringLiteral("2000000"));
        QTest::mouseClick(ok, Qt::LeftButton);
    });
    QTest::mouseClick(session.widget<QPushButton>(MainId::ChangeGearRatio), Qt::LeftButton);
    QTest::mouseClick(session.widget<QPushButton>(MainId::MeasureVoltage), Qt::LeftButton);
    EXPECT_TRUE(session.waitStatus("Error: Communication error", 1000)) << session.text(MainId::StatusLine);
    const Frames sent = session.requests(2);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].substr(0, 8), "AA 0B 1A");
    EXPECT_EQ(sent[1], "AA 01 14");
    EXPECT_TRUE(session.waitFor([&] { return session.text(MainId::RaGearRatio) == "2000000"; }, 5000))
        << session.text(MainId::RaGearRatio);
    EXPECT_EQ(session.text(MainId::VoltageDisplay), voltage);
}

// "Find controller..." from the window's context menu: the list read again,
// every entry probed, the simulator's entry selected, and a connect on it
// reaches the simulator.
TEST_F(QtEndToEnd, FindControllerSelectsTheSimulatorsEntry) {
    e2e::SimLink link("class4", {"--log", "-"});
    VORLANT_NEED_SIM(link);
    Session session(link);
    const std::string pty = platform::portDevice(link.port());
    qputenv("VORLANT_EXTRA_PORTS", QByteArray::fromStdString("/dev/vorlant-no-such-port:" + pty));

    QAction* find = nullptr;
    for (QAction* a : session.window->actions())
        if (a->text() == QStringLiteral("Find controller...")) find = a;
    ASSERT_NE(find, nullptr);
    EXPECT_EQ(session.window->contextMenuPolicy(), Qt::ActionsContextMenu);
    // The result box is modal: read it and close it.
    std::string shown;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = box->text().toStdString();
            box->accept();
        }
    });
    closer.start(20);
    find->trigger();
    ASSERT_TRUE(session.waitFor([&] { return !shown.empty(); }, 20000)) << session.text(MainId::StatusLine);
    EXPECT_EQ(session.text(MainId::StatusLine), "Controller found on " + pty + ".");
    EXPECT_NE(shown.find("/dev/vorlant-no-such-port: cannot open: no such port\n" + pty +
                         ": controller, class 4, at 9600 baud"),
              std::string::npos)
        << shown;
    EXPECT_EQ(session.requests(3), (Frames{"AA 01 01", "AA 01 03", "AA 01 02"}));
    EXPECT_EQ(session.widget<QComboBox>(MainId::PortCombo)->currentIndex(), 1);

    QTest::mouseClick(session.widget<QPushButton>(MainId::Connect), Qt::LeftButton);
    EXPECT_TRUE(session.waitStatus("Connection established.")) << session.text(MainId::StatusLine);
}

}  // namespace
}  // namespace vorlant
