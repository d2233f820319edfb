#pragma once
// The user's changes to the form as states to go back and forth between:
// each step keeps the whole form as it was before the change, so undoing
// brings that state back exactly, whatever the change touched.
#include <cstddef>
#include <deque>
#include <optional>
#include <string>

#include "ui/model/FormSnapshot.h"

namespace orvex {

// Steps kept; the oldest goes first once there are more.
inline constexpr std::size_t kUndoStepLimit = 200;

struct UndoStep {
    FormSnapshot state;
    // Set where the step replaced the whole form (New, Open, a read): what
    // counted as saved then comes back with the state, so edits that were
    // unsaved before are unsaved again.
    std::optional<FormSnapshot> baseline;
};

class UndoHistory {
public:
    explicit UndoHistory(std::size_t limit = kUndoStepLimit) : m_limit(limit) {}

    // A change was made to the form that was in state before: it becomes
    // the newest step, and what had been undone can no longer be redone.
    void Record(UndoStep before);
    bool CanUndo() const { return !m_undo.empty(); }
    bool CanRedo() const { return !m_redo.empty(); }
    // The step to go back to; current (with the baseline it has, which is
    // kept only where the step replaced the form) becomes what Redo brings
    // back. None when there is nothing to undo.
    std::optional<UndoStep> Undo(FormSnapshot current, const FormSnapshot& currentBaseline);
    // The step undone last; current becomes what Undo brings back.
    std::optional<UndoStep> Redo(FormSnapshot current, const FormSnapshot& currentBaseline);
    void Clear();
    // The states of the form as it now is take this caption: saving names
    // the form anew without changing it, and going back must not bring the
    // old name back. States beyond a step that replaced the form belong to
    // another file and keep theirs.
    void SetCaption(const std::string& caption);
    std::size_t UndoCount() const { return m_undo.size(); }
    std::size_t RedoCount() const { return m_redo.size(); }

private:
    void Push(std::deque<UndoStep>& steps, UndoStep step);
    std::optional<UndoStep> Move(std::deque<UndoStep>& from, std::deque<UndoStep>& to, FormSnapshot current,
                                 const FormSnapshot& currentBaseline);

    std::size_t m_limit;
    std::deque<UndoStep> m_undo;  // newest at the back
    std::deque<UndoStep> m_redo;
};

}  // namespace orvex
