#pragma once
// The form as one JSON object (show --json, export --json) and the way back
// (import): one printer and one reader for both directions.
#include <string>
#include <string_view>

#include "ui/model/FormModel.h"

namespace orvex::cli {

// The object on one line, without a line end.
std::string FormJson(const FormModel& form);

// Puts the values of a FormJson document into the form, which holds the
// values the document does not carry. "channels" is required, every other
// key optional. A value the form would not keep as given is refused: on any
// refusal the problem names the key and the value, and the form's values are
// as they were. The values are taken as Open takes a file's, so the form's
// undo history starts anew either way.
Outcome<void> ApplyFormJson(FormModel& form, std::string_view text);

}  // namespace orvex::cli
