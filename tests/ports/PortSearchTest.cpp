// Auto Search and Auto Stop in virtual time: which ports are probed when,
// what the status line and the port pane say, and what is remembered.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "link/PortSettingsFile.h"
#include "ports/support/SearchRig.h"
#include "settings/ProtocolBytes.h"

namespace orvex {
namespace {

using test::CheckingText;
using test::kRangeHint;
using test::PaneText;
using test::SearchRig;
using test::SimDevice;
using Change = test::StatusLog::Change;

constexpr int kWaitMs = 500;  // from the command to the first checking text
constexpr int kTickMs = 200;

// When a search started at t0 probes COM n: the first at once after the
// wait, then one a tick.
std::int64_t TickTime(std::int64_t t0, int com) { return t0 + kWaitMs + (com - 1) * kTickMs; }

// The radio's answer is reported as soon as it is in, within the tick of the
// probe it answers.
void ExpectFoundWithinTheProbesTick(std::int64_t atMs, std::int64_t t0, int com) {
    EXPECT_GT(atMs, TickTime(t0, com));
    EXPECT_LT(atMs, TickTime(t0, com + 1));
}

void ExpectProbes(const SearchRig& rig, std::int64_t t0, int first, int last) {
    const auto opens = rig.port->OpensFrom(rig.searchMark);
    ASSERT_EQ(opens.size(), static_cast<std::size_t>(last - first + 1));
    for (int com = first; com <= last; ++com) {
        const auto& o = opens[static_cast<std::size_t>(com - first)];
        EXPECT_EQ(o.name, SimDevice(com));
        EXPECT_EQ(o.atMs, TickTime(t0, com)) << "probe of COM" << com;
    }
}

TEST(PortSearch, FindsTheRadioOnCom3ProbingOnePortATickAndRemembersIt) {
    SearchRig rig;
    rig.PlaceRadio(3);
    rig.Refuse(1);
    rig.Refuse(4);
    rig.SetFileText("0\n");
    const std::int64_t t0 = rig.StartSearch();
    ASSERT_TRUE(rig.RunUntilSettled());

    ASSERT_EQ(rig.prompter.seen.size(), 1u);
    const auto& shown = rig.prompter.seen[0];
    EXPECT_EQ(shown.message.text, "Successful connection!!");
    EXPECT_EQ(shown.message.icon, MsgIcon::None);
    EXPECT_EQ(shown.message.buttons, MsgButtons::Ok);
    ExpectFoundWithinTheProbesTick(shown.atMs, t0, 3);

    EXPECT_EQ(rig.log->StatusSince(t0), (std::vector<Change>{{t0 + 500, CheckingText(1)},
                                                             {TickTime(t0, 2), CheckingText(2)},
                                                             {TickTime(t0, 3), CheckingText(3)},
                                                             {shown.atMs, std::string(kRangeHint)}}));
    ExpectProbes(rig, t0, 1, 3);
    EXPECT_FALSE(rig.port->opens[0].ok);

    EXPECT_EQ(rig.FileText(), "2\n");
    EXPECT_EQ(rig.form.View().PortPaneText(), PaneText(3));
    EXPECT_EQ(rig.link->ConfiguredPort(), 2);
    EXPECT_TRUE(rig.port->IsConnected());
    EXPECT_EQ(rig.port->OpenedName(), SimDevice(3));
    // The radio saw the device check and the answer to its acknowledge.
    EXPECT_EQ(rig.port->WrittenBytes(), (test::Bytes{QM_PROTO_CHK_DEV, QM_PROTO_SET_UPLOAD}));

    // Afterwards nothing more happens until the user acts.
    const std::size_t mark = rig.port->Mark();
    rig.loop.RunFor(5000);
    EXPECT_EQ(rig.port->Mark(), mark);
    EXPECT_EQ(rig.prompter.seen.size(), 1u);

    // The port found is the one a read then uses.
    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
    EXPECT_EQ(rig.prompter.LastText(), "UPLOAD COMPLETE");
    EXPECT_EQ(rig.port->opens.back().name, SimDevice(3));
}

// A standard Windows user may not write the first place: the search
// succeeds all the same, and the status line says where the port went.
TEST(PortSearch, APortTheFileCannotTakeGoesToTheSecondPlace) {
    SearchRig rig;
    rig.PlaceRadio(2);
    std::filesystem::create_directories(rig.portFile + "/in-the-way");
    const PortSettingsPlaces places(rig.portFile, rig.dir.File("Local/ORVEX/ORVEX.CFG"));
    rig.search.reset();
    rig.search = std::make_unique<CPortSearch>(rig.form, *rig.link, rig.loop, places);
    rig.StartSearch();
    ASSERT_TRUE(rig.RunUntilSettled());

    ASSERT_EQ(rig.prompter.seen.size(), 1u);
    EXPECT_EQ(rig.prompter.seen[0].message.text + rig.prompter.seen[0].message.detail, "Successful connection!!");
    EXPECT_EQ(rig.form.View().StatusText(), MovedPortSettingsText(2, places));
    EXPECT_EQ(ReadPortSettingsFrom(places).index, 1);
}

TEST(PortSearch, PortsThatCannotBeOpenedCostOnlyTheirTick) {
    SearchRig rig;
    rig.PlaceRadio(6);
    for (int com = 1; com <= 5; ++com) rig.Refuse(com);
    const std::int64_t t0 = rig.StartSearch();
    ASSERT_TRUE(rig.RunUntilSettled());

    // One attempt each, no retry, no message, no time beyond the tick.
    ExpectProbes(rig, t0, 1, 6);
    ASSERT_EQ(rig.prompter.seen.size(), 1u);
    EXPECT_EQ(rig.prompter.seen[0].message.text, "Successful connection!!");
    ExpectFoundWithinTheProbesTick(rig.prompter.seen[0].atMs, t0, 6);
    EXPECT_EQ(rig.FileText(), "5\n");
}

TEST(PortSearch, WithNoRadioAnywhereItFailsAfterCom256AndChangesNothing) {
    SearchRig rig;
    rig.NoRadio();
    rig.SetFileText("4\n");
    // Start-up: the remembered port is opened and shown.
    rig.link->SetConfiguredPort(ReadPortSettings(rig.portFile).index);
    rig.link->OpenRadioPort();
    ASSERT_EQ(rig.form.View().PortPaneText(), PaneText(5));

    const std::int64_t t0 = rig.StartSearch();
    ASSERT_TRUE(rig.RunUntilSettled(120'000));

    ExpectProbes(rig, t0, 1, 256);
    ASSERT_EQ(rig.prompter.seen.size(), 1u);
    const auto& shown = rig.prompter.seen[0];
    EXPECT_EQ(shown.message.text, "Connection Failure!!");
    EXPECT_EQ(shown.message.icon, MsgIcon::Stop);
    EXPECT_EQ(shown.atMs, TickTime(t0, 257));

    EXPECT_EQ(rig.FileText(), "4\n");
    EXPECT_EQ(rig.link->ConfiguredPort(), 4);
    EXPECT_EQ(rig.form.View().PortPaneText(), PaneText(5));
    EXPECT_EQ(rig.form.View().StatusText(), kRangeHint);
    // No port is reopened, and the last probed one is not held either: it
    // would keep another program off a device that has no radio.
    EXPECT_FALSE(rig.port->IsConnected()) << rig.port->OpenedName() << " is still open";
    const std::size_t mark = rig.port->Mark();
    rig.loop.RunFor(5000);
    EXPECT_EQ(rig.port->Mark(), mark);
}

// Only the numbers with a device behind them are probed, each in its own
// tick, in order; the others cost nothing.
TEST(PortSearch, OnlyPresentDevicesAreProbedAndARadioOnTheSecondIsFoundWithinASecond) {
    SearchRig rig;
    rig.PlaceRadio(9);
    rig.search->SetProbeList([] { return std::vector<int>{4, 9, 17}; });
    const std::int64_t t0 = rig.StartSearch();
    ASSERT_TRUE(rig.RunUntilSettled());

    const auto opens = rig.port->OpensFrom(rig.searchMark);
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[0].name, SimDevice(4));
    EXPECT_EQ(opens[0].atMs, t0 + kWaitMs);
    EXPECT_EQ(opens[1].name, SimDevice(9));
    EXPECT_EQ(opens[1].atMs, t0 + kWaitMs + kTickMs);
    ASSERT_EQ(rig.prompter.LastText(), "Successful connection!!");
    EXPECT_LT(rig.prompter.seen.back().atMs - t0, 1000);
    EXPECT_EQ(rig.FileText(), "8\n");
    EXPECT_EQ(rig.form.View().PortPaneText(), PaneText(9));
    const auto texts = rig.log->StatusSince(t0);
    ASSERT_GE(texts.size(), 2u);
    EXPECT_EQ(texts[0].text, CheckingText(4));
    EXPECT_EQ(texts.back().text, std::string(kRangeHint));
}

TEST(PortSearch, WithKDevicesAndNoRadioItFailsWithinKTicksAndASecond) {
    for (const std::vector<int>& present : {std::vector<int>{}, std::vector<int>{2}, std::vector<int>{4, 9, 17}}) {
        SearchRig rig;
        rig.NoRadio();
        rig.search->SetProbeList([present] { return present; });
        const std::int64_t t0 = rig.StartSearch();
        ASSERT_TRUE(rig.RunUntilSettled());
        EXPECT_EQ(rig.port->OpensFrom(rig.searchMark).size(), present.size());
        ASSERT_EQ(rig.prompter.LastText(), "Connection Failure!!");
        const std::int64_t k = static_cast<std::int64_t>(present.size());
        EXPECT_LE(rig.prompter.seen.back().atMs - t0, k * kTickMs + 1000) << k << " devices";
        EXPECT_EQ(rig.form.View().StatusText(), kRangeHint);
    }
}

TEST(PortSearch, AutoStopEndsTheSearchAtTheNextTickAndReopensTheRememberedPort) {
    SearchRig rig;
    rig.PlaceRadio(12);
    rig.SetFileText("11\n");
    rig.link->SetConfiguredPort(11);
    const std::int64_t t0 = rig.StartSearch();
    ASSERT_TRUE(rig.RunUntilStatus(CheckingText(7)));
    rig.RunUntilIdle();
    const std::int64_t stop = rig.loop.NowMs();
    const std::size_t mark = rig.port->Mark();
    ASSERT_LT(stop, TickTime(t0, 8));

    rig.search->OnAutoStop();
    EXPECT_FALSE(rig.search->Active());
    ASSERT_TRUE(rig.RunUntilSettled());

    ASSERT_EQ(rig.prompter.seen.size(), 1u);
    EXPECT_EQ(rig.prompter.seen[0].message.text, "Stop connecting!!");
    EXPECT_EQ(rig.prompter.seen[0].message.icon, MsgIcon::None);
    EXPECT_EQ(rig.prompter.seen[0].atMs, stop);
    // Only the remembered port is opened after the stop; COM8 is never tried.
    const auto after = rig.port->OpensFrom(mark);
    ASSERT_EQ(after.size(), 1u);
    EXPECT_EQ(after[0].name, SimDevice(12));
    EXPECT_EQ(after[0].atMs, stop);
    EXPECT_TRUE(rig.port->IsConnected());
    EXPECT_EQ(rig.form.View().PortPaneText(), PaneText(12));
    // The checking text stays until the tick that ends the search.
    EXPECT_EQ(rig.log->StatusSince(stop), (std::vector<Change>{{stop + kTickMs, std::string(kRangeHint)}}));
    EXPECT_EQ(rig.FileText(), "11\n");
    EXPECT_EQ(rig.link->ConfiguredPort(), 11);

    rig.loop.RunFor(3000);
    EXPECT_EQ(rig.port->OpensFrom(mark).size(), 1u);
    EXPECT_EQ(rig.prompter.seen.size(), 1u);
}

TEST(PortSearch, AutoStopWithARememberedPortThatWillNotOpenSaysSoAndStillEnds) {
    SearchRig rig;
    rig.NoRadio();
    rig.Refuse(1);
    rig.StartSearch();
    ASSERT_TRUE(rig.RunUntilStatus(CheckingText(3)));
    rig.RunUntilIdle();
    const std::size_t mark = rig.port->Mark();
    rig.search->OnAutoStop();
    ASSERT_TRUE(rig.RunUntilSettled());

    ASSERT_EQ(rig.prompter.seen.size(), 2u);
    EXPECT_EQ(rig.prompter.seen[0].message.text, "Stop connecting!!");
    EXPECT_EQ(rig.prompter.seen[1].message.text, "Can't Open COM Port!");
    const auto after = rig.port->OpensFrom(mark);
    ASSERT_EQ(after.size(), 2u);  // the attempt and its one retry
    EXPECT_EQ(after[0].name, SimDevice(1));
    EXPECT_EQ(after[1].name, SimDevice(1));
    EXPECT_EQ(after[1].atMs - after[0].atMs, 500);
    EXPECT_EQ(rig.form.View().StatusText(), kRangeHint);
    EXPECT_FALSE(rig.search->Active());
    rig.loop.RunFor(2000);
    EXPECT_EQ(rig.port->OpensFrom(mark).size(), 2u);
}

enum class Restart { DuringTheSearch, RightAfterAutoStop };

class PortSearchRestart : public ::testing::TestWithParam<Restart> {};

// Auto Search is still on the menu while a search runs or is being
// stopped; pressed again, the search starts over at COM1 and keeps to one
// probe a tick. Ticks of the earlier search must not pile up behind the
// wait and probe several ports at once, cutting short the radio's answer.
TEST_P(PortSearchRestart, StartsOverAtCom1WithOneProbeATick) {
    SearchRig rig;
    rig.PlaceRadio(3);
    rig.Refuse(1);
    rig.link->SetConfiguredPort(1);  // Auto Stop reopens COM2 at once
    rig.StartSearch();
    ASSERT_TRUE(rig.RunUntilStatus(CheckingText(2)));
    rig.RunUntilIdle();
    if (GetParam() == Restart::RightAfterAutoStop) {
        rig.search->OnAutoStop();
        rig.loop.RunFor(50);
    }
    const std::int64_t t1 = rig.StartSearch();
    ASSERT_TRUE(rig.RunUntilSettled());

    const auto since = rig.log->StatusSince(t1);
    ASSERT_FALSE(since.empty());
    EXPECT_EQ(since.front(), (Change{t1 + kWaitMs, CheckingText(1)}));
    ExpectProbes(rig, t1, 1, 3);
    EXPECT_EQ(rig.prompter.LastText(), "Successful connection!!");
    ExpectFoundWithinTheProbesTick(rig.prompter.seen.back().atMs, t1, 3);
    EXPECT_EQ(rig.FileText(), "2\n");
}

INSTANTIATE_TEST_SUITE_P(When, PortSearchRestart,
                         ::testing::Values(Restart::DuringTheSearch, Restart::RightAfterAutoStop),
                         [](const auto& info) {
                             return std::string(info.param == Restart::DuringTheSearch ? "DuringTheSearch"
                                                                                       : "RightAfterAutoStop");
                         });

enum class Transfer { Read, Write };
struct BusyCase {
    Transfer transfer;
    int atChannel;  // the channel the progress bar has reached
};

class PortSearchWhileBusy : public ::testing::TestWithParam<BusyCase> {};

TEST_P(PortSearchWhileBusy, AutoSearchDuringATransferDoesNothing) {
    SearchRig rig;
    rig.PlaceRadio(3);
    rig.SetFileText("2\n");
    rig.link->SetConfiguredPort(2);
    if (GetParam().transfer == Transfer::Write) {
        // A write needs a form worth writing: take the radio's.
        rig.link->OnReadFromRadio();
        ASSERT_TRUE(rig.RunUntilSettled());
        ASSERT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
        rig.link->OnWriteToRadio();
    } else {
        rig.link->OnReadFromRadio();
    }
    ASSERT_TRUE(rig.loop.RunUntil(
        [&] { return rig.form.View().IsTableLocked() && rig.form.View().Progress() >= GetParam().atChannel; }, 20'000));
    const std::int64_t t1 = rig.loop.NowMs();
    const std::size_t shown = rig.prompter.seen.size();
    const std::size_t mark = rig.port->Mark();

    rig.search->OnAutoSearch();
    ASSERT_TRUE(rig.RunUntilSettled());
    rig.loop.RunFor(3000);

    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
    ASSERT_EQ(rig.prompter.seen.size(), shown + 1);
    EXPECT_EQ(rig.prompter.LastText(),
              GetParam().transfer == Transfer::Read ? "UPLOAD COMPLETE" : "DOWNLOAD COMPLETE");
    for (const Change& c : rig.log->StatusSince(t1)) EXPECT_EQ(c.text.find("CHECKING"), std::string::npos) << c.text;
    EXPECT_TRUE(rig.port->OpensFrom(mark).empty());
    EXPECT_TRUE(rig.port->IsConnected());
    EXPECT_EQ(rig.FileText(), "2\n");
}

INSTANTIATE_TEST_SUITE_P(Transfers, PortSearchWhileBusy,
                         ::testing::Values(BusyCase{Transfer::Read, 0}, BusyCase{Transfer::Read, 6},
                                           BusyCase{Transfer::Write, 0}, BusyCase{Transfer::Write, 6}),
                         [](const auto& info) {
                             return std::string(info.param.transfer == Transfer::Read ? "Read" : "Write") + "AtBlock" +
                                    std::to_string(info.param.atChannel);
                         });

enum class Earlier { New, Save, Read };

class PortSearchAfterOtherWork : public ::testing::TestWithParam<Earlier> {};

// New, Save, Read and Write ask a running search to end at its next tick;
// raised while no search runs, that request must not end the next one.
TEST_P(PortSearchAfterOtherWork, AStaleStopRequestDoesNotEndANewSearch) {
    SearchRig rig;
    rig.PlaceRadio(3);
    rig.link->SetConfiguredPort(2);
    switch (GetParam()) {
        case Earlier::New:
            ASSERT_TRUE(rig.form.New());
            break;
        case Earlier::Save:
            ASSERT_TRUE(Save(rig.form, rig.dir.File("saved.kvx")));
            break;
        case Earlier::Read:
            rig.link->OnReadFromRadio();
            ASSERT_TRUE(rig.RunUntilSettled());
            ASSERT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
            break;
    }
    rig.loop.RunFor(1000);
    const std::size_t shown = rig.prompter.seen.size();

    const std::int64_t t0 = rig.StartSearch();
    ASSERT_TRUE(rig.RunUntilSettled());
    ExpectProbes(rig, t0, 1, 3);
    ASSERT_EQ(rig.prompter.seen.size(), shown + 1);
    EXPECT_EQ(rig.prompter.LastText(), "Successful connection!!");
    EXPECT_EQ(rig.FileText(), "2\n");
}

INSTANTIATE_TEST_SUITE_P(Commands, PortSearchAfterOtherWork,
                         ::testing::Values(Earlier::New, Earlier::Save, Earlier::Read), [](const auto& info) {
                             return std::string(info.param == Earlier::New    ? "New"
                                                : info.param == Earlier::Save ? "Save"
                                                                              : "Read");
                         });

TEST(PortSearch, AReadDuringTheSearchEndsItAndUsesTheRememberedPort) {
    SearchRig rig;
    rig.PlaceRadio(9);
    rig.SetFileText("8\n");
    rig.link->SetConfiguredPort(8);
    rig.StartSearch();
    ASSERT_TRUE(rig.RunUntilStatus(CheckingText(4)));
    rig.RunUntilIdle();
    const std::size_t mark = rig.port->Mark();

    rig.link->OnReadFromRadio();
    ASSERT_TRUE(rig.RunUntilSettled());
    rig.loop.RunFor(3000);

    EXPECT_EQ(rig.link->Outcome(), TransferOutcome::Completed);
    ASSERT_EQ(rig.prompter.seen.size(), 1u);
    EXPECT_EQ(rig.prompter.LastText(), "UPLOAD COMPLETE");
    for (const auto& o : rig.port->OpensFrom(mark)) EXPECT_EQ(o.name, SimDevice(9)) << "probed after the read began";
    EXPECT_FALSE(rig.search->Active());
    EXPECT_EQ(rig.form.View().StatusText(), kRangeHint);
    EXPECT_EQ(rig.FileText(), "8\n");
}

TEST(PortSearch, AFoundPortThatCannotBeRememberedIsUsedAndTheUserIsTold) {
    SearchRig rig(SearchRig::Resolver([](int index) { return SimDevice(index + 1); }), "plain/ORVEX.CFG");
    test::WriteBytes(rig.dir.File("plain"), {'x'});  // a file where the folder should be
    rig.PlaceRadio(3);
    rig.StartSearch();
    ASSERT_TRUE(rig.RunUntilSettled());

    ASSERT_EQ(rig.prompter.seen.size(), 1u);
    const UserMessage& m = rig.prompter.seen[0].message;
    EXPECT_EQ(m.text, "Successful connection!!");
    EXPECT_NE(m.detail.find(rig.portFile), std::string::npos) << "the user is not told: \"" << m.detail << '"';
    EXPECT_EQ(rig.link->ConfiguredPort(), 2);
    EXPECT_EQ(rig.form.View().PortPaneText(), PaneText(3));
    EXPECT_TRUE(rig.port->IsConnected());
}

}  // namespace
}  // namespace orvex
