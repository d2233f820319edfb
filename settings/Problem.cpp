#include "settings/Problem.h"

namespace orvex {

namespace {

void Join(std::string& text, const std::string& part, const char* separator) {
    if (part.empty()) return;
    if (!text.empty()) text += separator;
    text += part;
}

}  // namespace

std::string Problem::Text() const {
    std::string text;
    switch (layout) {
        case Layout::Plain:
            Join(text, where, ": ");
            Join(text, what, ": ");
            Join(text, why, ": ");
            break;
        case Layout::ReasonAside:
            Join(text, where, ": ");
            Join(text, what, ": ");
            if (!why.empty()) text += " (" + why + ")";
            break;
        case Layout::FixAfter:
            Join(text, where, ": ");
            Join(text, what, ": ");
            Join(text, why, ": ");
            Join(text, fix, "; ");
            return text;
        case Layout::ActionFirst:
            Join(text, what, ": ");
            Join(text, where, ": ");
            Join(text, why, ": ");
            break;
    }
    if (!fix.empty()) text += " (" + fix + ")";
    return text;
}

}  // namespace orvex
