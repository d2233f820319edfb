#pragma once
// Everything the main form shows and holds, and the operations on it,
// without any toolkit. The GUI is a view over this model and the CLI drives
// it directly, so both produce the same files and the same radio bytes.
#include <array>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/TransferForm.h"
#include "settings/QMDataMng.h"
#include "settings/RadioSettings.h"
#include "settings/UserMessage.h"
#include "files/SettingsFile.h"
#include "ui/model/EmgChannelList.h"
#include "ui/model/FormSnapshot.h"
#include "ui/model/UndoHistory.h"

namespace orvex {

// The channel table's column of frequencies, the one the user edits.
inline constexpr int kFrequencyColumn = 2;

// What changed, for a view to refresh only that.
enum FormChange : unsigned {
    kChangeCells = 1u << 0,
    kChangeBandSection = 1u << 1,  // Mode Select, section enabling
    kChangeChannelFlags = 1u << 2,
    kChangeEmgList = 1u << 3,
    kChangeCaption = 1u << 4,
    kChangeStatus = 1u << 5,
    kChangeProgress = 1u << 6,
    kChangeTableLock = 1u << 7,
    kChangeHidden = 1u << 8,  // option selections, option flags, alignment
    kChangeSavedState = 1u << 9,  // what counts as saved: the form was written to the radio
    kChangeHistory = 1u << 10,    // what Undo and Redo can do
    kChangeReplacedEdits = 1u << 11,  // unsaved edits were replaced as a whole: see TakeReplacedEdits
    kChangeAll = ~0u,
};

class IFormObserver {
public:
    virtual ~IFormObserver() = default;
    virtual void OnFormChanged(unsigned changes) = 0;
};

// Hears of transfers the radio confirmed, once the form holds their result.
class ITransferResultListener {
public:
    virtual ~ITransferResultListener() = default;
    virtual void OnTransferConfirmed(TransferDirection direction) = 0;
};

// Sees every message before the user does, while a command that runs
// several transfers as one owns them: it answers (the message is then not
// shown) or passes it on.
using MessageFilter = std::function<std::optional<MsgAnswer>(const UserMessage&)>;

class FormModel : public ITransferForm {
public:
    explicit FormModel(IPrompter& prompter);

    // Views follow the model through observers; any number may watch.
    void AddObserver(IFormObserver* observer);
    void RemoveObserver(IFormObserver* observer);
    void AddResultListener(ITransferResultListener* listener);
    void RemoveResultListener(ITransferResultListener* listener);
    // Every message of the form and the link goes through here.
    IPrompter& Prompter() override { return m_routed; }
    // One filter at a time; an empty one ends filtering.
    void SetMessageFilter(MessageFilter filter) { m_routed.filter = std::move(filter); }

    // ---- Values -------------------------------------------------------
    // SetCellText, SelectModeEntry, SelectEmgItem, OnModeSelect and
    // ClickChannelBox are the user's changes: each is a step of the undo
    // history, unless it is part of a larger UserChange.
    const RadioSettings& Settings() const { return m_settings; }

    // Frequency cell of row 1..10; row 0 is the title row, whose text reads
    // as an empty frequency. Other rows read as empty and are not written.
    std::string CellText(int row) const;
    void SetCellText(int row, std::string text);
    const ChannelCells& Cells() const { return m_cells; }

    // "Mode Select": selection 0..4 or -1.
    int ModeSelection() const { return m_modeSel; }
    // Selects an entry as the list would: beyond the list means none.
    void SelectModeEntry(int index);

    const EmgChannelList& EmgList() const { return m_emgList; }
    // The user picked item index of the "Emg Channel" list.
    void SelectEmgItem(int index);

    // Channel box n (1..23).
    bool ChannelFlag(int n) const { return m_settings.b_CHcheck.at(n - 1) != 0; }

    bool BandListEnabled() const { return m_bandListEnabled; }
    bool SouthAfricaSetupEnabled() const { return m_southAfricaEnabled; }

    const std::string& Caption() const { return m_caption; }
    const std::string& FileNameMember() const { return m_fileName; }
    const std::string& StatusText() const { return m_status; }
    void SetStatusText(std::string text) override;
    int Progress() const { return m_progress; }
    void SetProgress(int position);
    const std::string& PortPaneText() const { return m_portPane; }
    void SetPortPaneText(std::string text);

    // The byte Save stores as the emergency channel.
    int EmgChannelForSave() const;

    // ---- The table: lock, edits, the column shown ------------------------
    bool IsTableLocked() const override { return m_bTransferBusy; }
    void LockChannelTable();
    void UnlockChannelTable();
    // A cell edit starts (ignored while the table is locked) or ends.
    void BeginCellEdit();
    void EndCellEdit() { m_bEditPending = false; }
    bool EditPending() const { return m_bEditPending; }
    bool TakeEditPending() override;
    // Column of the last selection notification; -1 before the first.
    int CurrentColumn() const { return m_nCurCol; }
    // A cell of column was selected: the status line shows its hint.
    void SelectColumn(int column);

    // ---- The state as a whole ----------------------------------------------
    FormSnapshot Snapshot() const;
    // The state last opened, saved, read, written or made new.
    const FormSnapshot& Baseline() const { return m_baseline; }
    bool HasUnsavedEdits() const { return Snapshot() != m_baseline; }
    // Brings a state back exactly; refused while a transfer runs. The
    // second form also says which state counts as saved. Not a step of the
    // history by itself: inside a UserChange it is one.
    bool Restore(const FormSnapshot& state);
    bool Restore(const FormSnapshot& state, const FormSnapshot& baseline);
    // The values Save would write now, without any of Save's effects on the
    // form; none when a cell cannot be stored.
    std::optional<kvx::KvxValues> ValuesForSave() const;

    // ---- Undo and redo -----------------------------------------------------
    // Every change made while one of these lives is one step, recorded when
    // the outermost ends, and only if the form then differs. Scopes nest, so
    // a command made of several calls (a paste, an import) is undone at once.
    class UserChange {
    public:
        explicit UserChange(FormModel& form) : m_form(form) { m_form.BeginUserChange(); }
        ~UserChange() { m_form.EndUserChange(); }
        UserChange(const UserChange&) = delete;
        UserChange& operator=(const UserChange&) = delete;

    private:
        FormModel& m_form;
    };
    void BeginUserChange();
    void EndUserChange();
    // Refused while a transfer runs, while the history is held and inside a
    // UserChange. What is saved stays as it was: undoing back to the saved
    // state leaves nothing unsaved.
    bool CanUndo() const;
    bool CanRedo() const;
    bool Undo();
    bool Redo();
    // For a command that takes the form through transfers and gives it back
    // as it found it (Write and Verify): while held, its reads start no new
    // history and nothing is recorded, undone or redone.
    void HoldHistory(bool hold);
    bool HistoryHeld() const { return m_historyHeld; }

    // ---- Operations ----------------------------------------------------
    // The values the form has once started.
    void StartUp();

    // New, a successful Open or Load and a completed read replace the form
    // without a question, each as one undo step that brings back the form
    // as it was, saved or not; unsaved edits they replaced are also offered
    // through TakeReplacedEdits, for keeping where Undo cannot reach.
    // New. Does nothing while a transfer runs.
    bool New();
    // Open and Save of a named file (the dialogs are the front end's).
    bool Open(const std::string& path);
    // Takes values as Open takes a file's, keeping the caption: what an
    // import brings in is then saved exactly as an opened file would be.
    bool Load(const kvx::KvxValues& values);
    // Everything Save does before its dialog: false when the table cannot
    // be stored (a message has been shown) or a transfer runs.
    bool PrepareSave();
    bool SaveTo(const std::string& path);
    bool Save(const std::string& path) { return PrepareSave() && SaveTo(path); }

    // The user chose entry sel of Mode Select; refused while a transfer
    // runs (observers are told, so a list can show the plan in use again).
    void OnModeSelect(int sel);
    // The user clicked channel box n: its state flips, then the handler
    // runs. The emergency channel stays as chosen unless its own box was
    // cleared; the status line then names the one now selected.
    void ClickChannelBox(int n);
    // Unsaved edits the last New, Open, Load or read replaced, once.
    std::optional<FormSnapshot> TakeReplacedEdits();
    // A standing notice (edits waiting to be brought back, edits that are
    // not being kept) that the status line shows again where a command's
    // news gives way; empty for the range hint.
    void SetStatusNotice(std::string text) { m_statusNotice = std::move(text); }

    void EnableFormControls(bool enable);
    // Write's own disabling of Mode Select, the list and the boxes.
    void DisableBandSectionForWrite();
    // False (and said why) when South Africa has no emergency channel.
    bool CheckEmgChannelForWrite();
    // South Africa with no emergency channel to send: the check above would refuse.
    bool EmgChannelMissingForWrite() const { return IsSouthAfrica() && m_emgList.Count() == 0; }

    // ---- What a transfer tells, brings and takes ---------------------------
    void OnTransferEvent(const TransferEvent& event) override;
    void ApplyReadImage(const ReadImage& image) override;
    // A write needs a band plan selected.
    bool HasBandPlan() const { return m_modeSel >= 0; }
    bool MayWrite() override;
    WriteImage TakeWriteImage() override;

    void ShowColumnHintAfter(const std::string& searchText) override;
    // A transfer ran to its end and the radio confirmed all of it: after a
    // read the form holds the radio's settings; after a write the radio
    // holds the form's.
    void TransferConfirmed(TransferDirection direction);

private:
    // The message seam with the filter in front of it.
    struct RoutedPrompter : IPrompter {
        explicit RoutedPrompter(IPrompter& target) : target(target) {}
        MsgAnswer Show(const UserMessage& message) override;
        IPrompter& target;
        MessageFilter filter;
    };
    // The form with what counts as saved in it.
    struct WholeState {
        FormSnapshot state;
        FormSnapshot baseline;
        bool operator==(const WholeState&) const = default;
    };
    WholeState Whole() const;
    // The form was replaced as a whole; before is what it was.
    void RecordReplaced(WholeState before);
    void ApplyStep(const UndoStep& step);
    // The status line's hint for the focus column, in place of news that
    // belonged to the form before.
    void ResetStatusLine();
    void LoadValues(const kvx::KvxValues& values);
    // The current state becomes the saved one.
    void MarkSaved();
    // What Save writes for these settings with the form's selections.
    kvx::KvxValues SaveValues(const RadioSettings& settings) const;

    void Notify(unsigned changes);
    // The form as state, without the checks of the public Restore.
    void Apply(const FormSnapshot& state, const FormSnapshot& baseline);
    void StartNewHistory();
    MsgAnswer Say(std::string_view text, std::string detail = {}, MsgIcon icon = MsgIcon::Stop);
    void ResetToDefaults();
    // Mode Select and the band plan behind it: the one place both change.
    void SelectBandPlan(int plan);
    bool IsSouthAfrica() const { return m_settings.m_nBandPlan == kBandPlanSouthAfrica; }
    // Box n's caption into or out of the emergency list.
    void ListChannelFlag(int n);
    // As a loader rebuilds the list: the first item becomes the selection.
    void OnChannelCheck(int n);
    // Undo and Redo may act: no transfer, none starting, no change open.
    bool HistoryMayMove() const;
    void RebuildEmgChannelList();
    // Puts flags loaded from a file or the radio into the boxes and clears
    // the option flags; rebuilds the emergency list if a loader asked.
    void ApplyLoaded(const std::array<int, kChannelEnableCount>& loaded, bool rebuildEmgList);
    // Band plan and emergency channel of one received record.
    void ApplyRecordBandPlan(std::uint8_t bandPlan, std::uint8_t emgChannel);
    void EnableSouthAfricaSetup(bool enable);
    // The emergency channel a write sends with band plan 3.
    void FindEmgIndex();
    void ShowColumnHint();

    RoutedPrompter m_routed;
    std::vector<IFormObserver*> m_observers;
    std::vector<ITransferResultListener*> m_resultListeners;
    FormSnapshot m_baseline;
    std::optional<FormSnapshot> m_sentState;  // the state the running write sends
    std::optional<FormSnapshot> m_replacedEdits;

    RadioSettings m_settings;
    ChannelCells m_cells;
    int m_modeSel = 0;
    EmgChannelList m_emgList;
    bool m_bandListEnabled = true;
    bool m_southAfricaEnabled = true;
    bool m_bRebuildEmgList = false;
    bool m_bTransferBusy = false;
    bool m_bEditPending = false;
    int m_nCurCol = -1;

    std::string m_caption;
    std::string m_fileName;
    std::string m_status;
    std::string m_portPane;
    std::string m_statusNotice;
    int m_progress = 0;

    UndoHistory m_history;
    int m_changeDepth = 0;
    FormSnapshot m_changeBefore;  // the form when the outermost UserChange began
    unsigned m_historyGeneration = 0;  // a new history while a UserChange runs drops it
    unsigned m_changeGeneration = 0;
    bool m_historyHeld = false;
};

}  // namespace orvex
