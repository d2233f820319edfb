// Open on arbitrary bytes of any length: never a crash, and whatever Open
// accepts, Save stores so that opening and saving again changes nothing.
#include <cstdio>
#include <cstdlib>

#include "files/SettingsFile.h"
#include "fuzz/FuzzSupport.h"
#include "ui/model/FormModel.h"

using namespace orvex;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string in = fuzz::ScratchFile("in.kvx");
    static const std::string once = fuzz::ScratchFile("once.kvx");
    static const std::string twice = fuzz::ScratchFile("twice.kvx");
    if (size > 8192 || !fuzz::WriteFile(in, data, size)) return 0;
    fuzz::SilentPrompter prompter;
    FormModel form(prompter);
    form.StartUp();
    if (!form.Open(in)) return 0;
    std::remove(once.c_str());
    std::remove(twice.c_str());
    if (!Save(form, once)) std::abort();  // a file Open took must be storable again
    FormModel again(prompter);
    again.StartUp();
    if (!again.Open(once) || !Save(again, twice)) std::abort();
    if (fuzz::ReadFile(once) != fuzz::ReadFile(twice)) std::abort();
    return 0;
}
