#pragma once
// What the radio link needs from the form: cell texts, the table lock, the
// band section, the values behind them, progress, status texts and the
// message seam. The form model implements it; the link never sees a widget.
#include <array>
#include <cstdint>
#include <string>

#include "settings/RadioSettings.h"
#include "settings/UserMessage.h"

namespace orvex {

class ITransferForm {
public:
    virtual ~ITransferForm() = default;

    virtual IPrompter& Prompter() = 0;
    virtual RadioSettings& Settings() = 0;

    // Frequency cell of row 0..10 (row 0 is the title row).
    virtual std::string CellText(int row) const = 0;
    virtual void SetCellText(int row, std::string text) = 0;

    virtual bool IsTableLocked() const = 0;
    virtual void LockChannelTable() = 0;
    virtual void UnlockChannelTable() = 0;
    virtual bool EditPending() const = 0;
    virtual void ClearEditPending() = 0;

    virtual int ModeSelection() const = 0;
    virtual void EnableFormControls(bool enable) = 0;
    virtual void DisableBandSectionForWrite() = 0;
    virtual bool CheckEmgChannelForWrite() = 0;
    virtual void FindEmgIndex() = 0;
    // Channel flags from the radio into the boxes; option flags cleared.
    virtual void ApplyLoaded(const std::array<int, kChannelEnableCount>& flags, bool rebuildEmgList) = 0;
    virtual void ApplyRecordBandPlan(std::uint8_t bandPlan, std::uint8_t emgChannel) = 0;

    virtual void SetProgress(int position) = 0;
    virtual void SetStatusText(std::string text) = 0;
    virtual void ShowColumnHint() = 0;
    // The column hint at the end of a search: a status text the search left
    // (searchText) gives way to the range hint even where ShowColumnHint
    // would keep the line as it is.
    virtual void ShowColumnHintAfter(const std::string& searchText) = 0;
    // Pane 1 of the main window's status bar.
    virtual void SetPortPaneText(std::string text) = 0;
    virtual void RequestStopSearch() = 0;
    virtual bool TakeStopRequest() = 0;
};

}  // namespace orvex
