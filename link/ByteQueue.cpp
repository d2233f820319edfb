#include "link/ByteQueue.h"

namespace orvex {

void CByteQueue::Clear() {
    m_nWrite = 0;
    m_nRead = 0;
    m_buffer.fill(0);
}

bool CByteQueue::PutByte(std::uint8_t byte) {
    if (GetSize() == kCapacity) return false;
    m_buffer[m_nWrite] = byte;
    m_nWrite = (m_nWrite + 1) % kBufferSize;
    return true;
}

bool CByteQueue::GetByte(std::uint8_t& out) {
    if (GetSize() == 0) return false;
    out = m_buffer[m_nRead];
    m_nRead = (m_nRead + 1) % kBufferSize;
    return true;
}

}  // namespace orvex
