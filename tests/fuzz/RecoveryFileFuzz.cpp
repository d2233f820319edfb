// The recovery file on arbitrary bytes: never a crash, and whatever is
// taken is a state the form can be put into and that is stored again
// exactly as it was read. Each input is also tried with a true end line,
// so the fuzzer reaches the lines behind the checksum.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "ui/model/FormModel.h"
#include "ui/model/RecoveryFile.h"

using namespace orvex;

namespace {

std::string Sealed(std::string body) {
    const std::size_t end = body.rfind("\nend=");
    if (end != std::string::npos) body.resize(end + 1);
    if (!body.ends_with('\n')) body += '\n';
    const std::uint32_t crc = recovery::Crc32({reinterpret_cast<const std::uint8_t*>(body.data()), body.size()});
    char hex[9];
    std::snprintf(hex, sizeof hex, "%08x", static_cast<unsigned>(crc));
    return body + "end=" + std::to_string(body.size()) + " " + hex + "\n";
}

void Check(std::string_view input) {
    const recovery::Decoded decoded = recovery::Decode(input);
    if (!decoded.ok) {
        if (decoded.reason.empty()) std::abort();  // a refusal always says why
        return;
    }
    const std::string again = recovery::Encode(decoded.state);
    const recovery::Decoded twice = recovery::Decode(again);
    if (!twice.ok || recovery::Encode(twice.state) != again) std::abort();

    fuzz::SilentPrompter prompter;
    FormModel form(prompter);
    form.StartUp();
    if (!form.Restore(decoded.state) || recovery::Encode(form.Snapshot()) != again) std::abort();
    form.SetCellText(1, "27.0000");
    form.SelectEmgItem(0);
    form.OnModeSelect(kBandPlanSouthAfrica);
    form.ClickChannelBox(3);
    (void)form.ValuesForSave();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 65536) return 0;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    Check(input);
    Check(Sealed(std::string(input)));
    return 0;
}
