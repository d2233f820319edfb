#pragma once
// A cell of the grid: text, drawing format and state marks. No toolkit.
#include <cstdint>
#include <string>

namespace orvex::grid {

// Drawing format flags (the values desktop programs have always used).
enum Format : unsigned {
    DT_LEFT = 0x0000,
    DT_CENTER = 0x0001,
    DT_RIGHT = 0x0002,
    DT_VCENTER = 0x0004,
    DT_WORDBREAK = 0x0010,
    DT_SINGLELINE = 0x0020,
    DT_NOPREFIX = 0x0800,
    DT_END_ELLIPSIS = 0x8000,
};

// State marks of a cell.
enum State : unsigned {
    GVIS_FOCUSED = 0x0001,
    GVIS_SELECTED = 0x0002,
    GVIS_READONLY = 0x0008,
    GVIS_FIXED = 0x0010,
    GVIS_FIXEDROW = 0x0020,
    GVIS_FIXEDCOL = 0x0040,
    GVIS_MODIFIED = 0x0100,
};

class CGridCellBase {
public:
    virtual ~CGridCellBase() = default;

    const std::string& GetText() const { return m_text; }
    void SetText(std::string text) { m_text = std::move(text); }
    unsigned GetFormat() const { return m_format; }
    void SetFormat(unsigned format) { m_format = format; }
    unsigned GetState() const { return m_state; }
    void SetState(unsigned state) { m_state = state; }
    bool Has(unsigned mark) const { return (m_state & mark) != 0; }
    void Mark(unsigned mark, bool on) { m_state = on ? (m_state | mark) : (m_state & ~mark); }

protected:
    std::string m_text;
    unsigned m_format = DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS;
    unsigned m_state = 0;
};

}  // namespace orvex::grid
