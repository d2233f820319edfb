#pragma once
// When the file commands may act. New, Open and Save given while the link
// is in one of its protocol pauses wait for it to end, as Read and Write do:
// acting at once, they would change the form in the moment between a read's
// command and its locking of the table, or between a write's last byte and
// its completion message. Once the pause is over they are refused, as
// always, if a transfer has started meanwhile.
#include <functional>

#include "link/EventLoop.h"
#include "link/RadioLink.h"
#include "ui/model/FormModel.h"

namespace orvex {

// Runs command once the link has no pause pending (at once when it has
// none), unless a transfer runs by then. A command that had to wait runs
// from a task of its own on loop, so a dialog it opens holds up nothing the
// link still has waiting for the same pause to end.
void WhenFileCommandMayRun(CRadioLink& link, IEventLoop& loop, const FormModel& form, std::function<void()> command);

}  // namespace orvex
