#include "tools/sim/SimControl.h"

namespace orvex::sim {
namespace {

std::string Trim(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

}  // namespace

bool ParseControl(const std::string& line, ControlCommand& command, std::string& error) {
    const std::string text = Trim(line);
    const auto space = text.find_first_of(" \t");
    const std::string word = text.substr(0, space);
    const std::string rest = space == std::string::npos ? std::string{} : Trim(text.substr(space));
    command = ControlCommand{};
    if (word == "away") command.kind = ControlCommand::Kind::Away;
    else if (word == "connect") command.kind = ControlCommand::Kind::Connect;
    else if (word == "unplug") command.kind = ControlCommand::Kind::Unplug;
    else if (word == "plug") command.kind = ControlCommand::Kind::Plug;
    else {
        error = "unknown control line '" + text + "': away, connect [FILE.kvx], unplug or plug";
        return false;
    }
    if (!rest.empty() && command.kind != ControlCommand::Kind::Connect) {
        error = "'" + word + "' takes nothing after it";
        return false;
    }
    command.file = rest;
    return true;
}

}  // namespace orvex::sim
