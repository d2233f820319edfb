#pragma once
// The form's undo and redo: the user's changes as steps between whole
// states, and the edits a New, Open or read replaced, kept aside once. The
// form model records into it; front ends move through it.
#include <optional>

#include "ui/model/FormSnapshot.h"
#include "ui/model/UndoHistory.h"

namespace orvex {

// The form as the history sees it.
class IHistoryHost {
public:
    virtual ~IHistoryHost() = default;
    virtual FormSnapshot Snapshot() const = 0;
    virtual const FormSnapshot& Baseline() const = 0;
    // Puts a step's state back, with what then counts as saved.
    virtual void ApplyStep(const FormSnapshot& state, const FormSnapshot& baseline) = 0;
    // No transfer holds the form, none is about to send it.
    virtual bool FormIdle() const = 0;
    virtual void Notify(unsigned changes) = 0;
};

class FormHistory {
public:
    // The form with what counts as saved in it.
    struct WholeState {
        FormSnapshot state;
        FormSnapshot baseline;
        bool operator==(const WholeState&) const = default;
    };

    explicit FormHistory(IHistoryHost& host) : m_host(host) {}

    // Refused while a transfer runs, while the history is held and inside a
    // change. What is saved stays as it was: undoing back to the saved
    // state leaves nothing unsaved.
    bool CanUndo() const { return MayMove() && m_steps.CanUndo(); }
    bool CanRedo() const { return MayMove() && m_steps.CanRedo(); }
    bool Undo();
    bool Redo();
    // For a command that takes the form through transfers and gives it back
    // as it found it: while held, nothing is recorded, undone or redone, and
    // the form takes none of the user's changes.
    void Hold(bool hold);
    bool Held() const { return m_held; }
    // Unsaved edits the last New, Open, Load or read replaced, once.
    std::optional<FormSnapshot> TakeReplacedEdits();

    // ---- What the form records -------------------------------------------
    // Every change between the outermost Begin and End is one step,
    // recorded only if the form then differs.
    void BeginChange();
    void EndChange();
    // The form was replaced as a whole; before is what it was.
    void RecordReplaced(WholeState before);
    // A history of its own for a form started anew.
    void StartNew();
    // The states of the form as it now is take this caption (see UndoHistory).
    void SetCaption(const std::string& caption) { m_steps.SetCaption(caption); }

private:
    bool MayMove() const { return m_host.FormIdle() && !m_held && m_depth == 0; }
    void Apply(const UndoStep& step);

    IHistoryHost& m_host;
    UndoHistory m_steps;
    std::optional<FormSnapshot> m_replacedEdits;
    int m_depth = 0;
    FormSnapshot m_before;  // the form when the outermost change began
    unsigned m_generation = 0;  // a new history while a change runs drops it
    unsigned m_changeGeneration = 0;
    bool m_held = false;
};

}  // namespace orvex
