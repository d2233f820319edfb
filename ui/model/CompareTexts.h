#pragma once
// Texts of comparing two settings (Compare with File, orvex-cli diff). A
// %s stands for the value named in the comment, in order.
#include <string_view>

namespace orvex::texts {

// Between the two values of a difference, and between the two sides'
// names in the header line above them.
inline constexpr std::string_view kCompareSeparator = " | ";
// "Other stored bytes: 3 differ, the first at offset 1815 (tones)".
inline constexpr std::string_view kOtherBytesField = "Other stored bytes";
// How many, the offset with the part of the file it lies in.
inline constexpr std::string_view kOtherByteDiffers = "%s differs, at offset %s";
inline constexpr std::string_view kOtherBytesDiffer = "%s differ, the first at offset %s";
inline constexpr std::string_view kOtherBytesNotCompared =
    "not compared: a frequency above cannot be stored as it stands";
// The file's name.
inline constexpr std::string_view kFormSameAsFile = "The form and %s hold the same settings.";
inline constexpr std::string_view kFormDiffersOnce = "1 difference between the form and %s";
// How many, the file's name.
inline constexpr std::string_view kFormDiffers = "%s differences between the form and %s";
// The form's side in the header line.
inline constexpr std::string_view kTheForm = "the form";
// The two sides' names.
inline constexpr std::string_view kSidesSame = "%s and %s hold the same settings.";

}  // namespace orvex::texts
