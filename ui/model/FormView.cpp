#include "ui/model/FormView.h"

#include <algorithm>

#include "settings/RadioSettings.h"
#include "ui/model/FormModel.h"
#include "ui/model/FormTexts.h"

namespace orvex {
namespace {

std::string_view HintFor(int column) {
    return column == kFrequencyColumn ? texts::kColumnRangeHint : texts::kTotalRangeHint;
}

}  // namespace

void FormView::SetStatusText(std::string text) {
    m_status = std::move(text);
    m_notify(kChangeStatus);
}

void FormView::SetPortPaneText(std::string text) {
    m_portPane = std::move(text);
    m_notify(kChangeStatus);
}

void FormView::SetProgress(int position) {
    m_progress = std::clamp(position, 0, kChannelCount);
    m_notify(kChangeProgress);
}

void FormView::SetLocked(bool locked) {
    m_locked = locked;
    m_notify(kChangeTableLock);
}

void FormView::EnableBandSection(bool listEnabled, bool southAfricaEnabled) {
    m_bandListEnabled = listEnabled;
    m_southAfricaEnabled = southAfricaEnabled;
    m_notify(kChangeBandSection);
}

void FormView::BeginCellEdit() {
    if (!m_locked) m_editPending = true;
}

bool FormView::TakeEditPending() {
    const bool was = m_editPending;
    m_editPending = false;
    return was;
}

void FormView::ResetStatusLine() {
    // What an earlier command said belongs to the form it acted on.
    m_status = m_statusNotice.empty() ? std::string(HintFor(m_currentColumn)) : m_statusNotice;
    m_notify(kChangeStatus);
}

void FormView::SelectColumn(int column) {
    m_currentColumn = column;
    ShowColumnHint();
}

void FormView::ShowColumnHint() {
    // The label columns keep whatever the line says.
    if (m_currentColumn != 0 && m_currentColumn != 1) m_status = std::string(HintFor(m_currentColumn));
    m_notify(kChangeStatus);
}

void FormView::ShowColumnHintAfter(const std::string& searchText) {
    ShowColumnHint();
    if (!searchText.empty() && m_status == searchText) SetStatusText(std::string(texts::kTotalRangeHint));
}

void FormView::Reset(std::string status) {
    m_status = std::move(status);
    m_progress = 0;
}

}  // namespace orvex
