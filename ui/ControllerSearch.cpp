#include "ui/ControllerSearch.h"

namespace vorlant {

ProbePortFactory ScanHost::probePortFactory() {
    return [] { return platform::createSerialPort(); };
}

struct ControllerSearch::State {
    std::vector<ProbeTarget> targets;
    ProbePortFactory factory;
    platform::Lock lock;
    bool done = false;                 // under lock
    std::vector<ProbeReport> reports;  // under lock, once done
};

bool ControllerSearch::start(std::vector<ProbeTarget> targets, ProbePortFactory factory) {
    if (state_) return false;
    auto state = std::make_shared<State>();
    state->targets = std::move(targets);
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
    thread_->join(1000);
    thread_.reset();
    state_.reset();
    return true;
}

void ControllerSearch::entry(void* raw) {
    auto* holder = static_cast<std::shared_ptr<State>*>(raw);
    const std::shared_ptr<State> state = *holder;
    delete holder;
    std::vector<ProbeReport> reports = scanPorts(state->targets, state->factory);
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
