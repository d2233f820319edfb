#include "ui/model/VerifiedWrite.h"

#include "link/LinkTexts.h"
#include "settings/QMDataMng.h"
#include "settings/RadioImage.h"
#include "ui/model/FormTexts.h"
#include "ui/model/SettingsCompare.h"
#include "ui/model/VerifyTexts.h"

namespace orvex {
namespace {

// The link's own recovery advice on or off; the rest of its advice stays.
void SetLinkRecoveryAdvice(CRadioLink& link, bool give) {
    WriteDoubtAdvice advice = link.DoubtAdvice();
    advice.recoveryAdvice = give;
    link.SetDoubtAdvice(std::move(advice));
}

// Each row's cell as the read-back records give it; rows no record names
// hold the marker, which no frequency text can equal.
ChannelCells ReadBackCells(const RadioSettings& settings) {
    ChannelCells cells;
    cells.fill(std::string(texts::kVerifyRowNotReadBack));
    for (const ChannelEntry& record : settings.m_channels) {
        const DecodedRecord d = DecodeRecord(record);
        if (d.row >= 1 && d.row <= kChannelCount) cells[d.row - 1] = d.cellText;
    }
    return cells;
}

// The emergency channel a write sends: the one its list shows.
int EmgChannelWritten(const FormSnapshot& s) {
    if (s.emgSelection < 0 || s.emgSelection >= static_cast<int>(s.emgItems.size())) return 0;
    return EmgChannelFromText(s.emgItems[s.emgSelection]);
}

}  // namespace

std::string_view StepName(VerifyStep step) {
    switch (step) {
        case VerifyStep::ReadBefore: return texts::kStepReadBefore;
        case VerifyStep::Write: return texts::kStepWrite;
        case VerifyStep::ReadBack: return texts::kStepReadBack;
    }
    return {};
}

std::string FormatDifferences(const std::vector<VerifyDifference>& differences, std::string_view separator) {
    std::string out;
    for (const VerifyDifference& d : differences) {
        if (!out.empty()) out += separator;
        out += d.field + ": written " + d.written + ", read back " + d.readBack;
    }
    return out;
}

std::vector<VerifyDifference> CompareWritten(const FormSnapshot& written, const FormSnapshot& readBack) {
    const ComparedFields sent{written.cells, written.modeSel, EmgChannelWritten(written), written.settings.b_CHcheck};
    const ComparedFields back{readBack.cells, readBack.modeSel, LimitEmgChannel(readBack.settings.m_nEmgChannel),
                              readBack.settings.b_CHcheck};
    // Other plans have no emergency channel or flags the radio keeps.
    std::vector<VerifyDifference> out;
    for (SettingDifference& d : CompareFields(sent, back, written.modeSel == kBandPlanSouthAfrica))
        out.push_back({std::move(d.field), std::move(d.first), std::move(d.second)});
    return out;
}

UserMessage VerifyMessage(const VerifyResult& result) {
    const std::string backup =
        result.backupPath.empty() ? std::string() : std::string(texts::kVerifyBackupIntro) + result.backupPath;
    const auto lines = [](std::initializer_list<std::string> parts) {
        std::string out;
        for (const std::string& p : parts) {
            if (p.empty()) continue;
            if (!out.empty()) out += '\n';
            out += p;
        }
        return out;
    };
    switch (result.status) {
        case VerifyResult::Status::Verified:
            return {std::string(texts::kVerifyOk), lines({std::string(texts::kVerifyOkDetail), backup}), MsgIcon::None};
        case VerifyResult::Status::Differs:
            return {lines({std::string(texts::kVerifyDiffers), FormatDifferences(result.differences)}), backup,
                    MsgIcon::Stop};
        case VerifyResult::Status::Failed: {
            const std::string_view leaves = result.step == VerifyStep::ReadBefore ? texts::kStepReadBeforeLeaves
                                            : result.step == VerifyStep::Write    ? texts::kStepWriteLeaves
                                                                                  : texts::kStepReadBackLeaves;
            std::string stopped = std::string(texts::kVerifyStoppedIntro) + std::string(StepName(result.step)) + ". " +
                                  std::string(leaves);
            std::string text = result.said.empty() ? std::string(texts::kVerifyStepDeclined) : result.said[0].text;
            std::string more = result.said.empty() ? std::string() : result.said[0].detail;
            for (std::size_t i = 1; i < result.said.size(); ++i)
                more = lines({more, result.said[i].text + (result.said[i].detail.empty() ? "" : " (" + result.said[i].detail + ")")});
            return {std::move(text), lines({stopped, more, backup}), MsgIcon::Stop};
        }
        case VerifyResult::Status::NotStarted: break;
    }
    return {};
}

// ---- The run -------------------------------------------------------------------

struct VerifiedWrite::Run {
    std::function<void(const VerifyResult&)> done;
    FormSnapshot written;      // the form as the user had it: what is written
    FormSnapshot savedBefore;  // the state that counted as saved then
    VerifyStep step = VerifyStep::ReadBefore;
    std::vector<UserMessage> said;  // the current step's messages, held back
    std::optional<ReadImage> image;  // what the current read brought
    std::string backupPath;
    bool started = false;  // the command holds the form and the link's reads
    bool linkAdvice = true;  // the link's own recovery advice, given back at the end
};

namespace {

// A step that failed, with what it said.
VerifyResult StepFailed(VerifyStep step, std::vector<UserMessage> said, std::string backupPath) {
    VerifyResult result;
    result.status = VerifyResult::Status::Failed;
    result.step = step;
    for (const UserMessage& m : said) {
        if (!result.failure.empty()) result.failure += '\n';
        result.failure += m.text;
        if (!m.detail.empty()) result.failure += " (" + m.detail + ")";
    }
    result.said = std::move(said);
    result.backupPath = std::move(backupPath);
    return result;
}

// The form a read of image would leave, starting from state, and what Save
// would then write: the radio's settings in the form's own terms, worked
// out beside the user's form rather than in it.
struct ReadOutcome {
    FormSnapshot state;
    std::optional<kvx::KvxValues> values;
};
ReadOutcome AfterRead(const FormSnapshot& state, const ReadImage& image) {
    struct Silent : IPrompter {
        MsgAnswer Show(const UserMessage&) override { return MsgAnswer::Ok; }
    } silent;
    FormModel scratch(silent);
    scratch.Restore(state, state);
    static_cast<ITransferForm&>(scratch).ApplyReadImage(image);
    return {scratch.Snapshot(), scratch.ValuesForSave()};
}

}  // namespace

VerifiedWrite::VerifiedWrite(FormModel& form, CRadioLink& link, IReadKeeping* backups)
    : m_form(form), m_link(link), m_backups(backups) {}

VerifiedWrite::~VerifiedWrite() {
    if (!m_run) return;
    m_form.Messages().SetFilter({});
    if (m_run->started) GiveBack(false);
}

void VerifiedWrite::GiveBack(bool verified) {
    m_form.History().Hold(false);
    m_link.TakeReadsWith({});
    SetLinkRecoveryAdvice(m_link, m_run->linkAdvice);
    // The form counts as saved only when the radio gave it back: edits the
    // radio did not keep stay unsaved, and so stay in the recovery file. The
    // write's own choice of emergency channel goes with it.
    if (!verified) m_form.Restore(m_run->written, m_run->savedBefore);
}

std::optional<UserMessage> VerifyRefusal(const FormModel& form) {
    // A plain write finds a cell it cannot send only when that cell's block
    // is due, with earlier blocks already sent; here every cell is checked
    // before the first read, beside the form's own refusals.
    if (form.ModeSelection() < 0) return form.WriteRefusal();
    for (int row = 1; row <= kChannelCount; ++row) {
        const std::string cell = CellText(form, row);
        if (!EncodeBlockFrequency(cell, kReceiveOffsetMHz).ok)
            return UserMessage{std::string(texts::kFrequencyOutOfRange), RowLabel(row) + ": \"" + cell + "\"",
                               MsgIcon::Stop};
    }
    return form.WriteRefusal();
}

bool VerifiedWrite::Start(std::function<void(const VerifyResult&)> done) {
    if (m_running || m_form.View().IsTableLocked()) return false;
    m_running = true;
    m_run = std::make_unique<Run>();
    m_run->done = std::move(done);
    // A transfer that just failed may leave its watchdog a moment longer;
    // the command waits for it rather than being refused without a word.
    WhenSettled([this] { Begin(); });
    return true;
}

void VerifiedWrite::Begin() {
    // What would stop the write is said before anything is read, so a
    // refused write leaves the radio untouched and keeps no needless backup.
    if (const std::optional<UserMessage> refusal = VerifyRefusal(m_form)) {
        m_form.Messages().Show(*refusal);
        Finish({});
        return;
    }
    m_run->started = true;
    // The form is the user's throughout: the reads bring their images here,
    // and nothing is undone or redone until the command has its result.
    m_form.History().Hold(true);
    m_link.TakeReadsWith([this](const ReadImage& image) { m_run->image = image; });
    m_run->written = m_form.Snapshot();
    m_run->savedBefore = m_form.Baseline();
    m_form.Messages().SetFilter([this](const UserMessage& m) { return Filter(m); });
    // A failed step's result says what it leaves and names the backup; the
    // plain write's advice would say it twice.
    m_run->linkAdvice = m_link.DoubtAdvice().recoveryAdvice;
    SetLinkRecoveryAdvice(m_link, false);
    BeginStep(VerifyStep::ReadBefore);
}

std::optional<MsgAnswer> VerifiedWrite::Filter(const UserMessage& message) {
    // Questions are the user's to answer; the steps' completion messages
    // give way to the one result; anything else is the step's to report.
    if (message.buttons != MsgButtons::Ok) return std::nullopt;
    if (message.kind != MsgKind::Completion) m_run->said.push_back(message);
    return MsgAnswer::Ok;
}

void VerifiedWrite::BeginStep(VerifyStep step) {
    m_run->step = step;
    m_run->said.clear();
    m_run->image.reset();
    if (step == VerifyStep::Write)
        m_link.OnWriteToRadio();
    else
        m_link.OnReadFromRadio();
    WhenSettled([this] { OnStepSettled(); });
}

void VerifiedWrite::WhenSettled(std::function<void()> fn) {
    if (m_link.Activity().Settled() && !m_run->started) {
        fn();
        return;
    }
    m_link.WhenSettled([this, alive = std::weak_ptr<bool>(m_alive), fn = std::move(fn)] {
        if (alive.lock() && m_run) fn();
    });
}

void VerifiedWrite::OnStepSettled() {
    Run& run = *m_run;
    const TransferOutcome outcome = m_link.Outcome();
    if (outcome != TransferOutcome::Completed) {
        VerifyResult result = StepFailed(run.step, run.said, run.backupPath);
        // A read the user declined to start has sent nothing and said
        // nothing: the command simply did not run.
        const bool declined = outcome == TransferOutcome::None && run.said.empty();
        if (declined && run.step == VerifyStep::ReadBefore) result.status = VerifyResult::Status::NotStarted;
        if (result.failure.empty() && outcome == TransferOutcome::None && run.step != VerifyStep::ReadBefore)
            result.failure = std::string(texts::kVerifyStepDeclined);
        Finish(std::move(result));
        return;
    }
    switch (run.step) {
        case VerifyStep::ReadBefore:
            if (m_backups) {
                // A completed read has brought its image with its closing block.
                m_backups->KeepRead(AfterRead(run.written, run.image.value()).values);
                run.backupPath = m_backups->LastPath();
                // The write overwrites what the radio holds: with no copy of
                // it kept there would be no way back.
                if (run.backupPath.empty()) {
                    VerifyResult result = StepFailed(run.step, {m_backups->NotKeptMessage()}, {});
                    result.noBackup = true;
                    Finish(std::move(result));
                    return;
                }
            }
            BeginStep(VerifyStep::Write);
            return;
        case VerifyStep::Write:
            BeginStep(VerifyStep::ReadBack);
            return;
        case VerifyStep::ReadBack: {
            VerifyResult result;
            // The cells as the radio's own records name them: a row no record
            // names was not given back, whatever the form still shows there.
            FormSnapshot back = AfterRead(m_form.Snapshot(), run.image.value()).state;
            back.cells = ReadBackCells(back.settings);
            result.differences = CompareWritten(run.written, back);
            result.status = result.differences.empty() ? VerifyResult::Status::Verified : VerifyResult::Status::Differs;
            result.step = VerifyStep::ReadBack;
            result.backupPath = run.backupPath;
            Finish(std::move(result));
            return;
        }
    }
}

void VerifiedWrite::Finish(VerifyResult result) {
    m_form.Messages().SetFilter({});
    if (m_run->started) GiveBack(result.status == VerifyResult::Status::Verified);
    std::unique_ptr<Run> run = std::move(m_run);
    m_running = false;
    if (run->done) run->done(result);
}

}  // namespace orvex
