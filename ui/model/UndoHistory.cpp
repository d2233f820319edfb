#include "ui/model/UndoHistory.h"

#include <utility>

namespace orvex {

void UndoHistory::Push(std::deque<FormSnapshot>& steps, FormSnapshot state) {
    if (m_limit == 0) return;
    steps.push_back(std::move(state));
    while (steps.size() > m_limit) steps.pop_front();
}

void UndoHistory::Record(FormSnapshot before) {
    Push(m_undo, std::move(before));
    m_redo.clear();
}

std::optional<FormSnapshot> UndoHistory::Undo(FormSnapshot current) {
    if (m_undo.empty()) return std::nullopt;
    FormSnapshot back = std::move(m_undo.back());
    m_undo.pop_back();
    Push(m_redo, std::move(current));
    return back;
}

std::optional<FormSnapshot> UndoHistory::Redo(FormSnapshot current) {
    if (m_redo.empty()) return std::nullopt;
    FormSnapshot again = std::move(m_redo.back());
    m_redo.pop_back();
    Push(m_undo, std::move(current));
    return again;
}

void UndoHistory::SetCaption(const std::string& caption) {
    for (std::deque<FormSnapshot>* steps : {&m_undo, &m_redo})
        for (FormSnapshot& state : *steps) state.caption = caption;
}

void UndoHistory::Clear() {
    m_undo.clear();
    m_redo.clear();
}

}  // namespace orvex
