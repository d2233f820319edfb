#include "ui/model/FileCommands.h"

namespace orvex {

void WhenFileCommandMayRun(CRadioLink& link, IEventLoop& loop, const FormModel& form, std::function<void()> command) {
    if (link.Pausing()) {
        link.WhenIdle([&link, &loop, &form, command = std::move(command)] {
            // Another pause may have begun by the time the task runs.
            loop.Post([&link, &loop, &form, command] { WhenFileCommandMayRun(link, loop, form, command); });
        });
        return;
    }
    if (link.Busy() || form.IsTableLocked()) return;
    command();
}

}  // namespace orvex
