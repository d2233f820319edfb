// show: open a settings file and print what the form would show.
#include <cstdio>
#include <string>

#include "settings/CodeTables.h"
#include "settings/QMDataMng.h"
#include "tools/cli/CliCommon.h"
#include "tools/cli/CliJson.h"
#include "tools/cli/FormJson.h"
#include "ui/model/FormModel.h"
#include "ui/model/VerifyTexts.h"

namespace orvex::cli {
namespace {

void PrintTable(const FormModel& form) {
    const RadioSettings& s = form.Settings();
    std::printf("%s\n\n", form.Caption().c_str());
    std::printf("  P   CH   FREQUENCY\n");
    for (int row = 1; row <= kChannelCount; ++row)
        std::printf("  %-3s %2d   %s\n", RowLabel(row).c_str(), row, CellText(form, row).c_str());
    const int plan = form.ModeSelection();
    const std::string none(texts::kNoneShown);
    const std::string planText = plan < 0 ? none : std::string(BAND_PLAN_NAMES[plan]);
    const std::string emgText = form.EmgList().ShownText().empty() ? none : form.EmgList().ShownText();
    std::printf("\nMode Select   : %s\n", planText.c_str());
    std::printf("Emg Channel   : %s (stored as %d)\n", emgText.c_str(), EmgChannelForSave(form));
    std::printf("Channel Enable:");
    for (int n = 1; n <= kChannelEnableCount; ++n)
        if (s.b_CHcheck[n - 1]) std::printf(" %s", std::string(ChannelCaption(n)).c_str());
    std::printf("\nAlignment     : %u %u %u %u\n", s.m_freqencyAdjust, s.m_wfreqencyAdjust, s.m_MaxPowerAdjust,
                s.m_MinPowerAdjust);
    std::printf("Option flags  :");
    for (int i = 0; i < kOptionFlagCount; ++i) std::printf(" %d", s.OptionFlag(i));
    std::printf("\nSelections    :");
    for (int i = 0; i < kOptionListCount; ++i) {
        const int sel = s.OptionSelection(i);
        std::printf(" %d=%s", OptionLists()[i].controlId, sel < 0 ? "-" : std::to_string(sel).c_str());
    }
    std::printf("\nTones         : %s Hz, %s Hz\n", JsonNumber(s.m_dToneAFreq).c_str(), JsonNumber(s.m_dToneBFreq).c_str());
}

}  // namespace

int CmdShow(const Args& args) {
    bool json = false;
    std::string path;
    for (const std::string& a : args) {
        if (a == "--json")
            json = true;
        else if (path.empty() && !a.starts_with("--"))
            path = a;
        else
            return UsageError("show takes one file name and optionally --json");
    }
    if (path.empty()) return UsageError("show needs a file name");
    StderrPrompter prompter;
    FormModel form(prompter);
    form.StartUp();
    if (!form.Open(path)) return kExitFailed;
    if (json)
        std::printf("%s\n", FormJson(form).c_str());
    else
        PrintTable(form);
    return kExitOk;
}

}  // namespace orvex::cli
