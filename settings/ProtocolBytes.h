#pragma once
// Bytes of the radio's programming protocol.
#include <cstdint>

namespace orvex {

inline constexpr std::uint8_t QM_PROTO_CHK_DEV = 0x11;           // device check
inline constexpr std::uint8_t QM_PROTO_CHK_DEV_ACK = 0x7F;       // the radio is there
inline constexpr std::uint8_t QM_PROTO_SET_UPLOAD = 0x44;        // reading from the radio
inline constexpr std::uint8_t QM_PROTO_SET_DOWNLOAD = 0x22;      // writing to the radio
inline constexpr std::uint8_t QM_PROTO_SET_DOWNLOAD_ACK = 0x6F;  // direction accepted
inline constexpr std::uint8_t QM_PROTO_UPLOAD_REQ = 0x15;        // reading: send the records
inline constexpr std::uint8_t QM_PROTO_READY = 0x5F;             // blocks may flow
inline constexpr std::uint8_t QM_PROTO_ACK = 0xAA;
inline constexpr std::uint8_t QM_PROTO_NAK = 0xFF;
inline constexpr std::uint8_t QM_PROTO_BLOCK_END = 0xCC;
inline constexpr std::uint8_t QM_PROTO_CLOSING = 0x00;           // last byte of a write
// Seen during a read handshake and taken like the bytes this side sends
// coming back; what the radio means by it is not known.
inline constexpr std::uint8_t QM_PROTO_UNNAMED_45 = 0x45;

inline constexpr unsigned kBaudRate = 9600;

}  // namespace orvex
