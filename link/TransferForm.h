#pragma once
// What the radio link and the form tell each other: the link works on
// images (what a read brought, what a write sends) and tells how a transfer
// goes as typed events; the form applies a read as one change, builds what
// a write sends and decides what each event means for what the user sees.
// The form model implements it and stays the one writer of the form's
// state; the link never sees a widget or the values behind them.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/TransferStages.h"
#include "settings/RadioSettings.h"
#include "settings/UserMessage.h"

namespace orvex {

// The radio's settings as one read brought them: each record as the radio
// sent it (a short batch leaves out the record's last bytes; a record not
// received is empty) and the channel flags of its closing block.
struct ReadImage {
    std::array<std::vector<std::uint8_t>, kChannelCount> records;
    std::array<int, kChannelEnableCount> flags{};
};

// What one write sends: the ten frequency cells as the table shows them,
// the band plan and emergency channel every block names, and the flags a
// South Africa write sends after its blocks (none otherwise).
struct WriteImage {
    std::array<std::string, kChannelCount> cells;
    std::uint8_t bandPlan = 0;
    std::uint8_t emgChannel = 0;
    std::optional<std::array<int, kChannelEnableCount>> flags;
};

// How a transfer goes, as the link tells it. The form decides what each
// means for its state and what the user sees.
struct TransferEvent {
    enum class Kind {
        NotStarted,     // a write ended before it began (the port did not open)
        Started,        // a transfer holds the form from now on
        Progress,       // channels records or blocks are done
        Ended,          // it is over: the form is the user's again
        Confirmed,      // the radio confirmed all of it
        PortShown,      // the port in use: portPane is the status bar's text for it
    };
    Kind kind = Kind::Progress;
    TransferDirection direction = TransferDirection::Idle;
    int channels = 0;
    std::string portPane;
};

class ITransferForm {
public:
    virtual ~ITransferForm() = default;

    virtual IPrompter& Prompter() = 0;

    // A transfer runs while the form is locked (between Started and Ended).
    virtual bool IsTableLocked() const = 0;
    // Whether a cell edit was unfinished; the flag is cleared, so a command
    // asks about it once.
    virtual bool TakeEditPending() = 0;
    virtual void OnTransferEvent(const TransferEvent& event) = 0;

    // A read's result, applied as one change of the form.
    virtual void ApplyReadImage(const ReadImage& image) = 0;
    // Whether the form can be written as it stands; false when not, the
    // user told why (no band plan, no emergency channel).
    virtual bool MayWrite() = 0;
    // What a write sends, taken as it starts: an edit made once the table
    // unlocks, before the write is confirmed, is not part of it.
    virtual WriteImage TakeWriteImage() = 0;

    // ---- Status ------------------------------------------------------------
    virtual void SetStatusText(std::string text) = 0;
    // The column hint at the end of a search: a status text the search left
    // (searchText) gives way to the range hint.
    virtual void ShowColumnHintAfter(const std::string& searchText) = 0;
};

// A cell edit left unfinished is asked about, once: true when there is
// none or the user goes on (Yes).
bool GoOnPastUnfinishedEdit(ITransferForm& form);

}  // namespace orvex
