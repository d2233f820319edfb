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
#include "ui/model/FormHistory.h"
#include "ui/model/FormSnapshot.h"
#include "ui/model/FormView.h"

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

// Hears of the form's changes and of the transfers the radio confirmed, once
// the form holds their result; any number may watch.
class IFormObserver {
public:
    virtual ~IFormObserver() = default;
    virtual void OnFormChanged(unsigned /*changes*/) {}
    virtual void OnTransferConfirmed(TransferDirection /*direction*/) {}
};

// Sees every message before the user does, while a command that runs
// several transfers as one owns them: it answers (the message is then not
// shown) or passes it on.
using MessageFilter = std::function<std::optional<MsgAnswer>(const UserMessage&)>;

// The one way the form's and the link's messages reach the user.
class MessageRoute : public IPrompter {
public:
    explicit MessageRoute(IPrompter& target) : m_target(target) {}
    MsgAnswer Show(const UserMessage& message) override;
    // One filter at a time; an empty one ends filtering.
    void SetFilter(MessageFilter filter) { m_filter = std::move(filter); }

private:
    IPrompter& m_target;
    MessageFilter m_filter;
};

// The document: the values behind the form, what counts as saved, the undo
// history, and opening and saving them. The view state beside it is View();
// the link reaches the form only through ITransferForm.
class FormModel : public ITransferForm, private IHistoryHost {
public:
    explicit FormModel(IPrompter& prompter);

    void AddObserver(IFormObserver* observer);
    void RemoveObserver(IFormObserver* observer);
    // Every message of the form and the link goes through here.
    MessageRoute& Messages() { return m_routed; }
    const FormView& View() const { return m_view; }
    FormView& View() { return m_view; }
    const FormHistory& History() const { return m_history; }
    FormHistory& History() { return m_history; }

    // ---- Values -------------------------------------------------------
    // SetCellText, SelectModeEntry, SelectEmgItem, OnModeSelect and
    // ClickChannelBox are the user's changes: each is a step of the undo
    // history, unless it is part of a larger UserChange.
    const RadioSettings& Settings() const { return m_settings; }
    void SetCellText(int row, std::string text);
    const ChannelCells& Cells() const { return m_cells; }
    // "Mode Select": selection 0..4 or -1.
    int ModeSelection() const { return m_modeSel; }
    // Selects an entry as the list would: beyond the list means none.
    void SelectModeEntry(int index);
    const EmgChannelList& EmgList() const { return m_emgList; }
    // The user picked item index of the "Emg Channel" list.
    void SelectEmgItem(int index);
    const std::string& Caption() const { return m_caption; }

    // ---- The state as a whole ----------------------------------------------
    FormSnapshot Snapshot() const override;
    // The state last opened, saved, read, written or made new.
    const FormSnapshot& Baseline() const override { return m_baseline; }
    // Brings a state back exactly, with what counts as saved (by default
    // what counts now); refused while a transfer runs or a command holds
    // the form (see TakesNoUserChange). Not a step of the history by
    // itself: inside a UserChange it is one.
    bool Restore(const FormSnapshot& state, const std::optional<FormSnapshot>& baseline = std::nullopt);
    // The values Save would write now, without any of Save's effects on the
    // form; none when a cell cannot be stored.
    std::optional<kvx::KvxValues> ValuesForSave() const;

    // Every change made while one of these lives is one step, recorded when
    // the outermost ends, and only if the form then differs. Scopes nest, so
    // a command made of several calls (a paste, an import) is undone at once.
    class UserChange {
    public:
        explicit UserChange(FormModel& form) : m_form(form) { m_form.m_history.BeginChange(); }
        ~UserChange() { m_form.m_history.EndChange(); }
        UserChange(const UserChange&) = delete;
        UserChange& operator=(const UserChange&) = delete;

    private:
        FormModel& m_form;
    };

    // ---- Operations ----------------------------------------------------
    // The values the form has once started.
    void StartUp();
    // New, a successful Open or Load and a completed read replace the form
    // without a question, each as one undo step that brings back the form
    // as it was, saved or not; unsaved edits they replaced are also offered
    // through the history's TakeReplacedEdits, for keeping where Undo cannot
    // reach. New does nothing while a transfer runs or a command holds the
    // form.
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
    // The user chose entry sel of Mode Select; refused while a transfer or a
    // holding command runs (observers are told, so a list can show the plan
    // in use again).
    void OnModeSelect(int sel);
    // The user clicked channel box n: its state flips, then the handler
    // runs. The emergency channel stays as chosen unless its own box was
    // cleared; the status line then names the one now selected.
    void ClickChannelBox(int n);
    // Why a write of the form would be refused before any byte is sent, as
    // the write itself says it; none when it may go ahead.
    std::optional<UserMessage> WriteRefusal() const;

private:
    // ---- What a transfer tells, brings and takes ---------------------------
    IPrompter& Prompter() override { return m_routed; }
    bool IsTableLocked() const override { return m_view.IsTableLocked(); }
    bool TakeEditPending() override { return m_view.TakeEditPending(); }
    void SetStatusText(std::string text) override { m_view.SetStatusText(std::move(text)); }
    void ShowColumnHintAfter(const std::string& searchText) override { m_view.ShowColumnHintAfter(searchText); }
    void OnTransferEvent(const TransferEvent& event) override;
    void ApplyReadImage(const ReadImage& image) override;
    bool MayWrite() override;
    WriteImage TakeWriteImage() override;
    // A transfer ran to its end and the radio confirmed all of it: after a
    // read the form holds the radio's settings; after a write the radio
    // holds the form's.
    void TransferConfirmed(TransferDirection direction);

    // ---- What the history asks of the form ----------------------------------
    void ApplyStep(const FormSnapshot& state, const FormSnapshot& baseline) override;
    bool FormIdle() const override;
    void Notify(unsigned changes) override;

    // While a transfer runs, or a command holds the form between its
    // transfers (Write and Verify's steps), the values take no change from
    // outside: it would be written unasked, or compared with what the radio
    // gives back as if it had been written.
    bool TakesNoUserChange() const { return m_view.IsTableLocked() || m_history.Held(); }
    FormHistory::WholeState Whole() const { return {Snapshot(), m_baseline}; }
    void LoadValues(const kvx::KvxValues& values);
    // The current state becomes the saved one.
    void MarkSaved();
    // What Save writes for these settings with the form's selections.
    kvx::KvxValues SaveValues(const RadioSettings& settings) const;
    // The form as state, without the checks of the public Restore.
    void Apply(const FormSnapshot& state, const FormSnapshot& baseline);
    MsgAnswer Say(std::string_view text, std::string detail = {}, MsgIcon icon = MsgIcon::Stop);
    void ResetToDefaults();
    // Mode Select and the band plan behind it: the one place both change.
    void SelectBandPlan(int plan);
    bool IsSouthAfrica() const { return m_settings.m_nBandPlan == kBandPlanSouthAfrica; }
    // Box n's caption into or out of the emergency list.
    void ListChannelFlag(int n);
    // As a loader rebuilds the list: the first item becomes the selection.
    void OnChannelCheck(int n);
    void RebuildEmgChannelList();
    // Puts flags loaded from a file or the radio into the boxes and clears
    // the option flags; rebuilds the emergency list if a loader asked.
    void ApplyLoaded(const std::array<int, kChannelEnableCount>& loaded, bool rebuildEmgList);
    // Band plan and emergency channel of one received record.
    void ApplyRecordBandPlan(std::uint8_t bandPlan, std::uint8_t emgChannel);
    // Mode Select and the list on or off; the boxes follow the band plan.
    void EnableFormControls(bool enable);
    void EnableSouthAfricaSetup(bool enable);
    // The emergency channel a write sends with band plan 3.
    void FindEmgIndex();

    MessageRoute m_routed;
    std::vector<IFormObserver*> m_observers;
    FormView m_view;
    FormHistory m_history;
    FormSnapshot m_baseline;
    std::optional<FormSnapshot> m_sentState;  // the state the running write sends
    bool m_readTaken = false;  // the running read's image came to the form

    RadioSettings m_settings;
    ChannelCells m_cells;
    int m_modeSel = 0;
    EmgChannelList m_emgList;
    bool m_bRebuildEmgList = false;
    std::string m_caption;
};

// Derived from the form's values, for front ends and reports.
// Frequency cell of row 1..10; row 0 is the title row, whose text reads as
// an empty frequency. Other rows read as empty and are not written.
std::string CellText(const FormModel& form, int row);
// Box n (1..23) is checked.
bool ChannelFlag(const FormModel& form, int n);
// The form differs from what was last opened, saved, read, written or made new.
bool HasUnsavedEdits(const FormModel& form);
// The byte Save stores as the emergency channel.
int EmgChannelForSave(const FormModel& form);
// Save without a dialog: PrepareSave, then SaveTo.
bool Save(FormModel& form, const std::string& path);

}  // namespace orvex
