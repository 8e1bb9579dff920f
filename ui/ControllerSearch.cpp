#include "ui/ControllerSearch.h"

#include <cstddef>

#include "engine/StatusMeaning.h"
#include "engine/Timings.h"

namespace vorlant {

ProbePortFactory ScanHost::probePortFactory() {
    return [] { return platform::createSerialPort(); };
}

void OwnConnection::onStatus(int code) {
    const int low = static_cast<int>(static_cast<uint32_t>(code) & 0xFFFFu);
    // Only "Connecting..." says which port opened: a refused connect keeps
    // the port that was open.
    if (low == StatusCode::Connecting) {
        port_ = requested_;
        device_ = ControllerSettings{};
    } else if (leavesPortClosed(low)) {
        port_ = 0;
        device_ = ControllerSettings{};
    }
}

void OwnConnection::onDevice(const ControllerSettings& settings) {
    if (port_ != 0) device_ = settings;
}

ProbeReport OwnConnection::report(const ProbeTarget& target) const {
    ProbeReport r;
    r.target = target;
    r.verdict = ProbeVerdict::OwnConnection;
    r.settings = device_;
    return r;
}

struct ControllerSearch::State {
    std::vector<ProbeTarget> targets;  // those probed
    ProbePortFactory factory;
    // The own connection's report and the number of targets before it.
    bool hasOwn = false;
    ProbeReport own;
    std::size_t ownPosition = 0;
    platform::Lock lock;
    bool done = false;                 // under lock
    std::vector<ProbeReport> reports;  // under lock, once done
};

bool ControllerSearch::start(std::vector<ProbeTarget> targets, ProbePortFactory factory,
                             const OwnConnection& own) {
    if (state_) return false;
    auto state = std::make_shared<State>();
    for (ProbeTarget& target : targets) {
        if (own.port() != 0 && target.portNumber == own.port() && !state->hasOwn) {
            state->hasOwn = true;
            state->own = own.report(target);
            state->ownPosition = state->targets.size();
            continue;
        }
        state->targets.push_back(std::move(target));
    }
    state->factory = std::move(factory);
    auto thread = std::make_unique<platform::Thread>();
    // The thread holds its own reference: a search abandoned with the
    // window still ends on live memory.
    auto* holder = new std::shared_ptr<State>(state);
    if (!thread->start(&ControllerSearch::entry, holder)) {
        delete holder;
        return false;
    }
    state_ = std::move(state);
    thread_ = std::move(thread);
    return true;
}

bool ControllerSearch::takeResults(std::vector<ProbeReport>& out) {
    if (!state_) return false;
    {
        platform::LockGuard guard(state_->lock);
        if (!state_->done) return false;
        out = std::move(state_->reports);
    }
    thread_->join(kSearchJoinMs);
    thread_.reset();
    state_.reset();
    return true;
}

void ControllerSearch::entry(void* raw) {
    auto* holder = static_cast<std::shared_ptr<State>*>(raw);
    const std::shared_ptr<State> state = *holder;
    delete holder;
    std::vector<ProbeReport> reports = scanPorts(state->targets, state->factory);
    if (state->hasOwn) {
        // Back in its place: before the first report of a later target
        // (the scan leaves out guessed ports that do not exist).
        std::size_t at = 0;
        std::size_t target = 0;
        while (at < reports.size() && target < state->ownPosition) {
            if (reports[at].target.portNumber == state->targets[target].portNumber) ++at;
            ++target;
        }
        reports.insert(reports.begin() + static_cast<std::ptrdiff_t>(at), state->own);
    }
    platform::LockGuard guard(state->lock);
    state->reports = std::move(reports);
    state->done = true;
}

std::string scanResultText(const std::vector<ProbeReport>& reports) {
    if (reports.empty()) return "No serial port found.";
    std::string text;
    for (const ProbeReport& r : reports) {
        if (!text.empty()) text += '\n';
        text += describeProbe(r);
    }
    return text;
}

}  // namespace vorlant
