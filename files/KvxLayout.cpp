#include "files/KvxLayout.h"

#include <algorithm>
#include <bit>
#include <stdexcept>

namespace orvex::kvx {

double KvxImage::getDouble_le(std::size_t offset) const {
    std::uint64_t raw = 0;
    for (int i = 7; i >= 0; --i) raw = (raw << 8) | m_bytes.at(offset + i);
    return std::bit_cast<double>(raw);
}

void KvxImage::setDouble_le(std::size_t offset, double value) {
    auto raw = std::bit_cast<std::uint64_t>(value);
    for (int i = 0; i < 8; ++i, raw >>= 8) m_bytes.at(offset + i) = static_cast<std::uint8_t>(raw & 0xFF);
}

void KvxImage::setBytes(std::size_t offset, std::span<const std::uint8_t> data) {
    if (offset + data.size() > kFileSize) throw std::out_of_range("settings file field");
    std::copy(data.begin(), data.end(), m_bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

void KvxImage::setText(std::size_t offset, std::size_t fieldSize, std::string_view text) {
    if (offset + fieldSize > kFileSize || text.size() > fieldSize) throw std::out_of_range("settings file text");
    auto* first = m_bytes.data() + offset;
    std::fill(first, first + fieldSize, 0);
    std::copy(text.begin(), text.end(), first);
}

bool KvxImage::HasSettingsIdentifier() const {
    return std::equal(kIdentifier.begin(), kIdentifier.end(), m_bytes.begin() + Offset::identifier) &&
           m_bytes[Offset::formatMajor] == kFormatMajor && m_bytes[Offset::formatMinor] == kFormatMinor;
}

}  // namespace orvex::kvx
