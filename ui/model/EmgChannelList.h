#pragma once
// The "Emg Channel" drop-down: a sorted, upper-case list of channel names
// with at most one selected item.
#include <string>
#include <string_view>
#include <vector>

namespace orvex {

class EmgChannelList {
public:
    const std::vector<std::string>& Items() const { return m_items; }
    int Count() const { return static_cast<int>(m_items.size()); }
    int Selection() const { return m_sel; }
    // What the list's field shows: the selected item, or nothing.
    std::string ShownText() const { return m_sel >= 0 ? m_items[m_sel] : std::string{}; }

    void Clear();
    // Items and selection exactly as given, as a list brought back.
    void Assign(std::vector<std::string> items, int selection);
    // Inserts at its sorted place (case-insensitive, after equal items);
    // returns the position.
    int Add(std::string_view text);
    // Deletes every item that starts with text (case-insensitive).
    void DeleteByPrefix(std::string_view text);
    // Deletes every item equal to text (case-insensitive); returns the
    // position the last deleted item had, or -1 when none was deleted.
    int DeleteExact(std::string_view text);
    // An index outside the list clears the selection.
    void Select(int index);

private:
    // Removes item i; the selection follows its item or becomes none.
    void EraseAt(int i);

    std::vector<std::string> m_items;
    int m_sel = -1;
};

}  // namespace orvex
