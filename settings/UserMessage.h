#pragma once
// The one seam through which every layer asks the user something or tells
// them something. The GUI shows a message box; the CLI prints; tests answer.
#include <string>

namespace orvex {

enum class MsgIcon { None, Stop };
enum class MsgButtons { Ok, YesNo };
enum class MsgAnswer { Ok, Yes, No };
// Completion: a transfer ran to its end and says so; a command that runs
// several transfers as one tells its own end instead.
enum class MsgKind { Report, Completion };

struct UserMessage {
    std::string text;    // the system's own message, exactly as users know it
    std::string detail;  // optional context: which file, which device, why
    MsgIcon icon = MsgIcon::None;
    MsgButtons buttons = MsgButtons::Ok;
    MsgKind kind = MsgKind::Report;
};

class IPrompter {
public:
    virtual ~IPrompter() = default;
    // Blocks until the user has answered.
    virtual MsgAnswer Show(const UserMessage& message) = 0;
};

}  // namespace orvex
