#include <gtest/gtest.h>

#include "settings/QMDataMng.h"
#include "settings/RadioImage.h"

namespace orvex {
namespace {

TEST(FrequencyRoundTrip, EveryStepFromCodeToTextAndBack) {
    RadioSettings settings;
    for (unsigned code = kMinFrequencyCode; code <= kMaxFrequencyCode; ++code) {
        const std::string text = FrequencyTextFromCode(static_cast<std::uint16_t>(code));
        const FrequencyCheck check = ValidateFrequencyText(kFrequencyColumn, text);
        ASSERT_TRUE(check.accepted) << text;
        ASSERT_EQ(check.normalised, text);
        ASSERT_EQ(FrequencyCodeFromText(text), code) << text;
        const BlockFrequency rx = EncodeBlockFrequency(text, kReceiveOffsetMHz);
        const BlockFrequency tx = EncodeBlockFrequency(text, 0.0);
        ASSERT_TRUE(rx.ok && tx.ok);
        ASSERT_EQ(rx.high * 256 + rx.low, code + 4278) << text;  // 10.695 MHz = 4278 steps
        ASSERT_EQ(tx.high * 256 + tx.low, code) << text;
    }
}

}  // namespace
}  // namespace orvex
