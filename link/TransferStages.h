#pragma once
// The named stages of a transfer, with the values the protocol's state
// carries: the direction, the handshake stage, the block counter's closing
// steps and the read's sub-state.
#include <cstdint>

#include "settings/RadioSettings.h"

namespace orvex {

// m_nDirection: which transfer runs.
enum class TransferDirection : int { Idle = 0, Reading = 1, Writing = 2 };

// m_nStage: the handshake's progress; blocks flow at kStageBlocks.
inline constexpr std::int8_t kStageStart = 0;
inline constexpr std::int8_t kStageBlocks = 2;

// m_nCh: records or blocks 1..10 (kChannelCount), then the closing steps.
inline constexpr std::uint8_t kChHandshake = 0;                 // before the radio is ready
inline constexpr std::uint8_t kChClosingBlock = kChannelCount + 1;  // read: the closing block is due;
                                                                    // write: the flags and closing byte
inline constexpr std::uint8_t kChComplete = kChannelCount + 2;  // the transfer completes here
inline constexpr std::uint8_t kChFinalAck = kChannelCount + 3;  // write: after the final acknowledge

// A batch at least this long in the block phase is a record: its ten data
// bytes, the checksum possibly still to come.
inline constexpr int kRecordBatchMin = 10;

// m_nSubState of a read.
inline constexpr int kSubStateStart = 1;
inline constexpr int kSubStateRecordsAsked = 4;  // after the direction was accepted
inline constexpr int kSubStateRecords = 5;       // after the radio said it is ready

}  // namespace orvex
