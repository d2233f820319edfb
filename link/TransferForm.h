#pragma once
// What the radio link asks of the form, as intents: the table lock, the
// unfinished-edit question, a record the radio sent, the result of a read,
// what a write sends, progress and status texts, and the message seam. The
// form model implements it and stays the one writer of the form's state;
// the link never sees a widget or the values behind them.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "link/TransferStages.h"
#include "settings/RadioSettings.h"
#include "settings/UserMessage.h"

namespace orvex {

// What one channel block of a write carries, besides its slot numbers.
struct WriteBlockSource {
    std::string cellText;      // the channel's frequency cell
    std::uint8_t bandPlan;     // the plan being written
    std::uint8_t emgChannel;   // the emergency channel the block names
};

class ITransferForm {
public:
    virtual ~ITransferForm() = default;

    virtual IPrompter& Prompter() = 0;

    // ---- The table lock: a transfer runs while it is locked ---------------
    virtual bool IsTableLocked() const = 0;
    virtual void LockChannelTable() = 0;
    virtual void UnlockChannelTable() = 0;
    // Whether a cell edit was unfinished; the flag is cleared, so a command
    // asks about it once.
    virtual bool TakeEditPending() = 0;
    virtual void EnableFormControls(bool enable) = 0;

    // ---- Read -------------------------------------------------------------
    // Record ch (1..10) as the radio sent it; 10 bytes keep the record's
    // eleventh.
    virtual void StoreReadRecord(int ch, std::span<const std::uint8_t> bytes) = 0;
    // The radio's channel flags, then its stored records, into the form.
    virtual void ApplyReadResult(const std::array<int, kChannelEnableCount>& flags) = 0;

    // ---- Write ------------------------------------------------------------
    // A write needs a band plan selected.
    virtual bool HasBandPlan() const = 0;
    // False (and said why) when South Africa has no emergency channel.
    virtual bool CheckEmgChannelForWrite() = 0;
    virtual void DisableBandSectionForWrite() = 0;
    // The plan Mode Select shows, from now on the one being written.
    virtual std::uint8_t TakeBandPlanForWrite() = 0;
    // What the block of channel row 1..10 carries.
    virtual WriteBlockSource BlockSource(int row) = 0;
    // The flags a South Africa write sends after its blocks; none otherwise.
    virtual std::optional<std::array<int, kChannelEnableCount>> ChannelFlagsForWrite() const = 0;

    // ---- Progress and status ----------------------------------------------
    virtual void SetProgress(int position) = 0;
    virtual void SetStatusText(std::string text) = 0;
    // The column hint at the end of a search: a status text the search left
    // (searchText) gives way to the range hint.
    virtual void ShowColumnHintAfter(const std::string& searchText) = 0;
    // Pane 1 of the main window's status bar.
    virtual void SetPortPaneText(std::string text) = 0;

    // ---- Results ------------------------------------------------------------
    // A transfer ran to its end and the radio confirmed all of it: after a
    // read the form holds the radio's settings; after a write the radio
    // holds the form's.
    virtual void TransferConfirmed(TransferDirection direction) = 0;
};

}  // namespace orvex
