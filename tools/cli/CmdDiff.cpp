// diff: two settings compared field by field, each a settings file or the
// radio, as the form would hold them.
#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tools/cli/CliJson.h"
#include "tools/cli/CliSession.h"
#include "ui/model/SettingsCompare.h"

namespace orvex::cli {
namespace {

// Which side is read from the radio rather than opened; a file of that
// name is given as ./radio.
constexpr std::string_view kRadioSide = "radio";

// diff's own statuses: scripts tell "different" from "could not compare".
constexpr int kDiffSame = kExitOk;
constexpr int kDiffDifferent = 1;
constexpr int kDiffTrouble = 2;

struct DiffOptions {
    std::vector<std::string> sides;
    std::string port;
    bool hasPort = false;
    bool json = false;
};

// An empty string when the arguments are fine, else the usage error.
std::string ParseDiffArgs(const Args& args, DiffOptions& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            o.json = true;
        } else if (a == "--port") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return "--port needs a device path or COMn";
            o.port = args[++i];
            o.hasPort = true;
        } else if (a.rfind("--", 0) == 0 || o.sides.size() == 2) {
            return "diff takes two settings files (or the word radio) and --json, --port DEV, not " + a;
        } else {
            o.sides.push_back(a);
        }
    }
    if (o.sides.size() != 2) return "diff needs two settings: files, or the word radio for what the radio holds";
    if (o.hasPort && o.sides[0] != kRadioSide && o.sides[1] != kRadioSide)
        return "--port is for reading the radio, and neither side is the word radio";
    return {};
}

// The radio's settings as Read from Radio leaves them in a form, on a form
// of the side's own; null when the read did not complete (the link has said
// why on stderr).
std::unique_ptr<FormModel> ReadRadio(const std::string& port, IPrompter& prompter) {
    CliSession session(port);
    // Every completed read is kept, whichever command made it.
    session.KeepBackups();
    session.Link().OnReadFromRadio();
    session.RunUntilSettled();
    if (session.Link().Outcome() != TransferOutcome::Completed) return nullptr;
    auto form = std::make_unique<FormModel>(prompter);
    form->StartUp();
    form->Restore(session.Form().Snapshot(), session.Form().Snapshot());
    return form;
}

void PrintJson(const DiffOptions& o, const FormComparison& c) {
    const std::string differences = JsonArray(c.fields, [](const SettingDifference& d) {
        return "{\"field\": " + JsonString(d.field) + ", \"a\": " + JsonString(d.first) + ", \"b\": " +
               JsonString(d.second) + "}";
    });
    std::string other = "null";
    if (!c.bytesCompared)
        other = "{\"count\": null, \"first_offset\": null}";
    else if (c.otherBytes)
        other = "{\"count\": " + std::to_string(c.otherBytes) + ", \"first_offset\": " +
                std::to_string(c.firstOtherOffset) + "}";
    std::printf("{\"a\": %s, \"b\": %s, \"same\": %s, \"differences\": %s, \"other_bytes\": %s}\n",
                JsonString(o.sides[0]).c_str(), JsonString(o.sides[1]).c_str(), c.Same() ? "true" : "false",
                differences.c_str(), other.c_str());
}

void PrintText(const DiffOptions& o, const FormComparison& c) {
    for (const std::string& line : ComparisonReport(c, o.sides[0], o.sides[1])) std::printf("%s\n", line.c_str());
}

}  // namespace

int CmdDiff(const Args& args) {
    DiffOptions o;
    if (const std::string error = ParseDiffArgs(args, o); !error.empty()) return UsageError(error);
    StderrPrompter prompter;
    std::unique_ptr<FormModel> forms[2];
    // The files first: one that is refused ends the command before the
    // radio is touched.
    for (int i = 0; i < 2; ++i) {
        if (o.sides[i] == kRadioSide) continue;
        forms[i] = std::make_unique<FormModel>(prompter);
        forms[i]->StartUp();
        if (!forms[i]->Open(o.sides[i])) return kDiffTrouble;
    }
    for (int i = 0; i < 2; ++i) {
        if (forms[i]) continue;
        forms[i] = ReadRadio(o.port, prompter);
        if (!forms[i]) return kDiffTrouble;
    }
    const FormComparison comparison = CompareForms(*forms[0], *forms[1]);
    if (o.json)
        PrintJson(o, comparison);
    else
        PrintText(o, comparison);
    return comparison.Same() ? kDiffSame : kDiffDifferent;
}

}  // namespace orvex::cli
