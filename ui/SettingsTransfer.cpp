#include "ui/SettingsTransfer.h"

#include "engine/SettingsFields.h"
#include "engine/StatusMeaning.h"

namespace vorlant {

namespace {

std::string num(int64_t v) {
    return std::to_string(static_cast<long long>(v));
}

}  // namespace

std::string transferRowsText(const std::vector<TransferRow>& rows) {
    std::string text;
    for (const TransferRow& r : rows)
        text += r.field + ": " + r.controllerValue + " -> " + r.fileValue + "\n";
    if (!text.empty()) text.pop_back();
    return text;
}

bool SettingsTransfer::refuseWhileBusy(TransferHost& host) {
    if (!busy()) return false;
    host.showMessage("A settings transfer is still under way; Disconnect ends it.", true);
    return true;
}

void SettingsTransfer::startExport(TransferHost& host, int port, uint32_t baud) {
    if (refuseWhileBusy(host)) return;
    std::string path;
    if (!host.chooseSaveFile(path)) return;
    host_ = &host;
    job_ = Job::Export;
    path_ = path;
    port_ = port;
    baud_ = baud;
    sending_ = false;
    readOutAfresh(Step::Opening);
}

void SettingsTransfer::startImport(TransferHost& host, int port, uint32_t baud) {
    if (refuseWhileBusy(host)) return;
    std::string path;
    if (!host.chooseOpenFile(path)) return;
    host_ = &host;
    job_ = Job::Import;
    path_ = path;
    port_ = port;
    baud_ = baud;
    sending_ = false;
    // The file on its own first: a file that is no settings file costs not
    // even a read-out.
    std::string text, error;
    if (!backup::readSettingsText(path, text, error)) {
        fail(error);
        return;
    }
    if (!backup::parseSettingsFile(text, file_, error)) {
        fail(path + ": " + error);
        return;
    }
    readOutAfresh(Step::Opening);
}

void SettingsTransfer::readOutAfresh(Step opening) {
    reopened_ = false;
    if (portOpen_) engine_.disconnect();
    engine_.connect(port_, baud_);
    step_ = opening;
}

void SettingsTransfer::onStatus(int code) {
    const int low = static_cast<int>(static_cast<uint32_t>(code) & 0xFFFFu);
    if (leavesPortOpen(low)) portOpen_ = true;
    if (leavesPortClosed(low)) portOpen_ = false;

    switch (step_) {
        case Step::Opening:
        case Step::VerifyOpening:
            // What comes before "Opening port" answers earlier requests,
            // our own disconnect among them.
            if (low == StatusCode::OpeningPort) {
                step_ = step_ == Step::Opening ? Step::ReadingOut : Step::VerifyReadingOut;
            } else if (low == StatusCode::CannotOpenPort) {
                // An engine without its queue says so at once, with no "Opening port".
                fail(std::string("the read-out ended with \"") + statusTextAscii(low) + "\"");
            } else if (refusesConnect(low)) {
                // A connect of the user's got there first: close it and try once more.
                if (reopened_) {
                    fail(std::string("the read-out did not start: ") + statusTextAscii(low));
                    return;
                }
                reopened_ = true;
                engine_.disconnect();
                engine_.connect(port_, baud_);
            }
            return;
        case Step::ReadingOut:
        case Step::VerifyReadingOut:
            if (endsReadout(low))
                fail(std::string("the read-out ended with \"") + statusTextAscii(low) + "\"");
            return;
        case Step::Answer:
        case Step::Barrier:
            // No plan parks: a park refused now was the window's own, not the plan's.
            if (failsCommand(low) && low != StatusCode::ParkingUnsupported) {
                // Name the step: an exchange the controller left unanswered
                // ends here too (the engine gives it up after its time-out).
                const std::string stepName = step_ == Step::Barrier ? std::string("confirming delivery")
                                                                    : "sending " + plan_[next_ - 1].fields;
                fail(stepName + " ended with \"" + statusTextAscii(low) + "\"");
                return;
            }
            if (step_ == Step::Answer && low == StatusCode::SettingsDone &&
                plan_[next_ - 1].writer == FieldWriter::Advanced)
                sendFrom(next_);
            return;
        case Step::Idle:
        case Step::Confirming:
            return;
    }
}

void SettingsTransfer::onSettings(const ControllerSettings& settings, int kind) {
    if (kind == SettingsReportKind::DeviceTooOld &&
        (step_ == Step::ReadingOut || step_ == Step::VerifyReadingOut)) {
        fail(statusTextAscii(StatusCode::DeviceTooOld));
        return;
    }
    switch (step_) {
        case Step::ReadingOut:
            if (kind == SettingsReportKind::ReadoutComplete) proceed(settings);
            return;
        case Step::VerifyReadingOut:
            if (kind == SettingsReportKind::ReadoutComplete) verify(settings);
            return;
        case Step::Answer: {
            const backup::PlannedCommand& c = plan_[next_ - 1];
            if (kind != SettingsReportKind::GearRatiosChanged || c.writer != FieldWriter::GearRatios) return;
            const backup::PlannedCommand shown = backup::readBack(c, settings);
            if (shown.first != c.first || shown.second != c.second) {
                fail("the controller reports the gear ratios RA " + num(shown.first) + ", DE " +
                     num(shown.second) + " after writing " + num(c.first) + ", " + num(c.second));
                return;
            }
            sendFrom(next_);
            return;
        }
        default:
            return;
    }
}

void SettingsTransfer::onSupplyVoltage() {
    // The controller answers in order: everything sent before has arrived.
    if (step_ == Step::Barrier) readOutAfresh(Step::VerifyOpening);
}

void SettingsTransfer::proceed(const ControllerSettings& reported) {
    // A copy: the report's record may be replaced by one delivered while
    // the user is asked.
    const ControllerSettings settings = reported;
    std::string error;
    if (job_ == Job::Export) {
        if (!backup::writeSettingsText(path_, backup::settingsToJson(settings, true), error)) {
            fail(error);
            return;
        }
        finish("Exported the settings to " + path_ + ".");
        return;
    }
    std::vector<backup::FieldChange> changes;
    if (!backup::planImport(file_, settings, target_, changes, error)) {
        fail(path_ + ": " + error);
        return;
    }
    if (changes.empty()) {
        finish("The controller already holds every setting of " + path_ + "; nothing was sent.");
        return;
    }
    std::vector<TransferRow> rows;
    for (const backup::FieldChange& c : changes)
        rows.push_back(TransferRow{c.field->name, describeValue(*c.field, c.field->get(settings)),
                                   describeValue(*c.field, c.value)});
    changeCount_ = changes.size();
    step_ = Step::Confirming;  // reports that come meanwhile change nothing here
    const std::string question = "Send these " + std::to_string(changes.size()) + " setting" +
                                 (changes.size() == 1 ? "" : "s") + " of " + path_ + " to the controller?";
    if (!host_->confirmImport(question, rows)) {
        step_ = Step::Idle;
        return;
    }
    plan_ = backup::planCommands(settings, target_);
    sending_ = true;
    sendFrom(0);
}

void SettingsTransfer::sendFrom(std::size_t index) {
    // Exchanges are answered before the next command goes: the engine
    // refuses settings while it waits for a reply.
    for (next_ = index; next_ < plan_.size();) {
        const backup::PlannedCommand& c = plan_[next_++];
        backup::postCommand(engine_, c);
        if (c.isExchange()) {
            step_ = Step::Answer;
            return;
        }
    }
    if (!plan_.empty() && !plan_.back().isExchange()) {
        // Closing the port would drop what it has not sent yet.
        engine_.measureSupplyVoltage();
        step_ = Step::Barrier;
        return;
    }
    readOutAfresh(Step::VerifyOpening);
}

void SettingsTransfer::verify(const ControllerSettings& settings) {
    const std::vector<const SettingsField*> wrong =
        backup::differingWritableFields(settings, target_, settings.versionClass);
    if (!wrong.empty()) {
        std::string text = "the controller does not hold the imported values:";
        for (const SettingsField* f : wrong)
            text += std::string(" ") + f->name + " is " + num(f->get(settings)) + ", want " +
                    num(f->get(target_)) + ";";
        text.pop_back();
        fail(text);
        return;
    }
    finish("Imported " + path_ + ": " + std::to_string(changeCount_) + " setting" +
           (changeCount_ == 1 ? "" : "s") + " changed, read back and confirmed.");
}

void SettingsTransfer::fail(const std::string& reason) {
    step_ = Step::Idle;
    std::string text = (job_ == Job::Export ? "Export failed: " : "Import failed: ") + reason;
    if (job_ == Job::Import && !sending_) text += "; nothing was sent";
    if (text.back() != '.') text += '.';
    if (host_ != nullptr) host_->showMessage(text, true);
}

void SettingsTransfer::finish(const std::string& text) {
    step_ = Step::Idle;
    if (host_ != nullptr) host_->showMessage(text, false);
}

}  // namespace vorlant
