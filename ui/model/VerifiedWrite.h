#pragma once
// Write and Verify: a read of what the radio holds (kept as a backup), the
// write of the form, and a second read compared with what was written. The
// reads' images are the command's own, so the form stays as the user had it
// throughout. The steps run back to back on the link, each starting once the
// last has settled; their completion messages give way to one result, their
// failures keep their own message and name the step.
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <optional>

#include "files/SettingsFile.h"
#include "link/RadioLink.h"
#include "ui/model/FormModel.h"

namespace orvex {

// What Write and Verify asks of the keeping of reads as backups: the first
// read's backup is named in the result, and without one nothing is written.
class IReadKeeping {
public:
    virtual ~IReadKeeping() = default;
    // Keeps what a read the form did not take would save (none: the radio's
    // settings cannot be stored), as the backup of that read.
    virtual void KeepRead(const std::optional<kvx::KvxValues>& values) = 0;
    virtual const std::string& LastPath() const = 0;
    // Why the last confirmed read was not kept, with what to do about it.
    virtual UserMessage NotKeptMessage() const = 0;
};

enum class VerifyStep { ReadBefore, Write, ReadBack };

// One value that did not come back as it was written.
struct VerifyDifference {
    std::string field;  // "P3", "Band plan", "Emg Channel", "CH 07"
    std::string written;
    std::string readBack;
};

struct VerifyResult {
    enum class Status {
        Verified,    // the read-back matches what was written
        Differs,     // it does not: see differences
        Failed,      // a step failed: see step and failure
        NotStarted,  // refused before any byte was sent (failure says why, if anything was said)
    };
    Status status = Status::NotStarted;
    VerifyStep step = VerifyStep::ReadBefore;  // the step that failed
    std::vector<UserMessage> said;             // that step's own messages, in order
    std::string failure;                       // the same as one line each
    std::vector<VerifyDifference> differences;
    std::string backupPath;  // the backup of what the radio held before the write, if kept
    // Failed after the first read because it could not be kept: nothing was
    // written, and nothing will be until the backups can be kept again.
    bool noBackup = false;
};

// The step as users read it in "Write and Verify stopped while <...>".
std::string_view StepName(VerifyStep step);

// The differences, one a line (or between separators): "P3: written
// 27.1250, read back 26.9650".
std::string FormatDifferences(const std::vector<VerifyDifference>& differences, std::string_view separator = "\n");

// The result as the user is told it: "VERIFY OK", the differences with a
// stop icon, or the failed step's own message naming the step. Empty text
// for a command that did not start (anything to say has been said).
UserMessage VerifyMessage(const VerifyResult& result);

// Why a write of the form would be refused before any byte is sent, as the
// write itself would say it; none when it may go ahead.
std::optional<UserMessage> VerifyRefusal(const FormModel& form);

// What was written against what the radio gave back: the ten frequencies,
// the band plan and, for the South African plan, the emergency channel and
// the 23 channel flags.
std::vector<VerifyDifference> CompareWritten(const FormSnapshot& written, const FormSnapshot& readBack);

class VerifiedWrite {
public:
    // backups may be null: the first read is then not kept.
    VerifiedWrite(FormModel& form, CRadioLink& link, IReadKeeping* backups);
    ~VerifiedWrite();
    VerifiedWrite(const VerifiedWrite&) = delete;
    VerifiedWrite& operator=(const VerifiedWrite&) = delete;

    // Starts the three steps once the link has settled; done is called
    // once, when the last one has settled (the form then shows what the
    // user had before). A write that would be refused is refused with its
    // message before any byte is sent. False, and done never called, while
    // a transfer or another verify runs.
    bool Start(std::function<void(const VerifyResult&)> done);
    bool Running() const { return m_running; }

private:
    struct Run;
    void Begin();
    void BeginStep(VerifyStep step);
    void WhenSettled(std::function<void()> fn);
    void OnStepSettled();
    void Finish(VerifyResult result);
    std::optional<MsgAnswer> Filter(const UserMessage& message);

    // Gives the history, the reads and the link's advice back, and what
    // counted as saved when the command began unless the radio verified it.
    void GiveBack(bool verified);

    FormModel& m_form;
    CRadioLink& m_link;
    IReadKeeping* m_backups;
    bool m_running = false;
    std::unique_ptr<Run> m_run;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

}  // namespace orvex
