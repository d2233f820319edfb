#pragma once
// The form as the link drives it: tests that stand in for a transfer go
// through the same interface the link uses.
#include "link/TransferForm.h"
#include "ui/model/FormModel.h"

namespace orvex::test {

inline ITransferForm& LinkSide(FormModel& form) { return form; }
inline void TransferStarts(FormModel& form) { LinkSide(form).OnTransferEvent({TransferEvent::Kind::Started, TransferDirection::Idle, 0, {}}); }
inline void TransferEnds(FormModel& form) { LinkSide(form).OnTransferEvent({TransferEvent::Kind::Ended, TransferDirection::Idle, 0, {}}); }

}  // namespace orvex::test
