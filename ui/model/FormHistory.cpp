#include "ui/model/FormHistory.h"

#include "ui/model/FormModel.h"

namespace orvex {

bool FormHistory::Undo() {
    if (!CanUndo()) return false;
    Apply(*m_steps.Undo(m_host.Snapshot(), m_host.Baseline()));
    return true;
}

bool FormHistory::Redo() {
    if (!CanRedo()) return false;
    Apply(*m_steps.Redo(m_host.Snapshot(), m_host.Baseline()));
    return true;
}

void FormHistory::Apply(const UndoStep& step) {
    // Going over a New, Open or read again replaces the form as they did:
    // edits it leaves behind go aside as theirs did.
    std::optional<FormSnapshot> replaced;
    if (step.baseline) {
        FormSnapshot now = m_host.Snapshot();
        if (now != m_host.Baseline()) replaced = std::move(now);
    }
    m_host.ApplyStep(step.state, step.baseline ? *step.baseline : m_host.Baseline());
    if (replaced) {
        m_replacedEdits = std::move(replaced);
        m_host.Notify(kChangeReplacedEdits);
    }
}

void FormHistory::BeginChange() {
    if (m_depth++ > 0) return;
    m_before = m_host.Snapshot();
    m_changeGeneration = m_generation;
}

void FormHistory::EndChange() {
    if (m_depth == 0 || --m_depth > 0) return;
    // A new history begun meanwhile (a read completed while a message was
    // up) makes the state before meaningless as a step of it.
    if (m_held || m_changeGeneration != m_generation || m_host.Snapshot() == m_before) return;
    m_steps.Record({std::move(m_before), std::nullopt});
    m_host.Notify(kChangeHistory);
}

void FormHistory::RecordReplaced(WholeState before) {
    // A change still open (a message up while a read completed) began on
    // the form now replaced: its step would take back the wrong thing.
    ++m_generation;
    if (m_held || before == WholeState{m_host.Snapshot(), m_host.Baseline()}) return;
    if (before.state != before.baseline) {
        m_replacedEdits = before.state;
        m_host.Notify(kChangeReplacedEdits);
    }
    m_steps.Record({std::move(before.state), std::move(before.baseline)});
    m_host.Notify(kChangeHistory);
}

std::optional<FormSnapshot> FormHistory::TakeReplacedEdits() {
    std::optional<FormSnapshot> taken = std::move(m_replacedEdits);
    m_replacedEdits.reset();
    return taken;
}

void FormHistory::Hold(bool hold) {
    m_held = hold;
    ++m_generation;  // a change running across it records nothing
    m_host.Notify(kChangeHistory);
}

void FormHistory::StartNew() {
    m_steps.Clear();
    ++m_generation;
    m_host.Notify(kChangeHistory);
}

}  // namespace orvex
