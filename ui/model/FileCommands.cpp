#include "ui/model/FileCommands.h"

namespace orvex {

void WhenFileCommandMayRun(CRadioLink& link, const FormModel& form, std::function<void()> command) {
    link.WhenIdle([&link, &form, command = std::move(command)] {
        if (link.Busy() || form.IsTableLocked()) return;
        command();
    });
}

}  // namespace orvex
