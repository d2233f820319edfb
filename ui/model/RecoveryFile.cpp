#include "ui/model/RecoveryFile.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <map>
#include <optional>
#include <vector>

#include "settings/CodeTables.h"
#include "settings/RadioSettings.h"
#include "ui/model/RecoveryTexts.h"

namespace orvex::recovery {

namespace {

// Keys of the lines, each written and read here only.
constexpr std::string_view kFormatKey = "format";
constexpr std::string_view kEndKey = "end";
constexpr std::string_view kRecordKey = "record.";  // 1..10
constexpr std::string_view kBandPlanKey = "bandPlan";
constexpr std::string_view kEmgChannelKey = "emgChannel";
constexpr std::string_view kChannelFlagsKey = "channelFlags";
constexpr std::string_view kAlignmentKey = "alignment";
constexpr std::string_view kSelectionsKey = "selections";
constexpr std::string_view kOptionFlagsKey = "optionFlags";
constexpr std::string_view kOptionBlockKey = "optionBlock";
constexpr std::string_view kToneAKey = "toneA";
constexpr std::string_view kToneBKey = "toneB";
constexpr std::string_view kModeSelKey = "modeSel";
constexpr std::string_view kCellKey = "cell.";  // 1..10
constexpr std::string_view kEmgItemsKey = "emgItems";
constexpr std::string_view kEmgItemKey = "emgItem.";  // 1..emgItems
constexpr std::string_view kEmgSelectionKey = "emgSelection";
constexpr std::string_view kCaptionKey = "caption";

// The "Emg Channel" list holds channel names; a count far above that is
// not a state the form could have been in.
constexpr int kMaxEmgItems = 256;

std::string Indexed(std::string_view key, int i) { return std::string(key) + std::to_string(i); }

std::string Replace(std::string_view format, std::string_view value) {
    std::string out(format);
    const std::size_t at = out.find('%');
    if (at != std::string::npos) out.replace(at, 2, value);
    return out;
}

// ---- Writing -------------------------------------------------------------

constexpr char kHexDigits[] = "0123456789abcdef";

template <std::size_t N>
std::string Hex(const std::array<std::uint8_t, N>& bytes) {
    std::string out;
    for (const std::uint8_t b : bytes) {
        out += kHexDigits[b >> 4];
        out += kHexDigits[b & 0xF];
    }
    return out;
}

// Cells and names hold whatever was typed or pasted: every byte a line
// could not carry as itself becomes \xHH, and the backslash doubles.
std::string Escape(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\') {
            out += "\\\\";
        } else if (b < 0x20 || b == 0x7F) {
            out += "\\x";
            out += kHexDigits[b >> 4];
            out += kHexDigits[b & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

// The shortest text that reads back as the same double.
std::string DoubleText(double value) {
    std::array<char, 64> buf{};
    const auto r = std::to_chars(buf.data(), buf.data() + buf.size(), value);
    return std::string(buf.data(), r.ptr);
}

template <typename Range>
std::string List(const Range& values) {
    std::string out;
    for (const auto v : values) {
        if (!out.empty()) out += ',';
        out += std::to_string(v);
    }
    return out;
}

class Writer {
public:
    void Line(std::string_view key, std::string_view value) {
        text.append(key).append("=").append(value).append("\n");
    }
    std::string text;
};

std::string EndLine(std::string_view body) {
    const std::uint32_t crc =
        Crc32({reinterpret_cast<const std::uint8_t*>(body.data()), body.size()});
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(crc));
    return std::string(kEndKey) + "=" + std::to_string(body.size()) + " " + buf + "\n";
}

// ---- Reading ---------------------------------------------------------------

std::optional<long long> ParseInt(std::string_view text) {
    long long value = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    if (r.ec != std::errc{} || r.ptr != text.data() + text.size()) return std::nullopt;
    return value;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::optional<std::string> Unescape(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out += text[i];
        } else if (i + 1 < text.size() && text[i + 1] == '\\') {
            out += '\\';
            ++i;
        } else if (i + 3 < text.size() && text[i + 1] == 'x' && HexDigit(text[i + 2]) >= 0 &&
                   HexDigit(text[i + 3]) >= 0) {
            out += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
            i += 3;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

// The body's lines by key; every getter refuses what Encode would never
// have written, and the first refusal names the key.
class Fields {
public:
    bool Add(std::string_view line) {
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0) return false;
        return m_values.emplace(std::string(line.substr(0, eq)), std::string(line.substr(eq + 1))).second;
    }

    long long Int(const std::string& key, long long min, long long max) {
        const std::string* text = Find(key);
        if (!text) return min;
        const auto v = ParseInt(*text);
        if (!v || *v < min || *v > max) return Fail(key), min;
        return *v;
    }

    template <typename T, std::size_t N>
    void Ints(const std::string& key, std::array<T, N>& out, long long min, long long max) {
        const std::string* text = Find(key);
        if (!text) return;
        std::string_view rest = *text;
        for (std::size_t i = 0; i < N; ++i) {
            const std::size_t comma = rest.find(',');
            const bool last = i + 1 == N;
            if (last != (comma == std::string_view::npos)) return Fail(key);
            const auto v = ParseInt(rest.substr(0, comma));
            if (!v || *v < min || *v > max) return Fail(key);
            out[i] = static_cast<T>(*v);
            if (!last) rest.remove_prefix(comma + 1);
        }
    }

    template <std::size_t N>
    void Bytes(const std::string& key, std::array<std::uint8_t, N>& out) {
        const std::string* text = Find(key);
        if (!text) return;
        if (text->size() != 2 * N) return Fail(key);
        for (std::size_t i = 0; i < N; ++i) {
            const int hi = HexDigit((*text)[2 * i]);
            const int lo = HexDigit((*text)[2 * i + 1]);
            if (hi < 0 || lo < 0) return Fail(key);
            out[i] = static_cast<std::uint8_t>(hi * 16 + lo);
        }
    }

    double Double(const std::string& key) {
        const std::string* text = Find(key);
        if (!text) return 0;
        double value = 0;
        const auto r = std::from_chars(text->data(), text->data() + text->size(), value);
        if (r.ec != std::errc{} || r.ptr != text->data() + text->size()) return Fail(key), 0;
        return value;
    }

    std::string Text(const std::string& key) {
        const std::string* text = Find(key);
        if (!text) return {};
        auto value = Unescape(*text);
        if (!value) return Fail(key), std::string{};
        return std::move(*value);
    }

    // A value read well that the form could still never hold.
    void Refuse(const std::string& key) { Fail(key); }

    // Every line was asked for: nothing unknown was in the file.
    bool AllUsed() const { return m_used == m_values.size(); }
    const std::string& FailedKey() const { return m_failedKey; }
    bool Failed() const { return !m_failedKey.empty(); }

private:
    const std::string* Find(const std::string& key) {
        if (Failed()) return nullptr;
        const auto it = m_values.find(key);
        if (it == m_values.end()) return Fail(key), nullptr;
        ++m_used;
        return &it->second;
    }
    void Fail(const std::string& key) {
        if (m_failedKey.empty()) m_failedKey = key;
    }

    std::map<std::string, std::string> m_values;
    std::size_t m_used = 0;
    std::string m_failedKey;
};

Decoded Refuse(std::string reason) {
    Decoded d;
    d.reason = std::move(reason);
    return d;
}

Decoded Damaged(std::string_view what) { return Refuse("damaged (" + std::string(what) + ")"); }

// First line and format line, before anything else is trusted: a newer
// version may have changed all the rest, even the end line.
std::optional<Decoded> CheckHead(std::string_view text, std::size_t& bodyStart) {
    const std::string magic = std::string(kMagicLine) + "\n";
    if (text.substr(0, magic.size()) != magic) {
        if (magic.starts_with(text)) return Refuse(std::string(texts::kRecoveryCutShort));
        return Refuse(std::string(texts::kRecoveryNotOurs));
    }
    const std::size_t lineEnd = text.find('\n', magic.size());
    if (lineEnd == std::string_view::npos) return Refuse(std::string(texts::kRecoveryCutShort));
    const std::string_view line = text.substr(magic.size(), lineEnd - magic.size());
    const std::string prefix = std::string(kFormatKey) + "=";
    if (!line.starts_with(prefix)) return Damaged(kFormatKey);
    const auto version = ParseInt(line.substr(prefix.size()));
    if (!version || *version < 0 || *version > 1000000) return Damaged(kFormatKey);
    const std::string number = std::to_string(*version);
    if (*version > kFormatVersion) return Refuse(Replace(texts::kRecoveryNewerFormat, number));
    if (*version < kFormatVersion) return Refuse(Replace(texts::kRecoveryOlderFormat, number));
    bodyStart = lineEnd + 1;
    return std::nullopt;
}

// The end line: the length and CRC-32 of everything before it.
std::optional<Decoded> CheckEnd(std::string_view text, std::size_t& endStart) {
    if (!text.ends_with('\n')) return Refuse(std::string(texts::kRecoveryCutShort));
    const std::size_t lastBreak = text.rfind('\n', text.size() - 2);
    endStart = lastBreak == std::string_view::npos ? 0 : lastBreak + 1;
    const std::string_view line = text.substr(endStart, text.size() - 1 - endStart);
    const std::string prefix = std::string(kEndKey) + "=";
    if (!line.starts_with(prefix)) return Refuse(std::string(texts::kRecoveryCutShort));
    const std::string_view rest = line.substr(prefix.size());
    const std::size_t space = rest.find(' ');
    if (space == std::string_view::npos) return Damaged(kEndKey);
    const auto length = ParseInt(rest.substr(0, space));
    const std::string_view crcText = rest.substr(space + 1);
    std::uint32_t crc = 0;
    const auto r = std::from_chars(crcText.data(), crcText.data() + crcText.size(), crc, 16);
    if (!length || crcText.size() != 8 || r.ec != std::errc{} || r.ptr != crcText.data() + crcText.size())
        return Damaged(kEndKey);
    if (*length > static_cast<long long>(endStart)) return Refuse(std::string(texts::kRecoveryCutShort));
    const std::string_view body = text.substr(0, endStart);
    if (*length != static_cast<long long>(endStart) ||
        Crc32({reinterpret_cast<const std::uint8_t*>(body.data()), body.size()}) != crc)
        return Refuse(std::string(texts::kRecoveryChecksum));
    return std::nullopt;
}

// The lines between the format line and the end line, each one key=value
// with a key of its own; the first that is not is named by its number.
std::optional<Decoded> ReadLines(std::string_view text, std::size_t bodyStart, std::size_t endStart, Fields& f) {
    int lineNumber = 2;
    for (std::size_t at = bodyStart; at < endStart;) {
        const std::size_t lineEnd = text.find('\n', at);  // the body ends with one
        ++lineNumber;
        if (!f.Add(text.substr(at, lineEnd - at))) return Damaged("line " + std::to_string(lineNumber));
        at = lineEnd + 1;
    }
    return std::nullopt;
}

// What the radio is written with; a value refused leaves its key in f.
void ReadSettings(Fields& f, RadioSettings& s) {
    for (int i = 0; i < kChannelCount; ++i) {
        std::array<std::uint8_t, ChannelEntry::kSize> bytes{};
        f.Bytes(Indexed(kRecordKey, i + 1), bytes);
        s.m_channels[i] = ChannelEntry::FromBytes(bytes);
    }
    // Settings values are written to the radio as they are: only what the
    // form itself ever holds is taken, so a crafted file cannot send a flag
    // byte of 5 or a selection beyond its list.
    s.m_nBandPlan = static_cast<std::uint8_t>(f.Int(std::string(kBandPlanKey), 0, 255));
    // Outside South Africa the form carries the byte a file or radio gave
    // unchanged; there it always names an entry of the list (or not found).
    const long long emgMax = s.m_nBandPlan == kBandPlanSouthAfrica ? kEmgChannelNotFound : 255;
    s.m_nEmgChannel = static_cast<std::uint8_t>(f.Int(std::string(kEmgChannelKey), 0, emgMax));
    f.Ints(std::string(kChannelFlagsKey), s.b_CHcheck, 0, 1);
    std::array<unsigned, 4> alignment{};
    f.Ints(std::string(kAlignmentKey), alignment, 0, UINT32_MAX);
    for (int i = 0; i < 4; ++i) {
        if (alignment[i] > kAlignmentSpecs[i].maximum) f.Refuse(std::string(kAlignmentKey));
        s.Alignment(i) = alignment[i];
    }
    std::array<int, kOptionListCount> selections{};
    f.Ints(std::string(kSelectionsKey), selections, -1, INT32_MAX);
    for (int i = 0; i < kOptionListCount; ++i) {
        if (LimitSelection(selections[i], OptionLists()[i].entries.size()) != selections[i])
            f.Refuse(std::string(kSelectionsKey));
        s.OptionSelection(i) = selections[i];
    }
    std::array<int, kOptionFlagCount> optionFlags{};
    f.Ints(std::string(kOptionFlagsKey), optionFlags, 0, 1);
    for (int i = 0; i < kOptionFlagCount; ++i) s.OptionFlag(i) = optionFlags[i];
    f.Bytes(std::string(kOptionBlockKey), s.m_optionBlock);
    s.m_dToneAFreq = f.Double(std::string(kToneAKey));
    s.m_dToneBFreq = f.Double(std::string(kToneBKey));
}

}  // namespace

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (const std::uint8_t b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

std::string Encode(const FormSnapshot& state) {
    const RadioSettings& s = state.settings;
    Writer w;
    w.text.append(kMagicLine).append("\n");
    w.Line(kFormatKey, std::to_string(kFormatVersion));
    for (int i = 0; i < kChannelCount; ++i) w.Line(Indexed(kRecordKey, i + 1), Hex(s.m_channels[i].ToBytes()));
    w.Line(kBandPlanKey, std::to_string(s.m_nBandPlan));
    w.Line(kEmgChannelKey, std::to_string(s.m_nEmgChannel));
    w.Line(kChannelFlagsKey, List(s.b_CHcheck));
    std::array<unsigned, 4> alignment{};
    for (int i = 0; i < 4; ++i) alignment[i] = s.Alignment(i);
    w.Line(kAlignmentKey, List(alignment));
    std::array<int, kOptionListCount> selections{};
    for (int i = 0; i < kOptionListCount; ++i) selections[i] = s.OptionSelection(i);
    w.Line(kSelectionsKey, List(selections));
    std::array<int, kOptionFlagCount> optionFlags{};
    for (int i = 0; i < kOptionFlagCount; ++i) optionFlags[i] = s.OptionFlag(i);
    w.Line(kOptionFlagsKey, List(optionFlags));
    w.Line(kOptionBlockKey, Hex(s.m_optionBlock));
    w.Line(kToneAKey, DoubleText(s.m_dToneAFreq));
    w.Line(kToneBKey, DoubleText(s.m_dToneBFreq));
    w.Line(kModeSelKey, std::to_string(state.modeSel));
    for (int i = 0; i < kChannelCount; ++i) w.Line(Indexed(kCellKey, i + 1), Escape(state.cells[i]));
    w.Line(kEmgItemsKey, std::to_string(state.emgItems.size()));
    for (std::size_t i = 0; i < state.emgItems.size(); ++i)
        w.Line(Indexed(kEmgItemKey, static_cast<int>(i) + 1), Escape(state.emgItems[i]));
    w.Line(kEmgSelectionKey, std::to_string(state.emgSelection));
    w.Line(kCaptionKey, Escape(state.caption));
    return w.text + EndLine(w.text);
}

Decoded Decode(std::string_view text) {
    std::size_t bodyStart = 0;
    if (auto refusal = CheckHead(text, bodyStart)) return std::move(*refusal);
    std::size_t endStart = 0;
    if (auto refusal = CheckEnd(text, endStart)) return std::move(*refusal);

    Fields f;
    if (auto refusal = ReadLines(text, bodyStart, endStart, f)) return std::move(*refusal);

    Decoded d;
    FormSnapshot& out = d.state;
    ReadSettings(f, out.settings);
    // The views index their lists with these: only what the form can hold.
    out.modeSel = static_cast<int>(f.Int(std::string(kModeSelKey), -1, kBandPlanCount - 1));
    for (int i = 0; i < kChannelCount; ++i) out.cells[i] = f.Text(Indexed(kCellKey, i + 1));
    const int items = static_cast<int>(f.Int(std::string(kEmgItemsKey), 0, kMaxEmgItems));
    for (int i = 0; i < items && !f.Failed(); ++i) out.emgItems.push_back(f.Text(Indexed(kEmgItemKey, i + 1)));
    out.emgSelection = static_cast<int>(f.Int(std::string(kEmgSelectionKey), -1, items - 1));
    out.caption = f.Text(std::string(kCaptionKey));

    if (f.Failed()) return Damaged(f.FailedKey());
    if (!f.AllUsed()) return Damaged("unknown lines");
    d.ok = true;
    return d;
}

Decoded Decode(std::span<const std::uint8_t> bytes) {
    return Decode(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

Decoded ReadFile(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    const filestore::Result r = filestore::ReadHead(path, kMaxFileBytes + 1, bytes);
    if (!r.ok()) return Refuse(r.problem().Text());  // names the path already
    Decoded d = bytes.size() > kMaxFileBytes ? Refuse(std::string(texts::kRecoveryTooLarge)) : Decode(bytes);
    if (!d.ok) d.reason = path + ": " + d.reason;
    return d;
}

filestore::Result WriteFile(const std::string& path, const FormSnapshot& state) {
    const std::string text = Encode(state);
    return filestore::ReplaceWholeFile(
        path, {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

}  // namespace orvex::recovery
