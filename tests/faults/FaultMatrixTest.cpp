// Every fault of the simulated radio, read and write, through the real port
// code: each ends within seconds with the system's message, leaves the table
// unlocked and the controls usable, and the next transfer on the same link
// works. Prints the matrix of cases and outcomes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>

#include "engine/support/Processes.h"
#include "link/CRadioPort.h"
#include "link/EventLoop.h"
#include "link/LinkTexts.h"
#include "link/RadioLink.h"
#include "ui/model/FormModel.h"

namespace orvex {
namespace {

using namespace std::chrono_literals;

class RecordingPrompter : public IPrompter {
public:
    MsgAnswer Show(const UserMessage& m) override {
        std::lock_guard lock(m_mutex);
        m_texts.push_back(m.text);
        return MsgAnswer::Ok;
    }
    std::vector<std::string> Texts() {
        std::lock_guard lock(m_mutex);
        return m_texts;
    }
    void Clear() {
        std::lock_guard lock(m_mutex);
        m_texts.clear();
    }

private:
    std::mutex m_mutex;
    std::vector<std::string> m_texts;
};

struct Case {
    const char* name;
    bool write;
    std::vector<std::string> faults;
    std::string_view expected;  // the message the user must see
    std::string_view orElse = {};  // or this one, where the fault's timing decides
};

struct Outcome {
    std::string messages;
    bool sawExpected = false;
    bool unlocked = false;
    bool controlsEnabled = false;
    bool nextWorked = false;
    bool settled = false;  // ended before the deadline
    long ms = 0;           // for the printed table only
};

std::string Join(const std::vector<std::string>& v) {
    std::string out;
    for (const auto& s : v) out += (out.empty() ? "" : " / ") + s;
    return out.empty() ? "(none)" : out;
}

Outcome RunCase(const Case& c, const std::string& dir, int index) {
    Outcome o;
    const std::string link = dir + "/radio" + std::to_string(index);
    RecordingPrompter prompter;
    FormModel form(prompter);
    form.StartUp();
    if (c.write) {
        form.SetCellText(1, "27.1250");
        form.SetCellText(4, "29.6000");
    }
    EventLoop loop(EventLoop::Clock::Real);
    CRadioLink radio(form, loop, std::make_unique<CRadioPort>(), [link](int) { return link; });
    auto settle = [&](std::chrono::milliseconds limit) {
        return loop.RunUntil([&] { return radio.Activity().Settled(); },
                             limit.count());
    };
    auto start = [&] {
        if (c.write)
            radio.OnWriteToRadio();
        else
            radio.OnReadFromRadio();
    };
    {
        test::SimProcess sim;
        std::vector<std::string> args;
        for (const auto& f : c.faults) args.insert(args.end(), {"--fault", f});
        if (sim.Start(link, args).empty()) return o;
        const auto t0 = std::chrono::steady_clock::now();
        start();
        o.settled = settle(15s);  // a deadline only against a hang; the times are printed, not judged
        o.ms = static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - t0).count());
        const auto texts = prompter.Texts();
        o.messages = Join(texts);
        for (const auto& t : texts) o.sawExpected = o.sawExpected || t == c.expected || (!c.orElse.empty() && t == c.orElse);
        o.unlocked = !form.View().IsTableLocked();
        o.controlsEnabled = form.View().BandListEnabled();
    }
    // The same link, the radio back in order: the next transfer works.
    test::SimProcess healthy;
    if (healthy.Start(link, {}).empty()) return o;
    prompter.Clear();
    start();
    settle(15s);
    o.nextWorked = radio.Outcome() == TransferOutcome::Completed;
    return o;
}

TEST(FaultMatrix, EveryFaultEndsCleanlyAndTheNextTransferWorks) {
    test::TempDir dir;
    const std::vector<Case> cases = {
        {"read: silent radio", false, {"silent"}, texts::kTimeout},
        {"write: silent radio", true, {"silent"}, texts::kTimeout},
        {"read: silent after the device check", false, {"mute-after=1"}, texts::kTimeout},
        {"read: silent after the handshake", false, {"mute-after=3"}, texts::kTimeout},
        {"read: silent after record 1", false, {"mute-after=5"}, texts::kTimeout},
        {"read: silent after record 6", false, {"mute-after=15"}, texts::kTimeout},
        {"write: silent after the handshake", true, {"mute-after=3"}, texts::kTimeout},
        {"write: silent after block 1", true, {"mute-after=15"}, texts::kTimeout},
        {"write: silent after block 7", true, {"mute-after=87"}, texts::kTimeout},
        {"read: device check refused", false, {"nak=chk"}, texts::kTimeout},
        {"write: device check refused", true, {"nak=chk"}, texts::kPleaseAgain},
        {"read: direction refused", false, {"nak=dir"}, texts::kTimeout},
        {"write: direction refused", true, {"nak=dir"}, texts::kPleaseAgain},
        {"read: record request refused once", false, {"nak=ready"}, texts::kUploadComplete},
        {"write: ready refused", true, {"nak=ready"}, texts::kPleaseAgain},
        {"read: record 4 refused once", false, {"nak=record:4"}, texts::kUploadComplete},
        {"write: block 3 answered wrongly", true, {"reply=3:0x55"}, texts::kChecksumError},
        {"write: closing byte answered wrongly", true, {"reply=11:0x55"}, texts::kChecksumError},
        {"read: short closing block", false, {"closing=10"}, texts::kTimeout},
        {"read: long closing block", false, {"closing=30"}, texts::kUploadComplete},
        {"read: noise bytes", false, {"noise=5"}, texts::kTimeout, texts::kUploadComplete},
        // A stray byte behind a block's answer is a wrong answer: the write
        // ends with the one message naming the blocks.
        {"write: noise bytes", true, {"noise=4"}, texts::kTimeout, texts::kChecksumError},
        {"read: 48-byte flood", false, {"flood=ready"}, texts::kTimeout},
        {"write: 48-byte flood", true, {"flood=ready"}, texts::kTimeout},
        {"read: line drops", false, {"hangup-after=8"}, texts::kPortLost},
        {"write: line drops", true, {"hangup-after=40"}, texts::kPortLost},
    };
    std::vector<Outcome> outcomes(cases.size());
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < cases.size(); ++i)
        threads.emplace_back([&, i] { outcomes[i] = RunCase(cases[i], dir.Path().string(), static_cast<int>(i)); });
    for (auto& t : threads) t.join();

    std::printf("\n%-40s %6s %-9s %-9s %-5s  %s\n", "case", "ms", "unlocked", "controls", "next", "messages");
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Outcome& o = outcomes[i];
        std::printf("%-40s %6ld %-9s %-9s %-5s  %s\n", cases[i].name, o.ms, o.unlocked ? "yes" : "NO",
                    o.controlsEnabled ? "yes" : "NO", o.nextWorked ? "ok" : "FAIL", o.messages.c_str());
    }
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const Outcome& o = outcomes[i];
        EXPECT_TRUE(o.sawExpected) << cases[i].name << ": expected \"" << cases[i].expected << "\", saw " << o.messages;
        EXPECT_TRUE(o.unlocked) << cases[i].name;
        EXPECT_TRUE(o.controlsEnabled) << cases[i].name;
        EXPECT_TRUE(o.nextWorked) << cases[i].name;
        EXPECT_TRUE(o.settled) << cases[i].name << ": the transfer never ended";
    }
}

}  // namespace
}  // namespace orvex
