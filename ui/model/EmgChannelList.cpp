#include "ui/model/EmgChannelList.h"

#include <algorithm>

namespace orvex {
namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

int CompareNoCase(std::string_view a, std::string_view b) {
    const std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        const char x = Lower(a[i]), y = Lower(b[i]);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool StartsWithNoCase(std::string_view item, std::string_view prefix) {
    return item.size() >= prefix.size() && CompareNoCase(item.substr(0, prefix.size()), prefix) == 0;
}

}  // namespace

void EmgChannelList::EraseAt(int i) {
    m_items.erase(m_items.begin() + i);
    if (m_sel == i)
        m_sel = -1;
    else if (m_sel > i)
        --m_sel;
}

void EmgChannelList::Clear() {
    m_items.clear();
    m_sel = -1;
}

int EmgChannelList::Add(std::string_view text) {
    std::string item(text);
    std::transform(item.begin(), item.end(), item.begin(), Upper);
    const auto at = std::upper_bound(m_items.begin(), m_items.end(), item, [](const std::string& a, const std::string& b) {
        return CompareNoCase(a, b) < 0;
    });
    const int pos = static_cast<int>(at - m_items.begin());
    m_items.insert(at, std::move(item));
    if (m_sel >= pos) ++m_sel;
    return pos;
}

void EmgChannelList::DeleteByPrefix(std::string_view text) {
    for (int i = Count() - 1; i >= 0; --i) {
        if (StartsWithNoCase(m_items[i], text)) EraseAt(i);
    }
}

int EmgChannelList::DeleteExact(std::string_view text) {
    int last = -1;
    for (int i = 0; i < Count();) {
        if (CompareNoCase(m_items[i], text) == 0) {
            last = i;
            EraseAt(i);
        } else {
            ++i;
        }
    }
    return last;
}

void EmgChannelList::Select(int index) { m_sel = (index >= 0 && index < Count()) ? index : -1; }

void EmgChannelList::Assign(std::vector<std::string> items, int selection) {
    m_items = std::move(items);
    m_sel = selection >= 0 && selection < Count() ? selection : -1;
}

}  // namespace orvex
