// export and import: the form's values to and from CSV (the channels) and
// JSON (everything Save writes), for spreadsheets and scripts.
#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "files/FileStore.h"
#include "tools/cli/CliCommon.h"
#include "tools/cli/FormJson.h"
#include "ui/model/ChannelExchange.h"
#include "ui/model/FormModel.h"

namespace orvex::cli {
namespace {

enum class Format { Csv, Json };

bool EndsWithNoCase(const std::string& name, std::string_view suffix) {
    if (name.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        char c = name[name.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

std::optional<Format> FormatOfName(const std::string& name) {
    if (EndsWithNoCase(name, ".csv")) return Format::Csv;
    if (EndsWithNoCase(name, ".json")) return Format::Json;
    return std::nullopt;
}

struct Options {
    std::vector<std::string> files;
    std::optional<Format> format;
    std::string out, base;
    std::string usage;  // what is wrong, when not empty
};

Options ParseOptions(const Args& args, bool takesBase) {
    Options o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--csv" || a == "--json") {
            const Format f = a == "--csv" ? Format::Csv : Format::Json;
            if (o.format && *o.format != f) o.usage = "--csv and --json exclude each other";
            o.format = f;
        } else if (a == "-o" || (takesBase && a == "--base")) {
            if (i + 1 >= args.size() || args[i + 1].empty()) {
                o.usage = a + " needs a file name";
                return o;
            }
            (a == "-o" ? o.out : o.base) = args[++i];
        } else if (a.starts_with("-") && a != "-") {
            o.usage = "unknown option '" + a + "'";
        } else {
            o.files.push_back(a);
        }
        if (!o.usage.empty()) return o;
    }
    return o;
}

constexpr const char* kNothingWritten = "Nothing was written.";

int Refuse(const std::string& path, const std::string& why) {
    std::fprintf(stderr, "orvex-cli: %s: %s\n%s\n", path.c_str(), why.c_str(), kNothingWritten);
    return kExitFailed;
}

// An output that is the input itself would be overwritten before, or while,
// it is read.
bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(filestore::PathFromUtf8(a), filestore::PathFromUtf8(b), ec);
}

}  // namespace

int CmdExport(const Args& args) {
    const Options o = ParseOptions(args, false);
    if (!o.usage.empty()) return UsageError("export: " + o.usage);
    if (o.files.size() != 1) return UsageError("export takes one settings file: export FILE.kvx [--csv | --json] [-o OUT]");
    const Format format = o.format ? *o.format : FormatOfName(o.out).value_or(Format::Csv);
    if (!o.out.empty() && SameFile(o.files[0], o.out))
        return UsageError("export: -o names the settings file itself, which the export would replace");
    StderrPrompter prompter;
    FormModel form(prompter);
    form.StartUp();
    if (!form.Open(o.files[0])) return kExitFailed;
    const std::string text = format == Format::Json ? FormJson(form) + "\n" : ExportChannelCsv(form);
    if (o.out.empty()) {
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
            std::fprintf(stderr, "orvex-cli: export: standard output could not be written\n");
            return kExitFailed;
        }
        return kExitOk;
    }
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    const filestore::Result written = filestore::ReplaceWholeFile(o.out, {bytes, text.size()});
    if (!written.ok()) {
        std::fprintf(stderr, "orvex-cli: cannot write the export: %s\n", written.problem().Text().c_str());
        return kExitFailed;
    }
    return kExitOk;
}

int CmdImport(const Args& args) {
    const Options o = ParseOptions(args, true);
    if (!o.usage.empty()) return UsageError("import: " + o.usage);
    if (o.files.size() != 1 || o.out.empty())
        return UsageError("import takes one input and an output: import IN.csv|IN.json [--base FILE.kvx] -o OUT.kvx");
    const std::string& in = o.files[0];
    const std::optional<Format> format = o.format ? o.format : FormatOfName(in);
    if (!format) return UsageError("import: cannot tell the format of '" + in + "': name it .csv or .json, or give --csv or --json");
    if (SameFile(in, o.out)) return UsageError("import: -o names the input itself, which the import would replace");

    const Outcome<std::string> input = ReadImportFile(in);
    if (!input) return Refuse(in, input.problem().Text());
    const std::string& text = input.value();

    StderrPrompter prompter;
    FormModel form(prompter);
    form.StartUp();
    if (o.base.empty() ? !form.New() : !form.Open(o.base)) {
        std::fprintf(stderr, "%s\n", kNothingWritten);
        return kExitFailed;
    }
    if (*format == Format::Csv) {
        const Outcome<void> imported = ImportChannelCsv(form, text);
        if (!imported) return Refuse(in, imported.problem().Text());
    } else if (const Outcome<void> applied = ApplyFormJson(form, text); !applied) {
        return Refuse(in, applied.problem().Text());
    }
    return Save(form, o.out) ? kExitOk : kExitFailed;
}

}  // namespace orvex::cli
