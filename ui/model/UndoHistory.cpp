#include "ui/model/UndoHistory.h"

#include <utility>

namespace orvex {

void UndoHistory::Push(std::deque<UndoStep>& steps, UndoStep step) {
    if (m_limit == 0) return;
    steps.push_back(std::move(step));
    while (steps.size() > m_limit) steps.pop_front();
}

void UndoHistory::Record(UndoStep before) {
    Push(m_undo, std::move(before));
    m_redo.clear();
}

std::optional<UndoStep> UndoHistory::Move(std::deque<UndoStep>& from, std::deque<UndoStep>& to, FormSnapshot current,
                                          const FormSnapshot& currentBaseline) {
    if (from.empty()) return std::nullopt;
    UndoStep step = std::move(from.back());
    from.pop_back();
    std::optional<FormSnapshot> baseline;
    if (step.baseline) baseline = currentBaseline;
    Push(to, {std::move(current), std::move(baseline)});
    return step;
}

std::optional<UndoStep> UndoHistory::Undo(FormSnapshot current, const FormSnapshot& currentBaseline) {
    return Move(m_undo, m_redo, std::move(current), currentBaseline);
}

std::optional<UndoStep> UndoHistory::Redo(FormSnapshot current, const FormSnapshot& currentBaseline) {
    return Move(m_redo, m_undo, std::move(current), currentBaseline);
}

void UndoHistory::SetCaption(const std::string& caption) {
    for (std::deque<UndoStep>* steps : {&m_undo, &m_redo})
        for (auto it = steps->rbegin(); it != steps->rend() && !it->baseline; ++it) it->state.caption = caption;
}

void UndoHistory::Clear() {
    m_undo.clear();
    m_redo.clear();
}

}  // namespace orvex
