#pragma once
// Stands in for the user: keeps every message shown and answers from a
// script. Once the script has run out, questions are answered No.
#include <deque>
#include <string>
#include <vector>

#include "settings/UserMessage.h"

namespace orvex::test {

class ScriptedPrompter : public IPrompter {
public:
    MsgAnswer Show(const UserMessage& message) override {
        shown.push_back(message);
        if (!answers.empty()) {
            const MsgAnswer a = answers.front();
            answers.pop_front();
            return a;
        }
        return message.buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Ok;
    }

    std::string LastText() const { return shown.empty() ? std::string{} : shown.back().text; }

    std::vector<UserMessage> shown;
    std::deque<MsgAnswer> answers;
};

}  // namespace orvex::test
