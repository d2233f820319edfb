#include "tools/cli/FormJson.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>
#include <type_traits>

#include "settings/CodeTables.h"
#include "settings/JsonReader.h"
#include "settings/QMDataMng.h"
#include "tools/cli/CliJson.h"

namespace orvex::cli {
namespace {

// Bytes 3..10 of a channel record: band plan, emergency channel, six more.
constexpr std::size_t kRecordByteCount = 8;
constexpr int kFirstRecordByte = 3;

std::string IntOrNull(int value) { return value < 0 ? "null" : std::to_string(value); }

std::array<std::uint8_t, kRecordByteCount> RecordBytes(const ChannelEntry& r) {
    std::array<std::uint8_t, kRecordByteCount> b{r.m_nRadioBandPlan, r.m_nRadioEmgChannel};
    std::copy(r.m_tail.begin(), r.m_tail.end(), b.begin() + 2);
    return b;
}

// Exactly the double, NaN payloads and all, where the number alone cannot say.
std::string ToneBits(double value) {
    char buf[24];
    std::snprintf(buf, sizeof buf, "%016" PRIx64, std::bit_cast<std::uint64_t>(value));
    return JsonString(buf);
}

// ---- Reading -----------------------------------------------------------------

using Kind = JsonValue::Kind;

constexpr std::string_view kKnownKeys[] = {
    "band_plan", "emergency_channel", "channel_enable", "channels",   "alignment",   "option_flags", "selections",
    "option_block", "tone_a_hz",      "tone_b_hz",      "record_bytes", "tone_a_bits", "tone_b_bits",
};

std::string Key(std::string_view name) { return "key \"" + std::string(name) + "\""; }
std::string Index(const std::string& where, std::size_t i) { return where + "[" + std::to_string(i) + "]"; }
Problem Refused(const std::string& where, const std::string& why) { return Problem{.where = where, .why = why}; }

class Reader {
public:
    explicit Reader(Problem& problem) : m_problem(problem) {}

    bool Fail(const std::string& where, const std::string& why) {
        m_problem = Refused(where, why);
        return false;
    }

    std::optional<int> Int(const JsonValue& v, const std::string& where, int lo, int hi) {
        const bool whole = v.kind == Kind::Number && v.number >= lo && v.number <= hi &&
                           v.number == static_cast<double>(static_cast<int>(v.number));
        if (!whole) {
            Fail(where, "expected a whole number from " + std::to_string(lo) + " to " + std::to_string(hi) + ", got " +
                            v.Describe());
            return std::nullopt;
        }
        return static_cast<int>(v.number);
    }

    // An array of exactly count whole numbers lo..hi, each handed to take.
    bool IntArray(const JsonValue& v, const std::string& where, std::size_t count, int lo, int hi,
                  const std::function<void(std::size_t, int)>& take) {
        if (v.kind != Kind::Array || v.items.size() != count)
            return Fail(where, "expected an array of " + std::to_string(count) + " numbers, got " +
                                   (v.kind == Kind::Array ? std::to_string(v.items.size()) + " items" : v.Describe()));
        for (std::size_t i = 0; i < count; ++i) {
            const auto n = Int(v.items[i], Index(where, i), lo, hi);
            if (!n) return false;
            take(i, *n);
        }
        return true;
    }

    bool Channels(const JsonValue& v, kvx::KvxValues& values) {
        const std::string where = Key("channels");
        if (v.kind != Kind::Array || v.items.size() != kChannelCount)
            return Fail(where, "expected an array of " + std::to_string(kChannelCount) + " channels, got " +
                                   (v.kind == Kind::Array ? std::to_string(v.items.size()) + " items" : v.Describe()));
        std::array<bool, kChannelCount> seen{};
        for (std::size_t i = 0; i < v.items.size(); ++i) {
            const JsonValue& item = v.items[i];
            const std::string at = Index(where, i);
            if (item.kind != Kind::Object) return Fail(at, "expected an object, got " + item.Describe());
            for (const std::string& name : item.names)
                if (name != "label" && name != "frequency") return Fail(at, "unknown key \"" + name + "\"");
            const JsonValue* label = item.Find("label");
            const JsonValue* frequency = item.Find("frequency");
            if (!label || !frequency) return Fail(at, std::string("missing key \"") + (label ? "frequency" : "label") + "\"");
            if (label->kind != Kind::String) return Fail(at + ".label", "expected a text such as \"P1\", got " + label->Describe());
            const int row = RowOfLabel(label->text);
            if (row == 0) return Fail(at + ".label", "unknown channel " + label->Describe() + std::string(kChannelLabelsNamed));
            if (seen[row - 1]) return Fail(at + ".label", "channel " + RowLabel(row) + " appears twice");
            seen[row - 1] = true;
            const std::string fat = at + " (" + RowLabel(row) + ").frequency";
            if (frequency->kind != Kind::String)
                return Fail(fat, "expected a text such as \"27.1250\" or \"\", got " + frequency->Describe());
            const std::string& text = frequency->text;
            if (!IsDigitsAndPoint(text)) return Fail(fat, frequency->Describe() + " is not a frequency in MHz (such as \"27.1250\", or \"\" for none)");
            PackError why = PackError::None;
            const auto code = FrequencyCodeFromText(text, &why);
            if (!code)
                return Fail(fat, frequency->Describe() + (why == PackError::OffStep ? std::string(kNotOnStep)
                                                                                   : std::string(" is too large to be stored")));
            values.records[row - 1].m_wFreq = *code;
        }
        return true;
    }

    bool Selections(const JsonValue& v, kvx::KvxValues& values) {
        const std::string where = Key("selections");
        if (v.kind != Kind::Object) return Fail(where, "expected an object, got " + v.Describe());
        for (std::size_t m = 0; m < v.names.size(); ++m) {
            const std::string& name = v.names[m];
            const JsonValue& value = v.items[m];
            int id = 0;
            const auto [ptr, ec] = std::from_chars(name.data(), name.data() + name.size(), id);
            const int list = (ec == std::errc() && ptr == name.data() + name.size()) ? OptionListIndex(id) : -1;
            const std::string at = where + ".\"" + name + "\"";
            if (list < 0) return Fail(at, "not the number of an option list");
            if (value.kind == Kind::Null) {
                values.optionSelections[list] = 0xFF;
                continue;
            }
            const auto n = Int(value, at, 0, 254);
            if (!n) return false;
            values.optionSelections[list] = static_cast<std::uint8_t>(*n);
        }
        return true;
    }

    bool Records(const JsonValue& records, kvx::KvxValues& values) {
        const std::string where = Key("record_bytes");
        if (records.kind != Kind::Array || records.items.size() != kChannelCount)
            return Fail(where, "expected an array of " + std::to_string(kChannelCount) + " arrays, got " +
                                   records.Describe());
        for (int r = 0; r < kChannelCount; ++r) {
            ChannelEntry& e = values.records[r];
            const bool ok = IntArray(records.items[r], Index(where, r), kRecordByteCount, 0, 255,
                                     [&](std::size_t i, int n) {
                                         const auto b = static_cast<std::uint8_t>(n);
                                         if (i == 0)
                                             e.m_nRadioBandPlan = b;
                                         else if (i == 1)
                                             e.m_nRadioEmgChannel = b;
                                         else
                                             e.m_tail[i - 2] = b;
                                     });
            if (!ok) return false;
        }
        return true;
    }

    bool Tone(const JsonValue* hz, const JsonValue* bits, std::string_view hzKey, std::string_view bitsKey, double& tone) {
        std::optional<double> exact;
        if (bits) {
            std::uint64_t raw = 0;
            const std::string& t = bits->text;
            const auto [ptr, ec] = std::from_chars(t.data(), t.data() + t.size(), raw, 16);
            if (bits->kind != Kind::String || t.size() != 16 || ec != std::errc() || ptr != t.data() + t.size())
                return Fail(Key(bitsKey), "expected 16 hexadecimal digits, got " + bits->Describe());
            exact = std::bit_cast<double>(raw);
        }
        // A number says it all; the bits speak where JSON has no number.
        if (hz && hz->kind == Kind::Number) {
            tone = hz->number;
        } else if (hz && hz->kind != Kind::Null) {
            return Fail(Key(hzKey), "expected a number or null, got " + hz->Describe());
        } else if (exact) {
            tone = *exact;
        } else if (hz) {
            return Fail(Key(hzKey), "is null (not a finite number) and " + Key(bitsKey) + " is missing");
        }
        return true;
    }

private:
    Problem& m_problem;
};

// Each key the document gives replaces what the base had; the first value
// refused ends the reading, its problem in the reader's.
bool ReadValues(Reader& read, const JsonValue& doc, kvx::KvxValues& v, std::array<int, kOptionFlagCount>& flags) {
    if (const JsonValue* plan = doc.Find("band_plan")) {
        if (plan->kind == Kind::Null) {
            v.bandPlan = 0xFF;
        } else {
            const auto n = read.Int(*plan, Key("band_plan"), 0, kBandPlanCount - 1);
            if (!n) return false;
            v.bandPlan = static_cast<std::uint8_t>(*n);
        }
    }
    if (const JsonValue* emg = doc.Find("emergency_channel")) {
        const auto n = read.Int(*emg, Key("emergency_channel"), 0, 255);
        if (!n) return false;
        v.emgChannel = static_cast<std::uint8_t>(*n);
    }
    auto bytes = [&](const char* key, auto& target, int hi) {
        const JsonValue* value = doc.Find(key);
        return !value || read.IntArray(*value, Key(key), target.size(), 0, hi, [&](std::size_t i, int n) {
            target[i] = static_cast<std::remove_reference_t<decltype(target[0])>>(n);
        });
    };
    if (!bytes("channel_enable", v.channelEnable, 1) || !bytes("alignment", v.alignment, 255) ||
        !bytes("option_flags", flags, 1) || !bytes("option_block", v.optionBlock, 255))
        return false;
    if (!read.Channels(*doc.Find("channels"), v)) return false;
    if (const JsonValue* s = doc.Find("selections"); s && !read.Selections(*s, v)) return false;
    if (const JsonValue* records = doc.Find("record_bytes"); records && !read.Records(*records, v)) return false;
    return read.Tone(doc.Find("tone_a_hz"), doc.Find("tone_a_bits"), "tone_a_hz", "tone_a_bits", v.toneA) &&
           read.Tone(doc.Find("tone_b_hz"), doc.Find("tone_b_bits"), "tone_b_hz", "tone_b_bits", v.toneB);
}

// Compares what the form keeps with what was asked, for the keys given.
Outcome<void> CheckKept(const JsonValue& doc, const kvx::KvxValues& asked, const kvx::KvxValues& kept) {
    if (doc.Find("emergency_channel") && asked.emgChannel != kept.emgChannel)
        return Refused(Key("emergency_channel"),
                       std::to_string(asked.emgChannel) +
                           " does not go with this band plan and these channel_enable flags; the form would store " +
                           std::to_string(kept.emgChannel));
    if (doc.Find("alignment"))
        for (int i = 0; i < 4; ++i)
            if (asked.alignment[i] != kept.alignment[i])
                return Refused(Index(Key("alignment"), i), std::to_string(asked.alignment[i]) +
                                                               " is beyond the largest value, " +
                                                               std::to_string(kAlignmentSpecs[i].maximum));
    if (doc.Find("selections"))
        for (int i = 0; i < kOptionListCount; ++i)
            if (asked.optionSelections[i] != kept.optionSelections[i])
                return Refused(Key("selections") + ".\"" + std::to_string(OptionLists()[i].controlId) + "\"",
                               std::to_string(asked.optionSelections[i]) + " is not an entry of that list, which has " +
                                   std::to_string(OptionLists()[i].entries.size()));
    if (doc.Find("record_bytes"))
        for (int r = 0; r < kChannelCount; ++r) {
            const auto a = RecordBytes(asked.records[r]), k = RecordBytes(kept.records[r]);
            for (std::size_t i = 0; i < kRecordByteCount; ++i)
                if (a[i] != k[i])
                    return Refused(Index(Index(Key("record_bytes"), r), i) + " (" + RowLabel(r + 1) +
                                       ", record byte " + std::to_string(i + kFirstRecordByte) + ")",
                                   std::to_string(a[i]) + " is beyond what the radio takes there; the form would store " +
                                       std::to_string(k[i]));
        }
    return {};
}

}  // namespace

std::string FormJson(const FormModel& form) {
    const RadioSettings& s = form.Settings();
    auto num = [](auto v) { return std::to_string(v); };
    std::string channels = "[";
    for (int row = 1; row <= kChannelCount; ++row) {
        if (row > 1) channels += ", ";
        channels += "{\"label\": " + JsonString(RowLabel(row)) + ", \"frequency\": " + JsonString(CellText(form, row)) + "}";
    }
    channels += "]";
    std::array<unsigned, 4> alignment{};
    for (int i = 0; i < 4; ++i) alignment[i] = s.Alignment(i);
    std::array<int, kOptionFlagCount> flags{};
    for (int i = 0; i < kOptionFlagCount; ++i) flags[i] = s.OptionFlag(i);
    std::string selections = "{";
    for (int i = 0; i < kOptionListCount; ++i) {
        if (i) selections += ", ";
        selections += "\"" + std::to_string(OptionLists()[i].controlId) + "\": " + IntOrNull(s.OptionSelection(i));
    }
    selections += "}";
    const std::string records =
        JsonArray(s.m_channels, [&](const ChannelEntry& r) { return JsonArray(RecordBytes(r), num); });

    return "{\"band_plan\": " + IntOrNull(form.ModeSelection()) +
           ", \"emergency_channel\": " + std::to_string(EmgChannelForSave(form)) +
           ", \"channel_enable\": " + JsonArray(s.b_CHcheck, num) + ", \"channels\": " + channels +
           ", \"alignment\": " + JsonArray(alignment, num) + ", \"option_flags\": " + JsonArray(flags, num) +
           ", \"selections\": " + selections + ", \"option_block\": " + JsonArray(s.m_optionBlock, num) +
           ", \"tone_a_hz\": " + JsonFinite(s.m_dToneAFreq) + ", \"tone_b_hz\": " + JsonFinite(s.m_dToneBFreq) +
           ", \"record_bytes\": " + records + ", \"tone_a_bits\": " + ToneBits(s.m_dToneAFreq) +
           ", \"tone_b_bits\": " + ToneBits(s.m_dToneBFreq) + "}";
}

Outcome<void> ApplyFormJson(FormModel& form, std::string_view text) {
    const JsonParse parsed = ParseJson(text);
    if (!parsed.value) return Problem{.why = parsed.error};
    const JsonValue& doc = *parsed.value;
    if (doc.kind != Kind::Object) return Refused("the document", "expected an object, got " + doc.Describe());
    for (const std::string& name : doc.names)
        if (std::find(std::begin(kKnownKeys), std::end(kKnownKeys), name) == std::end(kKnownKeys))
            return Refused(Key(name), "unknown key");
    if (!doc.Find("channels")) return Refused(Key("channels"), "missing: the document must list the channels");

    std::optional<kvx::KvxValues> base = form.ValuesForSave();
    if (!base) return Refused("the base", "its channel table cannot be stored");
    kvx::KvxValues v = *base;
    std::array<int, kOptionFlagCount> flags{};
    for (int i = 0; i < kOptionFlagCount; ++i) flags[i] = form.Settings().OptionFlag(i);

    Problem problem;
    Reader read(problem);
    if (!ReadValues(read, doc, v, flags)) return problem;

    const FormSnapshot before = form.Snapshot(), baseline = form.Baseline();
    if (!form.Load(v)) return Refused("the form", "a transfer is running");
    // Loading clears the option flags, as opening a file does; the document's
    // (or the base's) are put back.
    FormSnapshot state = form.Snapshot();
    for (int i = 0; i < kOptionFlagCount; ++i) state.settings.OptionFlag(i) = flags[i];
    form.Restore(state, state);
    const std::optional<kvx::KvxValues> kept = form.ValuesForSave();
    const Outcome<void> checked = kept ? CheckKept(doc, v, *kept) : Problem{.what = "the imported channels cannot be stored"};
    if (!checked) form.Restore(before, baseline);
    return checked;
}

}  // namespace orvex::cli
