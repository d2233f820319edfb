#pragma once
// What the main form shows beside its values: the status line, the
// progress bar, the port pane, whether the table and the band section take
// input, and the cell edit under way. None of it is saved, undone or sent;
// the form model owns it and a transfer changes it only through the model.
#include <functional>
#include <string>

namespace orvex {

class FormModel;

class FormView {
public:
    // notify is told which parts changed (the FormChange bits).
    explicit FormView(std::function<void(unsigned)> notify) : m_notify(std::move(notify)) {}

    const std::string& StatusText() const { return m_status; }
    void SetStatusText(std::string text);
    // A standing notice (edits waiting to be brought back, edits that are
    // not being kept) that the status line shows again where a command's
    // news gives way; empty for the range hint.
    void SetStatusNotice(std::string text) { m_statusNotice = std::move(text); }
    int Progress() const { return m_progress; }
    const std::string& PortPaneText() const { return m_portPane; }

    // A transfer holds the table: cells, Mode Select and the channel boxes
    // refuse the user's changes.
    bool IsTableLocked() const { return m_locked; }
    bool BandListEnabled() const { return m_bandListEnabled; }
    bool SouthAfricaSetupEnabled() const { return m_southAfricaEnabled; }

    // A cell edit starts (ignored while the table is locked) or ends.
    void BeginCellEdit();
    void EndCellEdit() { m_editPending = false; }
    bool EditPending() const { return m_editPending; }
    bool TakeEditPending();

    // Column of the last selection notification; -1 before the first.
    int CurrentColumn() const { return m_currentColumn; }
    // A cell of column was selected: the status line shows its hint.
    void SelectColumn(int column);
    // The hint again, and the range hint in place of a search's news.
    void ShowColumnHintAfter(const std::string& searchText);

private:
    friend class FormModel;  // the transfer and the document's commands drive the rest

    void SetLocked(bool locked);
    void SetProgress(int position);
    void SetPortPaneText(std::string text);
    void EnableBandSection(bool listEnabled, bool southAfricaEnabled);
    // The status line's hint for the focus column, in place of news that
    // belonged to the form before.
    void ResetStatusLine();
    void ShowColumnHint();
    // As the form starts: the range hint and an empty bar, told with the rest.
    void Reset(std::string status);

    std::function<void(unsigned)> m_notify;
    std::string m_status;
    std::string m_statusNotice;
    std::string m_portPane;
    int m_progress = 0;
    bool m_locked = false;
    bool m_bandListEnabled = true;
    bool m_southAfricaEnabled = true;
    bool m_editPending = false;
    int m_currentColumn = -1;
};

}  // namespace orvex
