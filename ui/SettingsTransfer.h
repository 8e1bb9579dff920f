// "Export settings..." and "Import settings..." of the main window: the
// same settings files as `vorlantctl export` and `import`, with the same
// checks, over a small interface each front implements with its standard
// file dialogs and message boxes.
//
// Both start with a fresh read-out (the port is closed if open and opened
// again), because most commands do not update the engine's record. Export
// then writes the record. Import checks the file on its own before
// anything happens; after the read-out, against the controller (family,
// class, ranges): a file that does not fit is refused whole, naming the
// field, and nothing is sent. Otherwise it lists field, controller value
// and file value, and sends only once the user agrees; then it reads the
// controller out again and confirms that it holds the file's values.
//
// The steps run on the reports the dialog receives (showStatus and friends
// forward them here), so the window thread never waits for the controller.
//
// Threads: the window thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "backup/ChangePlan.h"
#include "backup/SettingsFile.h"
#include "engine/ControllerSettings.h"
#include "engine/iTelescopeControl.h"

namespace vorlant {

// One line of the list an import shows before it sends anything.
struct TransferRow {
    std::string field;
    std::string controllerValue;
    std::string fileValue;
};

// The rows as lines for a message box: "NAME: 70 -> 86".
std::string transferRowsText(const std::vector<TransferRow>& rows);

// What the transfer asks of a front. Paths are UTF-8.
class TransferHost {
public:
    // The standard dialogs to choose a file to write or to read; false when
    // the user cancelled.
    virtual bool chooseSaveFile(std::string& path) = 0;
    virtual bool chooseOpenFile(std::string& path) = 0;
    // Shows what an import would change and asks; true when the user agrees.
    virtual bool confirmImport(const std::string& question, const std::vector<TransferRow>& rows) = 0;
    // A yes/no question in the same kind of box; true for Yes.
    virtual bool askYesNo(const std::string& question) = 0;
    // A message box: the outcome of a transfer, or why it failed.
    virtual void showMessage(const std::string& text, bool isError) = 0;

protected:
    virtual ~TransferHost() = default;
};

class SettingsTransfer {
public:
    explicit SettingsTransfer(iTelescopeControl& engine) : engine_(engine) {}
    SettingsTransfer(const SettingsTransfer&) = delete;
    SettingsTransfer& operator=(const SettingsTransfer&) = delete;

    // Ask for the file, then read the controller on `port` at `baud` out
    // afresh. While a transfer is under way, only says so.
    void startExport(TransferHost& host, int port, uint32_t baud);
    void startImport(TransferHost& host, int port, uint32_t baud);
    bool busy() const { return step_ != Step::Idle; }
    // An import's commands are going out and not all have arrived: the
    // controller may hold part of the file.
    bool importSending() const {
        return job_ == Job::Import && (step_ == Step::Answer || step_ == Step::Barrier);
    }
    // Ends a transfer without a word (the window is closing): later
    // reports send nothing more.
    void abandon() { step_ = Step::Idle; }

    // The engine's reports, as the dialog receives them.
    void onStatus(int code);
    void onSettings(const ControllerSettings& settings, int kind);
    void onSupplyVoltage();

private:
    enum class Job { Export, Import };
    // Opening: the connect is posted, its "Opening port" not yet seen;
    // Confirming: the user is asked; Answer: an exchange of the plan is
    // awaited; Barrier: the delivery check after the plain writes.
    enum class Step {
        Idle,
        Opening,
        ReadingOut,
        Confirming,
        Answer,
        Barrier,
        VerifyOpening,
        VerifyReadingOut
    };

    bool refuseWhileBusy(TransferHost& host);
    void readOutAfresh(Step opening);
    void proceed(const ControllerSettings& reported);
    void sendFrom(std::size_t index);
    void verify(const ControllerSettings& settings);
    void fail(const std::string& reason);
    void finish(const std::string& text);

    iTelescopeControl& engine_;
    TransferHost* host_ = nullptr;
    Job job_ = Job::Export;
    Step step_ = Step::Idle;
    std::string path_;
    int port_ = 1;
    uint32_t baud_ = 9600;
    // Whether the engine's port is open, as far as the reports tell.
    bool portOpen_ = false;
    bool reopened_ = false;  // the engine said "already connected" once
    bool sending_ = false;   // commands went out: a failure is no longer "nothing sent"
    backup::SettingsFile file_;
    ControllerSettings target_{};
    std::size_t changeCount_ = 0;
    std::vector<backup::PlannedCommand> plan_;
    std::size_t next_ = 0;  // the plan's next command
};

}  // namespace vorlant
