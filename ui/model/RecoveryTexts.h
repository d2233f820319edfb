#pragma once
// Texts of the unsaved-edits recovery: what the status line and the
// message boxes say, and why a recovery file is refused.
#include <string_view>

namespace orvex::texts {

// %s is the time the edits were last kept, "YYYY-MM-DD HH:MM".
inline constexpr std::string_view kRecoveryPendingFormat =
    "Unsaved edits from %s can be brought back: File > Restore Unsaved Edits";
inline constexpr std::string_view kRecoveryRefused = "The unsaved edits could not be brought back.";
// Followed by "<path>: <why>" of the first such file; the files stay as they are.
inline constexpr std::string_view kRecoveryUnreadable = "Unsaved edits that cannot be brought back were left in place: ";
// %d is how many more files could not be read.
inline constexpr std::string_view kRecoveryUnreadableMoreFormat = " (and %d more)";
// After a restore replaced unsaved edits of this session.
inline constexpr std::string_view kRecoveryKeptAside =
    "The edits the form had are kept: File > Restore Unsaved Edits brings them back";
// After New, Open or a read replaced unsaved edits.
inline constexpr std::string_view kRecoveryReplacedKept =
    "The edits the form had are kept: Edit > Undo or File > Restore Unsaved Edits brings them back";
// The same after a read's own news.
inline constexpr std::string_view kRecoveryReplacedKeptShort = "The edits the form had are kept: Edit > Undo";
// Followed by the reason the form's edits could not be written.
inline constexpr std::string_view kRecoveryAsideFailed = "The edits the form has now could not be kept first: ";
// Followed by the reason the file could not be written.
inline constexpr std::string_view kRecoveryNotKept = "Unsaved edits are not being kept: ";

inline constexpr std::string_view kRecoveryNotOurs = "not a recovery file of ORVEX Programmer";
// %d is the format number the file names.
inline constexpr std::string_view kRecoveryNewerFormat = "written by a newer version (format %d)";
inline constexpr std::string_view kRecoveryOlderFormat = "written by an older version (format %d)";
inline constexpr std::string_view kRecoveryCutShort = "cut short";
inline constexpr std::string_view kRecoveryChecksum = "damaged (checksum)";
inline constexpr std::string_view kRecoveryTooLarge = "too large to be a recovery file";

}  // namespace orvex::texts
