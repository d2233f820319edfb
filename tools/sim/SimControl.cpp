#include "tools/sim/SimControl.h"

namespace orvex::sim {
namespace {

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

Outcome<ControlCommand> ParseControl(const std::string& line) {
    const std::string text = Trim(line);
    const auto space = text.find_first_of(" \t");
    const std::string word = text.substr(0, space);
    const std::string rest = space == std::string::npos ? std::string{} : Trim(text.substr(space));
    ControlCommand command;
    if (word == "away") command.kind = ControlCommand::Kind::Away;
    else if (word == "connect") command.kind = ControlCommand::Kind::Connect;
    else if (word == "unplug") command.kind = ControlCommand::Kind::Unplug;
    else if (word == "plug") command.kind = ControlCommand::Kind::Plug;
    else
        return Problem{.what = "unknown control line '" + text + "'", .why = "away, connect [FILE.kvx], unplug or plug"};
    if (!rest.empty() && command.kind != ControlCommand::Kind::Connect)
        return Problem{.what = "'" + word + "' takes nothing after it"};
    command.file = rest;
    return command;
}

}  // namespace orvex::sim
