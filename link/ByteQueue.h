#pragma once
// Receive ring of the serial port. Not thread-safe by itself: CRadioPort
// guards it with a lock.
#include <array>
#include <cstdint>

namespace orvex {

class CByteQueue {
public:
    static constexpr int kBufferSize = 8192;
    static constexpr int kCapacity = kBufferSize - 1;  // full at 8191, so the indices never meet

    CByteQueue() { Clear(); }

    void Clear();
    int GetSize() const { return (m_nWrite - m_nRead + kBufferSize) % kBufferSize; }
    bool PutByte(std::uint8_t byte);
    bool GetByte(std::uint8_t& out);

private:
    std::array<std::uint8_t, kBufferSize> m_buffer;
    std::int32_t m_nWrite = 0;
    std::int32_t m_nRead = 0;
};

}  // namespace orvex
