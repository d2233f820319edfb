#include "tools/cli/CliCommon.h"

#include <cstdio>

namespace orvex::cli {

MsgAnswer StderrPrompter::Show(const UserMessage& message) {
    ++m_count;
    std::fprintf(stderr, "%s\n", message.text.c_str());
    if (!message.detail.empty()) std::fprintf(stderr, "  %s\n", message.detail.c_str());
    // Nobody is there to say yes: a question is answered no.
    return message.buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
}

int UsageError(const std::string& what) {
    std::fprintf(stderr, "orvex-cli: %s\nTry 'orvex-cli help'.\n", what.c_str());
    return kExitUsage;
}

}  // namespace orvex::cli
