#include "ui/model/FormModel.h"

#include <algorithm>
#include <filesystem>

#include "files/FileStore.h"
#include "files/SettingsFile.h"
#include "link/LinkTexts.h"
#include "settings/RadioImage.h"
#include "ui/model/FormTexts.h"

namespace orvex {
namespace {

std::uint8_t LowByte(int value) { return static_cast<std::uint8_t>(value & 0xFF); }

std::string FormatNotSettingsFile(const std::string& fileName) {
    std::string text(texts::kNotSettingsFileFormat);
    const auto at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, fileName);
    return text;
}

}  // namespace

FormModel::FormModel(IPrompter& prompter)
    : m_routed(prompter), m_view([this](unsigned changes) { Notify(changes); }), m_history(*this),
      m_caption(texts::kCaption) {}

MsgAnswer MessageRoute::Show(const UserMessage& message) {
    if (m_filter)
        if (const std::optional<MsgAnswer> answer = m_filter(message)) return *answer;
    return m_target.Show(message);
}

void FormModel::AddObserver(IFormObserver* observer) {
    if (observer && std::find(m_observers.begin(), m_observers.end(), observer) == m_observers.end())
        m_observers.push_back(observer);
}

void FormModel::RemoveObserver(IFormObserver* observer) { std::erase(m_observers, observer); }

template <typename Tell>
static void TellEach(const std::vector<IFormObserver*>& watching, Tell tell) {
    // A copy: an observer may stop watching while it is told.
    const std::vector<IFormObserver*> observers = watching;
    for (IFormObserver* o : observers)
        if (std::find(watching.begin(), watching.end(), o) != watching.end()) tell(*o);
}

void FormModel::Notify(unsigned changes) {
    TellEach(m_observers, [changes](IFormObserver& o) { o.OnFormChanged(changes); });
}

MsgAnswer FormModel::Say(std::string_view text, std::string detail, MsgIcon icon) {
    return m_routed.Show(UserMessage{std::string(text), std::move(detail), icon, MsgButtons::Ok});
}

std::string CellText(const FormModel& form, int row) {
    if (row == 0) return " FREQUENCY ";
    if (row < 1 || row > kChannelCount) return {};
    return form.Cells()[row - 1];
}

void FormModel::SetCellText(int row, std::string text) {
    if (row < 1 || row > kChannelCount) return;
    if (m_history.Held()) {
        Notify(kChangeCells);  // the table shows the cell as it stays
        return;
    }
    const UserChange change(*this);
    m_cells[row - 1] = std::move(text);
    Notify(kChangeCells);
}

void FormModel::SelectModeEntry(int index) {
    // Not refused during a transfer: the band plan a write sends is the one
    // the list shows when the radio asks for it. A command that holds the
    // form has already taken the plan it writes and compares.
    if (m_history.Held()) {
        Notify(kChangeBandSection);
        return;
    }
    const UserChange change(*this);
    SelectBandPlan(index);
    Notify(kChangeBandSection);
}

void FormModel::SelectBandPlan(int plan) {
    m_modeSel = LimitSelection(plan, kBandPlanCount);
    m_settings.m_nBandPlan = LowByte(m_modeSel);
}

void FormModel::SelectEmgItem(int index) {
    // A read fills the list from the radio; the user's pick would either be
    // lost or, if the read fails, left as a change nobody could take back.
    if (TakesNoUserChange()) {
        Notify(kChangeEmgList);
        return;
    }
    const UserChange change(*this);
    m_emgList.Select(index);
    Notify(kChangeEmgList);
}

bool ChannelFlag(const FormModel& form, int n) { return form.Settings().b_CHcheck.at(n - 1) != 0; }

bool HasUnsavedEdits(const FormModel& form) { return form.Snapshot() != form.Baseline(); }

int EmgChannelForSave(const FormModel& form) { return EmgChannelFromText(form.EmgList().ShownText()); }

bool Save(FormModel& form, const std::string& path) { return form.PrepareSave() && form.SaveTo(path); }

void FormModel::ResetToDefaults() {
    m_settings.ResetToDefaults();
    SelectBandPlan(m_modeSel);  // the values follow the list, which keeps its plan
    m_view.EndCellEdit();
    Notify(kChangeHidden);
}

void FormModel::StartUp() {
    ResetToDefaults();
    m_emgList.Clear();
    SelectBandPlan(0);
    m_settings.SelectOption(OptionListIndex(1010), 1);
    m_settings.SelectOption(OptionListIndex(1025), 5);
    m_settings.SelectOption(OptionListIndex(1026), 2);
    m_view.Reset(std::string(texts::kTotalRangeHint));
    EnableSouthAfricaSetup(false);
    m_settings.SetOptionFlagsToDefaults();
    m_caption = std::string(texts::kCaption);
    MarkSaved();
    m_history.StartNew();
    Notify(kChangeAll);
}

bool FormModel::New() {
    if (TakesNoUserChange()) return false;
    FormHistory::WholeState before = Whole();
    ResetToDefaults();
    UnpackChannelTable(m_settings, m_cells);
    m_emgList.Clear();
    m_settings.b_CHcheck.fill(0);
    m_settings.SetOptionFlagsToDefaults();
    m_view.SetProgress(0);
    m_caption = std::string(texts::kCaption);
    MarkSaved();
    m_view.ResetStatusLine();
    m_history.RecordReplaced(std::move(before));
    Notify(kChangeAll);
    return true;
}

bool FormModel::Open(const std::string& path) {
    if (TakesNoUserChange()) return false;
    const std::filesystem::path p = filestore::PathFromUtf8(path);
    const std::string caption = std::string(texts::kCaption) + " - " + filestore::Utf8FromPath(p.stem());
    const std::string fileName = filestore::Utf8FromPath(p.filename());

    const kvx::ReadResult read = kvx::ReadSettingsFile(path);
    if (read.status == kvx::FileStatus::NotSettingsFile) {
        Say(FormatNotSettingsFile(fileName), read.problem().Text());
        return false;
    }
    if (read.status != kvx::FileStatus::Ok) {
        Say(texts::kCantReadFile, read.problem().Text());
        return false;
    }
    FormHistory::WholeState before = Whole();
    m_caption = caption;
    LoadValues(read.values);
    m_view.ResetStatusLine();
    m_history.RecordReplaced(std::move(before));
    Notify(kChangeAll);
    return true;
}

bool FormModel::Load(const kvx::KvxValues& v) {
    if (TakesNoUserChange()) return false;
    FormHistory::WholeState before = Whole();
    LoadValues(v);
    m_history.RecordReplaced(std::move(before));
    Notify(kChangeAll);
    return true;
}

void FormModel::LoadValues(const kvx::KvxValues& v) {
    for (int i = 0; i < kOptionListCount; ++i) m_settings.SelectOption(i, v.optionSelections[i]);
    // A stored alignment byte beyond its range is held at the range's end.
    for (int i = 0; i < 4; ++i) m_settings.Alignment(i) = std::min<unsigned>(v.alignment[i], kAlignmentSpecs[i].maximum);
    // Byte 166 is read but not applied: the option flags are cleared below,
    // as after a read from the radio.
    SelectBandPlan(v.bandPlan);
    m_settings.m_nEmgChannel = v.emgChannel;
    const bool southAfrica = IsSouthAfrica();
    if (southAfrica) m_settings.m_nEmgChannel = LimitEmgChannel(m_settings.m_nEmgChannel);
    EnableSouthAfricaSetup(southAfrica);
    m_emgList.Clear();
    std::array<int, kChannelEnableCount> loaded{};
    for (int i = 0; i < kChannelEnableCount; ++i) loaded[i] = v.channelEnable[i] != 0 ? 1 : 0;
    m_settings.m_channels = v.records;
    m_settings.m_optionBlock = v.optionBlock;
    m_settings.m_dToneAFreq = v.toneA;
    m_settings.m_dToneBFreq = v.toneB;
    UnpackChannelTable(m_settings, m_cells);
    ApplyLoaded(loaded, true);
    MarkSaved();
}

bool FormModel::PrepareSave() {
    if (m_view.IsTableLocked()) return false;
    const Outcome<void> packed = PackChannelTable(m_settings, m_cells);
    if (!packed) {
        // Storing the records as they stand would save stale frequencies
        // while reporting success.
        Say(texts::kFrequencyRefused, packed.problem().Text());
        return false;
    }
    return true;
}

bool FormModel::SaveTo(const std::string& path) {
    // Save takes the band plan from Mode Select and the emergency channel
    // from what its list shows, not from the values behind them.
    const kvx::WriteResult written = kvx::WriteSettingsFile(path, SaveValues(m_settings));
    if (written.status != kvx::FileStatus::Ok) {
        Say(texts::kCantMakeFile, written.problem().Text());
        return false;
    }
    m_caption = std::string(texts::kCaption);
    m_history.SetCaption(m_caption);
    MarkSaved();
    m_view.ResetStatusLine();
    Notify(kChangeCaption);
    return true;
}

kvx::KvxValues FormModel::SaveValues(const RadioSettings& settings) const {
    kvx::KvxValues v = kvx::MakeKvxValues(settings);
    v.bandPlan = LowByte(m_modeSel);
    v.emgChannel = LowByte(EmgChannelForSave(*this));
    return v;
}

std::optional<kvx::KvxValues> FormModel::ValuesForSave() const {
    RadioSettings packed = m_settings;
    if (!PackChannelTable(packed, m_cells)) return std::nullopt;
    return SaveValues(packed);
}

// ---- The state as a whole ----------------------------------------------------

FormSnapshot FormModel::Snapshot() const {
    return {m_settings, m_cells, m_modeSel, m_emgList.Items(), m_emgList.Selection(), m_caption};
}

void FormModel::MarkSaved() { m_baseline = Snapshot(); }

bool FormModel::Restore(const FormSnapshot& state, const std::optional<FormSnapshot>& baseline) {
    if (TakesNoUserChange()) return false;
    Apply(state, baseline ? *baseline : m_baseline);
    return true;
}

void FormModel::Apply(const FormSnapshot& state, const FormSnapshot& baseline) {
    m_settings = state.settings;
    m_cells = state.cells;
    m_modeSel = state.modeSel;
    m_emgList.Assign(state.emgItems, state.emgSelection);
    m_caption = state.caption;
    m_view.EndCellEdit();
    m_bRebuildEmgList = false;
    m_view.EnableBandSection(true, IsSouthAfrica());
    m_baseline = baseline;
    Notify(kChangeAll);
}

// ---- What the history asks of the form ----------------------------------------

void FormModel::ApplyStep(const FormSnapshot& state, const FormSnapshot& baseline) {
    Apply(state, baseline);
    m_view.ResetStatusLine();
}

bool FormModel::FormIdle() const {
    // A write that has disabled the band section is starting: a step taken
    // now would enable it again and change what is about to be sent.
    return !m_view.IsTableLocked() && m_view.BandListEnabled();
}

void FormModel::TransferConfirmed(TransferDirection direction) {
    // A read a command took for itself left the form as it was: nothing
    // became saved, and there is nothing to keep as the radio's.
    if (direction == TransferDirection::Reading && !m_readTaken) return;
    if (direction == TransferDirection::Writing && m_sentState)
        m_baseline = *m_sentState;
    else
        MarkSaved();
    m_sentState.reset();
    Notify(kChangeSavedState);
    TellEach(m_observers, [direction](IFormObserver& o) { o.OnTransferConfirmed(direction); });
}

void FormModel::OnModeSelect(int sel) {
    if (TakesNoUserChange()) {
        // A new band plan clears the records and cells a transfer is
        // filling or sending; the list goes back to the plan in use.
        Notify(kChangeBandSection);
        return;
    }
    const UserChange change(*this);
    ResetToDefaults();
    m_cells.fill(std::string{});
    SelectBandPlan(sel);
    m_emgList.Clear();
    m_settings.b_CHcheck.fill(0);
    EnableSouthAfricaSetup(IsSouthAfrica());
    Notify(kChangeAll);
}

void FormModel::ClickChannelBox(int n) {
    if (n < 1 || n > kChannelEnableCount || !m_view.SouthAfricaSetupEnabled()) return;
    if (TakesNoUserChange()) {
        Notify(kChangeChannelFlags);  // the box shows its flag again
        return;
    }
    const UserChange change(*this);
    int& flag = m_settings.b_CHcheck[n - 1];
    flag = flag ? 0 : 1;
    // The list keeps its selection on its item: a click on another box
    // must not change the emergency channel the next write sends.
    const bool hadChoice = m_emgList.Selection() >= 0;
    ListChannelFlag(n);
    if (m_emgList.Selection() < 0) {
        m_emgList.Select(0);
        if (hadChoice) {
            std::string news(texts::kEmgChannelMovedFormat);
            news.replace(news.find("%s"), 2, ChannelCaption(n));
            std::string now = m_emgList.ShownText();
            if (m_emgList.Count() == 0)
                now = texts::kNoEmgChannel;
            else if (EmgChannelFromText(now) == 0)
                now = texts::kBlankEmgChannel;  // the five-space item sorts first
            news.replace(news.find("%s"), 2, now);
            m_view.SetStatusText(std::move(news));
        }
    }
    Notify(kChangeChannelFlags | kChangeEmgList);
}

void FormModel::ListChannelFlag(int n) {
    const std::string_view text = ChannelCaption(n);
    if (m_settings.b_CHcheck[n - 1])
        m_emgList.Add(text);
    else
        m_emgList.DeleteByPrefix(text);
}

void FormModel::OnChannelCheck(int n) {
    ListChannelFlag(n);
    m_emgList.Select(0);
    Notify(kChangeChannelFlags | kChangeEmgList);
}

void FormModel::RebuildEmgChannelList() {
    if (!m_bRebuildEmgList) return;
    m_bRebuildEmgList = false;
    m_emgList.Clear();
    for (int n = 1; n <= kChannelEnableCount; ++n) OnChannelCheck(n);
    if (IsSouthAfrica()) {
        m_settings.m_nEmgChannel = LimitEmgChannel(m_settings.m_nEmgChannel);
        const std::string_view text = EMG_CHANNEL_NAMES[m_settings.m_nEmgChannel];
        const int last = m_emgList.DeleteExact(text);
        m_emgList.Add(text);
        m_emgList.Select(last < 0 ? 0 : last);
    }
    Notify(kChangeEmgList);
}

void FormModel::ApplyLoaded(const std::array<int, kChannelEnableCount>& loaded, bool rebuildEmgList) {
    m_settings.b_CHcheck = loaded;
    m_settings.ClearOptionFlags();
    if (rebuildEmgList) m_bRebuildEmgList = true;
    RebuildEmgChannelList();
    Notify(kChangeChannelFlags | kChangeHidden);
}

void FormModel::ApplyRecordBandPlan(std::uint8_t bandPlan, std::uint8_t emgChannel) {
    SelectBandPlan(bandPlan);
    m_settings.m_nEmgChannel = emgChannel;
    EnableSouthAfricaSetup(IsSouthAfrica());
    m_bRebuildEmgList = true;
    RebuildEmgChannelList();
}

void FormModel::EnableFormControls(bool enable) { m_view.EnableBandSection(enable, IsSouthAfrica()); }

void FormModel::EnableSouthAfricaSetup(bool enable) { m_view.EnableBandSection(m_view.BandListEnabled(), enable); }

std::optional<UserMessage> FormModel::WriteRefusal() const {
    // No band plan: its byte would go out as 0xFF and the slot numbers of
    // every block would be made up.
    if (m_modeSel < 0)
        return UserMessage{std::string(texts::kNoBandPlan), std::string(texts::kNoBandPlanDetail), MsgIcon::Stop,
                           MsgButtons::Ok};
    if (IsSouthAfrica() && m_emgList.Count() == 0)
        return UserMessage{std::string(texts::kEmgChannelCheck), {}, MsgIcon::None, MsgButtons::Ok};
    return std::nullopt;
}

void FormModel::FindEmgIndex() {
    if (!IsSouthAfrica()) return;
    m_settings.m_nEmgChannel = LowByte(EmgChannelFromText(m_emgList.ShownText()));
}

// ---- What a transfer stores and takes ---------------------------------------

void FormModel::OnTransferEvent(const TransferEvent& event) {
    switch (event.kind) {
        case TransferEvent::Kind::NotStarted: EnableFormControls(true); return;
        case TransferEvent::Kind::Started:
            m_readTaken = false;
            m_view.SetLocked(true);
            return;
        case TransferEvent::Kind::Progress: m_view.SetProgress(event.channels); return;
        case TransferEvent::Kind::Ended:
            m_view.SetLocked(false);
            EnableFormControls(true);
            return;
        case TransferEvent::Kind::Confirmed: TransferConfirmed(event.direction); return;
        case TransferEvent::Kind::PortShown: m_view.SetPortPaneText(event.portPane); return;
    }
}

void FormModel::ApplyReadImage(const ReadImage& image) {
    // The radio's settings replace the form as a whole, as one step Undo
    // takes back to the form the user had when the read began.
    FormHistory::WholeState before = Whole();
    m_readTaken = true;
    for (int i = 0; i < kChannelCount; ++i) {
        const std::vector<std::uint8_t>& bytes = image.records[i];
        if (bytes.empty()) continue;
        ChannelEntry& record = m_settings.m_channels[i];
        auto stored = record.ToBytes();  // fewer bytes keep the rest of the record
        std::copy_n(bytes.begin(), std::min(bytes.size(), stored.size()), stored.begin());
        record = ChannelEntry::FromBytes(stored);
    }
    ApplyLoaded(image.flags, false);
    // Each record names its row; the last one decides the band plan and the
    // emergency channel.
    for (const ChannelEntry& record : m_settings.m_channels) {
        const DecodedRecord d = DecodeRecord(record);
        if (d.row >= 1 && d.row <= kChannelCount) m_cells[d.row - 1] = d.cellText;
        ApplyRecordBandPlan(d.bandPlan, d.emgChannel);
    }
    m_history.RecordReplaced(std::move(before));
    Notify(kChangeAll);
}

bool FormModel::MayWrite() {
    if (const std::optional<UserMessage> refusal = WriteRefusal()) {
        // The band section is off while the refusal is up, as while a write runs.
        if (m_modeSel >= 0) EnableFormControls(false);
        m_routed.Show(*refusal);
        EnableFormControls(true);
        return false;
    }
    // Mode Select, the boxes and the list hold what the radio is about to get.
    m_view.EnableBandSection(false, false);
    return true;
}

WriteImage FormModel::TakeWriteImage() {
    FindEmgIndex();
    // What the radio gets: an edit made once the table unlocks, before the
    // write is confirmed, is not part of it.
    m_sentState = Snapshot();
    WriteImage image;
    for (int row = 1; row <= kChannelCount; ++row) image.cells[row - 1] = m_cells[row - 1];
    image.bandPlan = m_settings.m_nBandPlan;
    image.emgChannel = m_settings.m_nEmgChannel;
    if (IsSouthAfrica()) image.flags = m_settings.b_CHcheck;
    return image;
}

}  // namespace orvex
