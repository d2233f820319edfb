#pragma once
#include <cstdint>

namespace orvex {

// The application's document holds no settings: the form and the settings
// model do. It exists for the shape of the program and is never modified,
// so closing never asks to save.
class CQMDoc {
public:
    std::int32_t m_nUnused = 0;
    bool IsModified() const { return false; }
};

}  // namespace orvex
