#include <gtest/gtest.h>

#include <algorithm>
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

TEST_F(Bridge, ReportsBeforeDeliveryAreEachShownOnceInOrder) {
    // Every order of a settings, a status and a voltage report, all made
    // before the window thread runs: one announcement shows them all, a
    // second (late) one shows nothing again.
    using Call = FakeDialog::Call;
    const Call settings{2, SettingsReportKind::ReadoutComplete, 42}, status{1, 15, 0}, voltage{3, 905, 0};
    std::vector<Call> order = {settings, status, voltage};
    std::sort(order.begin(), order.end(), [](const Call& a, const Call& b) { return a.what < b.what; });
    const ControllerSettings s = record(42);
    do {
        dialog.calls.clear();
        for (const Call& c : order) {
            if (c.what == 1) model.onStatus(c.value);
            if (c.what == 2) model.onSettings(&s, c.value);
            if (c.what == 3) model.onSupplyVoltage(c.value);
        }
        deliver(2);
        EXPECT_EQ(dialog.calls, order);
    } while (std::next_permutation(order.begin(), order.end(),
                                   [](const Call& a, const Call& b) { return a.what < b.what; }));
    // The two cases that once lost a report.
    dialog.calls.clear();
    model.onStatus(StatusCode::Connecting);
    model.onSupplyVoltage(905);
    const ControllerSettings gear = record(5);
    model.onSettings(&gear, SettingsReportKind::GearRatiosChanged);
    model.onStatus(StatusCode::Ready);
    deliver();
    EXPECT_EQ(dialog.calls, (std::vector<Call>{{1, 2, 0}, {3, 905, 0}, {2, 4, 5}, {1, 15, 0}}));
    EXPECT_EQ(model.deliveredSettings().raGearRatio, 5u);
}

TEST_F(Bridge, ANullRecordIsIgnoredAndTheQueueIsBounded) {
    model.onSettings(nullptr, SettingsReportKind::ReadoutComplete);
    EXPECT_TRUE(dialog.posts.empty());
    EXPECT_EQ(model.pendingCount(), 0u);

    // Past the cap only a newer voltage replaces a pending one; no status
    // or settings report is ever dropped.
    using Call = FakeDialog::Call;
    const ControllerSettings s = record(9);
    model.onSupplyVoltage(1);
    model.onSettings(&s, SettingsReportKind::ReadoutComplete);
    for (std::size_t i = 2; i < AppModel::kQueueCap; ++i) model.onStatus(StatusCode::ManualMovement);
    model.onSupplyVoltage(2);  // the cap reached: replaces 1
    model.onStatus(StatusCode::ConnectionClosed);
    model.onSupplyVoltage(3);  // replaces 2
    EXPECT_EQ(model.pendingCount(), AppModel::kQueueCap + 1);
    deliver();
    ASSERT_EQ(dialog.calls.size(), AppModel::kQueueCap + 1);
    EXPECT_EQ(dialog.calls[0], (Call{2, 1, 9}));
    EXPECT_EQ(dialog.calls[AppModel::kQueueCap - 2], (Call{1, StatusCode::ManualMovement, 0}));
    EXPECT_EQ(dialog.calls[AppModel::kQueueCap - 1], (Call{1, StatusCode::ConnectionClosed, 0}));
    EXPECT_EQ(dialog.calls.back(), (Call{3, 3, 0}));
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

TEST_F(Bridge, ReportsWaitForADialogWindow) {
    setActiveDialog(nullptr);
    model.onStatus(StatusCode::Ready);
    EXPECT_TRUE(dialog.posts.empty());
    setActiveDialog(&dialog);
    model.onSupplyVoltage(1);
    deliver();
    EXPECT_EQ(dialog.calls, (std::vector<FakeDialog::Call>{{1, 15, 0}, {3, 1, 0}}));
}

TEST(BridgeThreads, EveryReportArrivesOnceAndInOrderWhileTheWindowDelivers) {
    // The engine thread reports while the window thread drains; at the end
    // the window withdraws the dialog: after setActiveDialog(nullptr)
    // returns no announcement reaches it (TSan checks the rest).
    FakeDialog dialog;
    AppModel model;
    model.setDialogCallback(&dialog);
    setActiveDialog(&dialog);
    constexpr int kReports = 3000;  // below the cap: nothing may be dropped
    std::thread engine([&] {
        ControllerSettings s = record(0);
        for (int i = 0; i < kReports; ++i) {
            if (i % 3 == 0) {
                s.raGearRatio = static_cast<uint32_t>(i);
                model.onSettings(&s, SettingsReportKind::ReadoutComplete);
            } else {
                model.onStatus(i);
            }
        }
    });
    for (int spins = 0; dialog.calls.size() < kReports && spins < 10000000; ++spins) {
        model.deliverPendingReport(kReportReady, 0);
        std::this_thread::yield();
    }
    engine.join();
    setActiveDialog(nullptr);
    size_t posts;
    {
        std::lock_guard<std::mutex> g(dialog.m);
        posts = dialog.posts.size();
    }
    model.onStatus(1);
    {
        std::lock_guard<std::mutex> g(dialog.m);
        EXPECT_EQ(dialog.posts.size(), posts);
    }
    ASSERT_EQ(dialog.calls.size(), static_cast<size_t>(kReports));
    for (int i = 0; i < kReports; ++i) {
        const FakeDialog::Call& c = dialog.calls[i];
        if (i % 3 == 0) {
            ASSERT_EQ(c, (FakeDialog::Call{2, 1, static_cast<uint32_t>(i)})) << i;
        } else {
            ASSERT_EQ(c, (FakeDialog::Call{1, i, 0})) << i;
        }
    }
}

}  // namespace
}  // namespace vorlant
