#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "ui/AppModel.h"
#include "ui/DialogNotify.h"

namespace vorlant {
namespace {

// A dialog that records what the bridge hands it and counts announcements.
struct FakeDialog : TelescopeControlDlgCallback, DialogWindow {
    void showStatus(int32_t code) override { calls.push_back({1, code, 0}); }
    void showSettings(const ControllerSettings* s, int32_t kind) override {
        calls.push_back({2, kind, s->raGearRatio});
        lastRecord = s;
    }
    void showSupplyVoltage(int32_t v) override { calls.push_back({3, v, 0}); }
    void postToWindow(uint32_t wParam, int32_t lParam) override {
        std::lock_guard<std::mutex> g(m);
        posts.push_back({wParam, lParam});
    }
    struct Call {
        int what;
        int32_t value;
        uint32_t gear;
        bool operator==(const Call& o) const { return what == o.what && value == o.value && gear == o.gear; }
    };
    std::vector<Call> calls;
    std::vector<std::pair<uint32_t, int32_t>> posts;
    const ControllerSettings* lastRecord = nullptr;
    std::mutex m;
};

ControllerSettings record(uint32_t gear) {
    ControllerSettings s{};
    s.raGearRatio = gear;
    return s;
}

class Bridge : public ::testing::Test {
protected:
    Bridge() {
        model.setDialogCallback(&dialog);
        setActiveDialog(&dialog);
    }
    ~Bridge() override { setActiveDialog(nullptr); }
    void deliver(int times = 1) {
        for (int i = 0; i < times; ++i) model.deliverPendingReport(kReportReady, 0);
    }
    FakeDialog dialog;
    AppModel model;
};

TEST_F(Bridge, EveryReportIsAnnouncedAndDeliveredOnTheWindowSide) {
    model.onStatus(StatusCode::Connecting);
    deliver();
    const ControllerSettings s = record(172800);
    model.onSettings(&s, SettingsReportKind::ReadoutComplete);
    deliver();
    model.onSupplyVoltage(1234);
    deliver();
    EXPECT_EQ(dialog.posts.size(), 3u);
    for (auto [w, l] : dialog.posts) {
        EXPECT_EQ(w, kReportReady);
        EXPECT_EQ(l, 0);
    }
    EXPECT_EQ(dialog.calls, (std::vector<FakeDialog::Call>{{1, 2, 0}, {2, 1, 172800}, {3, 1234, 0}}));
    EXPECT_EQ(dialog.lastRecord, &model.deliveredSettings());  // the bridge's own copy
}

TEST_F(Bridge, MailboxOfOneDeliversTheNewestPerMessage) {
    model.onStatus(StatusCode::Connecting);
    model.onSupplyVoltage(905);
    deliver(2);
    EXPECT_EQ(dialog.calls, (std::vector<FakeDialog::Call>{{3, 905, 0}, {3, 905, 0}}));
    dialog.calls.clear();
    const ControllerSettings s = record(5);
    model.onSettings(&s, SettingsReportKind::GearRatiosChanged);
    model.onStatus(StatusCode::Ready);
    deliver(2);
    EXPECT_EQ(dialog.calls, (std::vector<FakeDialog::Call>{{1, 15, 0}, {1, 15, 0}}));
    EXPECT_NE(model.deliveredSettings().raGearRatio, 5u);  // not delivered: status displaced it
}

TEST_F(Bridge, OtherMessagesAndNoCallback) {
    model.onStatus(StatusCode::Ready);
    model.deliverPendingReport(1001, 0);
    EXPECT_TRUE(dialog.calls.empty());
    model.setDialogCallback(nullptr);
    const ControllerSettings s = record(77);
    model.onSettings(&s, SettingsReportKind::ReadoutComplete);
    deliver();
    EXPECT_EQ(model.deliveredSettings().raGearRatio, 77u);  // copied even without a dialog
    EXPECT_TRUE(dialog.calls.empty());
}

TEST_F(Bridge, NothingIsAnnouncedWithoutARegisteredDialog) {
    setActiveDialog(nullptr);
    model.onStatus(StatusCode::Ready);
    EXPECT_TRUE(dialog.posts.empty());
    setActiveDialog(&dialog);
    model.onSupplyVoltage(1);  // the next announcement delivers what is pending then
    deliver();
    EXPECT_EQ(dialog.calls, (std::vector<FakeDialog::Call>{{3, 1, 0}}));
}

TEST(BridgeThreads, ReportsFromTheEngineThreadWhileTheWindowDelivers) {
    // The engine thread reports while the window thread delivers and, at
    // the end, withdraws the dialog: after setActiveDialog(nullptr) returns
    // no announcement reaches it (TSan checks the rest).
    FakeDialog dialog;
    AppModel model;
    model.setDialogCallback(&dialog);
    setActiveDialog(&dialog);
    std::atomic<bool> stop{false};
    std::thread engine([&] {
        ControllerSettings s = record(1);
        for (uint32_t i = 0; !stop; ++i) {
            s.raGearRatio = i;
            model.onSettings(&s, SettingsReportKind::ReadoutComplete);
            model.onStatus(static_cast<int>(i % 24));
        }
    });
    for (bool started = false; !started; std::this_thread::yield()) {
        std::lock_guard<std::mutex> g(dialog.m);
        started = !dialog.posts.empty();
    }
    for (int i = 0; i < 2000; ++i) model.deliverPendingReport(kReportReady, 0);
    setActiveDialog(nullptr);
    size_t posts;
    {
        std::lock_guard<std::mutex> g(dialog.m);
        posts = dialog.posts.size();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    {
        std::lock_guard<std::mutex> g(dialog.m);
        EXPECT_EQ(dialog.posts.size(), posts);
    }
    stop = true;
    engine.join();
    EXPECT_FALSE(dialog.calls.empty());
}

}  // namespace
}  // namespace vorlant
