#pragma once
// Why the programmer cannot reach the radio, found step by step: the device,
// the right to open it, the programs that hold it or would grab it, and one
// device check on the line. Each finding carries the fix a user can type.
// The system is read through a root folder and injected facts, so every
// finding can be produced from a made-up system.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/EventLoop.h"
#include "link/RadioPortBase.h"
#include "link/WindowsPorts.h"

namespace orvex {

enum class FindingResult { Ok, Problem, Note };

struct Finding {
    std::string check;   // a short stable key: "device", "permission", "holders", ...
    FindingResult result = FindingResult::Ok;
    std::string detail;  // what was found, one sentence
    std::string fix;     // what to do about it; "" when nothing is to be done
};

// How the front end that runs the checks sends its user to the cable's
// port; the defaults name the command-line tool's commands.
struct PortPickingAdvice {
    // The fix of a port that is not chosen or not there; empty for the
    // command-line tool's, which names a device as the system does.
    std::string pickFix;
    // Where the ports are listed, named inside a longer fix.
    std::string listedAt = "orvex-cli ports";
};

// What the checks learn about the system and the user who runs them, and
// how their fixes send the user to a port.
struct CheckSources {
    std::string root = "/";                 // /dev, /sys, /proc, /etc, udev rules beneath it
    std::string userName;                   // the login name
    std::vector<long> groupIds;             // the groups this login is in now
    std::optional<bool> mayOpen;            // unset: ask the system (access())
    long selfPid = 0;                       // not counted as a holder
    PortPickingAdvice picking;
};

// The facts of this process: its user, its groups and its pid, root "/".
CheckSources SourcesOfThisProcess();

// The checks that look at the system before the line test. On Windows they
// are CheckWindowsPort's of this system, and of sources only its picking is
// used.
std::vector<Finding> CheckDevice(const std::string& device, const CheckSources& sources);

// The checks found no device to test the line of: the line test would only
// repeat that.
bool DeviceIsMissing(const std::vector<Finding>& findings);

// On Windows: whether the port exists, whether its driver runs it (and any
// serial adapter Windows could not set up), and whether another program
// has it open, which shows only by opening it for a moment: the caller's
// own hold on the port must be let go first.
std::vector<Finding> CheckWindowsPort(const std::string& device, const WindowsPortSystem& system,
                                      const PortPickingAdvice& picking = {});

// What came back from the line after one device check byte.
enum class LineAnswer { Radio, EchoOnly, Silent, Other, NotTested };

LineAnswer ClassifyLineAnswer(const std::vector<std::uint8_t>& received);
// "answers", "echo-only", "silent", "other", "untested".
const char* LineAnswerName(LineAnswer answer);

struct LineTestResult {
    LineAnswer answer = LineAnswer::NotTested;
    std::vector<std::uint8_t> received;
    std::string openError;  // why the port did not open
};

// Opens device at 9600 8N1 on port, sends the device check byte once and
// listens for up to listenMs on loop's clock (less once the radio has
// answered). Nothing else is sent. The port is closed afterwards.
LineTestResult RunLineTest(IRadioPort& port, const std::string& device, EventLoop& loop, int listenMs = 600);

Finding LineFinding(const LineTestResult& result, const PortPickingAdvice& picking = {});

// Findings as plain text, one line each with an indented fix beneath: what
// `orvex-cli doctor` prints and a dialog can show as it is.
std::string FormatFindings(const std::vector<Finding>& findings);

}  // namespace orvex
