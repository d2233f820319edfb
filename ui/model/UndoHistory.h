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

class UndoHistory {
public:
    explicit UndoHistory(std::size_t limit = kUndoStepLimit) : m_limit(limit) {}

    // A change was made to the form that was in state before: it becomes
    // the newest step, and what had been undone can no longer be redone.
    void Record(FormSnapshot before);
    bool CanUndo() const { return !m_undo.empty(); }
    bool CanRedo() const { return !m_redo.empty(); }
    // The state to go back to; current becomes what Redo brings back.
    // None when there is nothing to undo.
    std::optional<FormSnapshot> Undo(FormSnapshot current);
    // The state undone last; current becomes what Undo brings back.
    std::optional<FormSnapshot> Redo(FormSnapshot current);
    void Clear();
    // Every kept state takes this caption: saving names the form anew
    // without changing it, and going back must not bring the old name back.
    void SetCaption(const std::string& caption);
    std::size_t UndoCount() const { return m_undo.size(); }
    std::size_t RedoCount() const { return m_redo.size(); }

private:
    void Push(std::deque<FormSnapshot>& steps, FormSnapshot state);

    std::size_t m_limit;
    std::deque<FormSnapshot> m_undo;  // newest at the back
    std::deque<FormSnapshot> m_redo;
};

}  // namespace orvex
