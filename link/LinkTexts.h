#pragma once
// Messages and status texts of the radio link.
#include <string_view>

namespace orvex::texts {

inline constexpr std::string_view kEditNotFinished = "Set did not end. Do you progress continuation?";
inline constexpr std::string_view kUploadComplete = "UPLOAD COMPLETE";
inline constexpr std::string_view kDownloadComplete = "DOWNLOAD COMPLETE";
inline constexpr std::string_view kTimeout = "Timeout Occur, Check Power State";
inline constexpr std::string_view kPleaseAgain = "Please Again !!";
inline constexpr std::string_view kRadioError = "ORVEX RADIO ERROR !!";
inline constexpr std::string_view kFrequencyOutOfRange = "Frequency is out of range or Not setp 2.5Khz";
inline constexpr std::string_view kChecksumError = "Download CheckSum Value Error";
// What a write in doubt says after its first line.
inline constexpr std::string_view kNotConfirmedIntro = "The radio did not confirm ";
inline constexpr std::string_view kClosingBlockName = "the closing block";
inline constexpr std::string_view kPartlyWritten =
    "The radio may now hold only part of the settings: use Read from Radio to see what it holds, "
    "or Write and Verify to write them again and check them.";
inline constexpr std::string_view kCutOffAdvice =
    "The radio may now hold part of the new settings: write them again, or use Write and Verify.";
inline constexpr std::string_view kLastBackupIntro = "What the radio held at the last read is kept in ";
// A write with no band plan selected (a file or a radio named one above 4).
inline constexpr std::string_view kNoBandPlan = "Select a band plan in Mode Select before writing to the radio.";
inline constexpr std::string_view kNoBandPlanDetail =
    "The settings name no band plan the radio knows; nothing was sent.";
inline constexpr std::string_view kCantOpenPort = "Can't Open COM Port!";
// Bytes lost on the way in; the transfer goes on, and its own end tells
// whether it still came through.
inline constexpr std::string_view kQueueFull =
    "Bytes from the radio were lost: they came faster than the program could take them in. "
    "If the transfer fails, run it again.";
inline constexpr std::string_view kGetByteFailed =
    "Bytes from the radio were lost on the way in. If the transfer fails, run it again.";
inline constexpr std::string_view kPortLost = "The connection to the radio was lost";
inline constexpr std::string_view kCheckingFormat = "CHECKING : COM%d , 'AUTO STOP' Please Any Key ";
inline constexpr std::string_view kSearchSuccess = "Successful connection!!";
inline constexpr std::string_view kSearchFailure = "Connection Failure!!";
inline constexpr std::string_view kSearchStopped = "Stop connecting!!";
// Pane 1 of the status bar: 24 spaces, then the COM number.
inline constexpr std::string_view kPortPaneFormat = "                        ComPort:%d";

}  // namespace orvex::texts
