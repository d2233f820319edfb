#pragma once
// Everything a user could see or a later Save could write, as one text, so
// that "nothing changed" is a single comparison with a readable diff.
#include <sstream>
#include <string>

#include "ui/model/FormModel.h"

namespace orvex::test {

inline std::string FormState(const FormModel& form) {
    const RadioSettings& s = form.Settings();
    std::ostringstream o;
    for (int row = 1; row <= kChannelCount; ++row) o << "cell" << row << "=" << CellText(form, row) << "\n";
    for (const ChannelEntry& e : s.m_channels) {
        o << "record";
        for (int byte : e.ToBytes()) o << " " << byte;
        o << "\n";
    }
    o << "mode=" << form.ModeSelection() << " plan=" << int(s.m_nBandPlan) << " emg=" << int(s.m_nEmgChannel) << "\n";
    o << "flags=";
    for (int f : s.b_CHcheck) o << f;
    o << "\nemgList=";
    for (const std::string& item : form.EmgList().Items()) o << "[" << item << "]";
    o << " sel=" << form.EmgList().Selection() << "\n";
    o << "alignment=" << s.m_freqencyAdjust << "," << s.m_wfreqencyAdjust << "," << s.m_MaxPowerAdjust << ","
      << s.m_MinPowerAdjust << "\nselections=";
    for (int i = 0; i < kOptionListCount; ++i) o << s.OptionSelection(i) << ",";
    o << "\noptionFlags=";
    for (int i = 0; i < kOptionFlagCount; ++i) o << s.OptionFlag(i);
    o << "\noptionBlock=";
    for (int byte : s.m_optionBlock) o << byte << ",";
    o.precision(17);
    o << "\ntones=" << s.m_dToneAFreq << "," << s.m_dToneBFreq << "\n";
    o << "section=" << form.View().BandListEnabled() << form.View().SouthAfricaSetupEnabled() << "\n";
    o << "caption=" << form.Caption() << "\nstatus=" << form.View().StatusText() << " progress=" << form.View().Progress() << "\n";
    return o.str();
}

}  // namespace orvex::test
