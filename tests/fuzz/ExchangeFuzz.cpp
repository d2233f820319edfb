// The CSV and JSON readers on arbitrary bytes: never a crash; a CSV they take
// reads back the same once written; and for a settings file the form opens,
// the bytes given or those an accepted JSON import wrote, importing its
// export writes exactly what resave writes.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "fuzz/FuzzSupport.h"
#include "settings/ChannelCsv.h"
#include "settings/JsonReader.h"
#include "tools/cli/FormJson.h"
#include "ui/model/FormModel.h"

using namespace orvex;

namespace {

// What the form saves after taking json on top of New; empty when refused.
std::string SavedAfterImport(const std::string& json, const std::string& path) {
    fuzz::SilentPrompter prompter;
    FormModel form(prompter);
    form.StartUp();
    form.New();
    if (const Outcome<void> applied = cli::ApplyFormJson(form, json); !applied) {
        if (applied.problem().Text().empty()) std::abort();  // a refusal always says why
        return {};
    }
    std::remove(path.c_str());
    if (!Save(form, path)) std::abort();  // what import took must be storable
    return fuzz::ReadFile(path);
}

void CheckCsv(std::string_view text) {
    const ChannelCsvRead read = ReadChannelCsv(text);
    if (!read) {
        if (read.problem().Text().empty()) std::abort();
        return;
    }
    const ChannelCsvRead again = ReadChannelCsv(WriteChannelCsv(read.value()));
    if (!again || again.value() != read.value()) std::abort();
}

void CheckSettingsFile(const std::uint8_t* data, std::size_t size) {
    static const std::string in = fuzz::ScratchFile("exchange-in.kvx");
    static const std::string resaved = fuzz::ScratchFile("exchange-resaved.kvx");
    static const std::string imported = fuzz::ScratchFile("exchange-imported.kvx");
    if (!fuzz::WriteFile(in, data, size)) return;
    fuzz::SilentPrompter prompter;
    FormModel form(prompter);
    form.StartUp();
    if (!form.Open(in)) return;
    std::remove(resaved.c_str());
    const std::string json = cli::FormJson(form);
    if (!Save(form, resaved)) std::abort();
    if (SavedAfterImport(json, imported) != fuzz::ReadFile(resaved)) std::abort();
}

void CheckJson(const std::string& text) {
    static const std::string once = fuzz::ScratchFile("json-once.kvx");
    const JsonParse parsed = ParseJson(text);
    if (!parsed.value) {
        if (parsed.error.empty()) std::abort();
        return;
    }
    const std::string saved = SavedAfterImport(text, once);
    // What an import wrote is a settings file like any other.
    if (!saved.empty()) CheckSettingsFile(reinterpret_cast<const std::uint8_t*>(saved.data()), saved.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 65536) return 0;
    const std::string text(reinterpret_cast<const char*>(data), size);
    CheckCsv(text);
    CheckJson(text);
    if (size == 2048) CheckSettingsFile(data, size);
    return 0;
}
