// new and resave: the file commands as the form runs them.
#include "tools/cli/CliCommon.h"
#include "ui/model/FormModel.h"

namespace orvex::cli {

int CmdNew(const Args& args) {
    if (args.size() != 1) return UsageError("new takes one file name");
    StderrPrompter prompter;
    FormModel form(prompter);
    form.StartUp();
    return Save(form, args[0]) ? kExitOk : kExitFailed;
}

int CmdResave(const Args& args) {
    if (args.size() != 2) return UsageError("resave takes an input and an output file name");
    StderrPrompter prompter;
    FormModel form(prompter);
    form.StartUp();
    if (!form.Open(args[0])) return kExitFailed;
    return Save(form, args[1]) ? kExitOk : kExitFailed;
}

}  // namespace orvex::cli
