// orvex-cli: the radio's settings from the command line, through the same
// form model the desktop application uses.
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "orvex/Version.h"
#include "tools/cli/CliCommon.h"
#include "tools/cli/CliPlatform.h"

namespace {

constexpr const char* kUsage =
    "usage: orvex-cli COMMAND [ARGS]\n"
    "\n"
    "  new FILE            write the settings file Save writes right after start-up\n"
    "  show FILE [--json]  open FILE and print what the form would show\n"
    "  resave IN OUT       open IN, then save it to OUT\n"
    "  diff A B [--json] [--port DEV]  print each setting A and B hold differently; A and B are\n"
    "                      settings files or the word radio (read the radio); exit 0 when the same,\n"
    "                      1 when different, 2 when one could not be opened or read\n"
    "  export FILE [--csv | --json] [-o OUT]\n"
    "                      open FILE and print its channels as CSV (Channel,Frequency), or\n"
    "                      everything it holds as JSON (the object show --json prints)\n"
    "  import IN.csv|IN.json [--base FILE] -o OUT\n"
    "                      open FILE (without --base: the values New gives), take in the\n"
    "                      channels of a CSV or the values of a JSON, then save to OUT; a bad\n"
    "                      row or value is named and nothing is written\n"
    "  read --port DEV -o FILE   read the radio, then save what was read to FILE\n"
    "  write --port DEV FILE     open FILE, then write it to the radio\n"
    "  write --verify --port DEV FILE  read the radio (kept as a backup), write FILE, read it\n"
    "                      back and compare: prints VERIFY OK and exits 0 only when it matches\n"
    "                      DEV is a device path (/dev/ttyUSB0) or a COM name (COM3);\n"
    "                      without --port, the port remembered by the last search\n"
    "  ports [--json]      list the COM numbers, their devices, adapters and who holds them\n"
    "  search              Auto Search: find the radio's port and remember it (Ctrl+C stops)\n"
    "  doctor [--port DEV] [--json]  check the port, the user's rights, programs in the way\n"
    "                      and the line, with the fix for each problem; exit 0 when the radio answers\n"
    "  backups [--json]    list the backups every read keeps, newest first\n"
    "  clone FILE [--count N] [--report FILE.csv] [--port DEV]\n"
    "                      write FILE to radio after radio on one cable: wait for each, back it up,\n"
    "                      write and verify it, append a report row, wait until it is taken away;\n"
    "                      Ctrl+C ends after the current radio; exit 0 when every radio verified\n"
    "  help, --help        this text\n"
    "  --version           the program's name and version\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace orvex::cli;
    const Utf8Console console;
    Args args = CommandLineArguments(argc, argv);
    if (args.empty()) return UsageError("no command given");
    const std::string command = args.front();
    args.erase(args.begin());
    if (command == "help" || command == "--help" || command == "-h") {
        std::fputs(kUsage, stdout);
        return kExitOk;
    }
    if (command == "--version") {
        std::printf("orvex-cli %.*s\n", static_cast<int>(orvex::kVersion.size()), orvex::kVersion.data());
        return kExitOk;
    }
    static const std::map<std::string, int (*)(const Args&)> commands = {
        {"new", CmdNew},
        {"show", CmdShow},
        {"resave", CmdResave},
        {"read", CmdRead},
        {"write", CmdWrite},
        {"ports", CmdPorts},
        {"search", CmdSearch},
        {"doctor", CmdDoctor},
        {"clone", CmdClone},
        {"backups", CmdBackups},
        {"diff", CmdDiff},
        {"export", CmdExport},
        {"import", CmdImport},
    };
    const auto it = commands.find(command);
    if (it == commands.end()) return UsageError("unknown command '" + command + "'");
    return it->second(args);
}
