// read and write: Read from Radio / Write to Radio through the same engine
// the desktop application runs.
#include <algorithm>
#include <cstdio>

#include <optional>

#include "tools/cli/CliSession.h"
#include "ui/model/VerifiedWrite.h"

namespace orvex::cli {
namespace {

// Picks "--port DEV" out of args; the rest stays.
bool TakePort(Args& args, std::string& port) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--port") continue;
        if (i + 1 >= args.size()) return false;
        port = args[i + 1];
        args.erase(args.begin() + static_cast<long>(i), args.begin() + static_cast<long>(i) + 2);
        return true;
    }
    return false;
}

// Write and Verify: the verdict on stdout, everything else on stderr.
int WriteAndVerify(CliSession& session) {
    session.KeepBackups();
    std::optional<VerifyResult> result;
    if (!session.Session().StartWriteAndVerify([&](const VerifyResult& r) { result = r; })) return kExitFailed;
    constexpr std::int64_t kLimitMs = 30 * 60 * 1000;  // three transfers, each ending within its silences
    session.Loop().RunUntil([&] { return result.has_value(); }, kLimitMs);
    if (!result) return kExitFailed;
    const UserMessage told = VerifyMessage(*result);
    if (result->status == VerifyResult::Status::Verified) {
        // The verdict is the output; how it was reached goes with the rest
        // of the messages.
        std::printf("%s\n", told.text.c_str());
        if (!told.detail.empty()) std::fprintf(stderr, "%s\n", told.detail.c_str());
        return kExitOk;
    }
    if (!told.text.empty()) session.Form().Messages().Show(told);
    return kExitFailed;
}

}  // namespace

int CmdRead(const Args& input) {
    Args args = input;
    std::string port, out;
    const bool hasPort = std::find(args.begin(), args.end(), "--port") != args.end();
    if (hasPort && !TakePort(args, port)) return UsageError("--port needs a device path or COMn");
    if (args.size() == 2 && args[0] == "-o") out = args[1];
    if (out.empty()) return UsageError("read needs -o FILE");
    CliSession session(port);
    session.KeepBackups();
    session.Link().OnReadFromRadio();
    session.RunUntilSettled();
    if (session.Link().Outcome() != TransferOutcome::Completed) return kExitFailed;
    return Save(session.Form(), out) ? kExitOk : kExitFailed;
}

int CmdWrite(const Args& input) {
    Args args = input;
    std::string port;
    const bool hasPort = std::find(args.begin(), args.end(), "--port") != args.end();
    if (hasPort && !TakePort(args, port)) return UsageError("--port needs a device path or COMn");
    const auto verifyFlag = std::find(args.begin(), args.end(), "--verify");
    const bool verify = verifyFlag != args.end();
    if (verify) args.erase(verifyFlag);
    if (args.size() != 1) return UsageError("write takes one settings file");
    CliSession session(port);
    if (!session.Form().Open(args[0])) return kExitFailed;
    if (verify) return WriteAndVerify(session);
    session.Link().OnWriteToRadio();
    session.RunUntilSettled();
    if (session.Link().Outcome() == TransferOutcome::CompletedWithErrors)
        std::fputs("The write ran to its end, but the radio did not confirm every block: "
                   "read it back to see what it holds.\n",
                   stderr);
    return session.Link().Outcome() == TransferOutcome::Completed ? kExitOk : kExitFailed;
}

}  // namespace orvex::cli
