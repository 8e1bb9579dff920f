// The Linux front's figures: the time from starting the program to its
// window on the screen, and the CPU share and memory of the program while
// connected to a controller and idle.
//
// Each figure comes from a child process that runs the program's own start
// (app/AppShell.h and the Qt main window, as app/linux/main.cpp has it):
//  - start to window: the parent notes the time, starts a child, and the
//    child reports the time of its window's first paint (the same monotonic
//    clock), so loading the program and its libraries counts too. Median
//    and worst of several starts.
//  - connected idle: a child connects to the simulator (class 5, the pty at
//    the top of the port list), waits for the read-out, lets it settle, and
//    measures its CPU time over a stretch of idle connection (engine,
//    heartbeat and window threads together) and its resident memory.
//
//   bench_qt [--starts N] [--idle-seconds S]
//
// Uses the display it finds (QT_QPA_PLATFORM, DISPLAY); without one it
// draws offscreen. Run it under xvfb-run (or on a desktop) for the figures
// of a real display.
#include <QApplication>
#include <QByteArray>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/AppShell.h"
#include "tests/support/SimProcess.h"
#include "ui/MainDialogIds.h"
#include "ui/qt/QtMainWindow.h"

namespace {

using vorlant::MainId::Connect;
using vorlant::MainId::StatusLine;

long long nowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Resident set and its peak, in KiB, from the kernel's account of this
// process (0 where there is none).
long statusKb(const char* field) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string key = std::string(field) + ":";
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) == 0) return std::atol(line.c_str() + key.size());
    }
    return 0;
}

double cpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// Runs the program's objects with `drive` called once the window first
// paints.
template <class Drive>
void runProgram(Drive drive) {
    vorlant::runApplication(
        [](vorlant::DlgConfig& dialog, vorlant::AppModel& bridge) {
            return new vorlant::QtMainWindow(dialog, bridge, vorlant::qtResourceTemplates());
        },
        [&drive](vorlant::QtMainWindow& window) {
            struct PaintWatch : QObject {
                std::function<void()> onPaint;
                bool eventFilter(QObject* watched, QEvent* event) override {
                    if (event->type() == QEvent::Paint && onPaint) {
                        auto once = std::move(onPaint);
                        onPaint = nullptr;
                        once();
                    }
                    return QObject::eventFilter(watched, event);
                }
            } watch;
            watch.onPaint = [&drive, &window] { drive(window); };
            window.installEventFilter(&watch);
            window.run();
            window.removeEventFilter(&watch);
        });
}

int windowChild() {
    runProgram([](vorlant::QtMainWindow& window) {
        std::printf("WINDOW %lld\n", nowNs());
        std::fflush(stdout);
        QTimer::singleShot(0, &window, [&window] { window.done(1); });
    });
    return 0;
}

int idleChild(int seconds) {
    vorlant::test::SimProcess sim({VORLANT_SIM_PATH, "--profile", "class5"});
    const std::string line = sim.readLine(10000);
    if (line.rfind("PTY ", 0) != 0) {
        std::fprintf(stderr, "bench_qt: the simulator did not start\n");
        return 1;
    }
    qputenv("VORLANT_EXTRA_PORTS", QByteArray::fromStdString(line.substr(4)));
    int result = 1;
    runProgram([&](vorlant::QtMainWindow& window) {
        qobject_cast<QPushButton*>(window.controls().widget(Connect))->click();
        auto* poll = new QTimer(&window);
        const long long started = nowNs();
        QObject::connect(poll, &QTimer::timeout, &window, [&window, poll, started, seconds, &result] {
            if (window.controls().text(StatusLine) != "Connection established.") {
                if (nowNs() - started > 20000000000LL) {
                    std::fprintf(stderr, "bench_qt: no connection (%s)\n",
                                 window.controls().text(StatusLine).c_str());
                    window.done(1);
                }
                return;
            }
            poll->stop();
            // Settled after the read-out; then the idle stretch.
            QTimer::singleShot(2000, &window, [&window, seconds, &result] {
                const double cpu0 = cpuSeconds();
                const long long wall0 = nowNs();
                QTimer::singleShot(seconds * 1000, &window, [&window, cpu0, wall0, &result] {
                    const double share = (cpuSeconds() - cpu0) / (static_cast<double>(nowNs() - wall0) / 1e9);
                    std::printf("IDLE %.3f %ld %ld\n", 100.0 * share, statusKb("VmRSS"), statusKb("VmHWM"));
                    std::fflush(stdout);
                    result = 0;
                    window.done(1);
                });
            });
        });
        poll->start(50);
    });
    return result;
}

// Starts this program again with `args`; the child's output.
QByteArray child(const QStringList& args, long long& startedNs) {
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    startedNs = nowNs();
    process.start(QCoreApplication::applicationFilePath(), args);
    if (!process.waitForFinished(120000)) {
        process.kill();
        process.waitForFinished();
    }
    return process.readAllStandardOutput();
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (!args.empty() && args[0] == "--window-child") {
        QApplication application(argc, argv);
        return windowChild();
    }
    if (args.size() == 2 && args[0] == "--idle-child") {
        QApplication application(argc, argv);
        return idleChild(std::max(1, std::atoi(args[1].c_str())));
    }
    int starts = 7;
    int idleSeconds = 20;
    for (std::size_t i = 0; i + 1 < args.size(); i += 2) {
        if (args[i] == "--starts") starts = std::max(1, std::atoi(args[i + 1].c_str()));
        if (args[i] == "--idle-seconds") idleSeconds = std::max(1, std::atoi(args[i + 1].c_str()));
    }

    QCoreApplication application(argc, argv);
    std::printf("platform: %s\n", qgetenv("QT_QPA_PLATFORM").isEmpty()
                                      ? "default (xcb)"
                                      : qgetenv("QT_QPA_PLATFORM").constData());
    std::vector<double> ms;
    for (int i = 0; i < starts; ++i) {
        long long started = 0;
        const QByteArray out = child({QStringLiteral("--window-child")}, started);
        long long shown = 0;
        if (std::sscanf(out.constData(), "WINDOW %lld", &shown) != 1) {
            std::fprintf(stderr, "bench_qt: a start showed no window\n");
            return 1;
        }
        ms.push_back(static_cast<double>(shown - started) / 1e6);
    }
    std::sort(ms.begin(), ms.end());
    std::printf("start to window: median %.0f ms, worst %.0f ms (%d starts)\n", ms[ms.size() / 2], ms.back(),
                starts);

    long long started = 0;
    const QByteArray out = child({QStringLiteral("--idle-child"), QString::number(idleSeconds)}, started);
    double share = 0;
    long rss = 0;
    long peak = 0;
    if (std::sscanf(out.constData(), "IDLE %lf %ld %ld", &share, &rss, &peak) != 3) {
        std::fprintf(stderr, "bench_qt: the connected run gave no figures\n");
        return 1;
    }
    std::printf("connected, idle over %d s: %.2f %% of one core; resident %.1f MiB (peak %.1f MiB)\n",
                idleSeconds, share, static_cast<double>(rss) / 1024.0, static_cast<double>(peak) / 1024.0);
    return 0;
}
