#include "tests/support/LinkSide.h"
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstring>
#include <memory>

#include "support/ChildProcess.h"
#include "support/FormState.h"
#include "support/KvxSample.h"
#include "support/ScriptedPrompter.h"
#include "support/TempDir.h"
#include "ui/model/FormModel.h"
#include "ui/model/FormTexts.h"

namespace orvex {
namespace {

using test::Bytes;

const std::string kKorean = "\"%s\"는 잘못된 qmd파일입니다.";

std::string NotSettingsFileText(const std::string& name) {
    std::string text = kKorean;
    return text.replace(text.find("%s"), 2, name);
}

// What Save writes right after start-up, written out from the layout.
Bytes DefaultStateImage() {
    Bytes b = test::BlankSettingsImage();
    test::PutText(b, 0, "This is qm-210,620 data file.");
    test::PutText(b, 32, "01.00.01.02");
    b[146] = 1;
    for (int i = 147; i <= 159; ++i) b[i] = 255;
    b[160] = 2, b[161] = 5;
    b[162] = 82, b[163] = 0, b[164] = 140, b[165] = 72;
    b[166] = 0x06, b[167] = 0, b[168] = 25;
    for (int r = 0; r < 10; ++r) test::PutRecord(b, r, 0xFFFF, 0xFF, 0xFF);
    b[1792 + 2] = 1, b[1792 + 21] = 30;
    const Bytes tones = {0xCD, 0xCC, 0xCC, 0xCC, 0xCC, 0xC8, 0x81, 0x40,   // 569.1
                         0x33, 0x33, 0x33, 0x33, 0x33, 0x1B, 0x74, 0x40};  // 321.7
    std::copy(tones.begin(), tones.end(), b.begin() + 1815);
    b[2047] = 0xFF;
    return b;
}

bool SaveWrites(std::size_t offset) {
    return offset < 48 || (offset >= 128 && offset < 192) || (offset >= 256 && offset < 366) ||
           (offset >= 1792 && offset < 1831) || offset == 2047;
}

class FormFileTest : public ::testing::Test {
protected:
    FormFileTest() { form.StartUp(); }

    std::string Put(const std::string& name, const Bytes& bytes) {
        const std::string path = dir.File(name);
        test::WriteBytes(path, bytes);
        return path;
    }
    Bytes Saved(FormModel& f) {
        const std::string path = dir.File("saved" + std::to_string(++m_saves) + ".kvx");
        EXPECT_TRUE(Save(f, path)) << prompter.LastText();
        return test::ReadBytes(path);
    }
    Bytes Saved() { return Saved(form); }

    // Band plan 3 with CH 01, CH 07 and CH 23 enabled and CH 07 the
    // emergency channel; every other field holds a value of its own.
    static Bytes RichImage() {
        Bytes b = test::BlankSettingsImage();
        test::PutText(b, 0, "not the usual header");
        const std::uint8_t selections[16] = {100, 5, 255, 255, 5, 4, 3, 255, 9, 8, 2, 1, 7, 0, 8, 3};
        std::memcpy(b.data() + 146, selections, 16);
        b[162] = 10, b[163] = 20, b[164] = 30, b[165] = 40;
        b[166] = 0x3F, b[167] = 3, b[168] = 7;
        b[169] = b[169 + 6] = b[169 + 22] = 1;
        test::PutRecord(b, 0, 10400, 3, 7, {154, 154, 1, 3, 1, 1});
        test::PutRecord(b, 1, 12000, 0, 0, {1, 2, 0, 2, 0, 1});
        for (int r = 2; r < 9; ++r) test::PutRecord(b, r, 0xFFFF, 0xFF, 0xFF);
        test::PutRecord(b, 9, 10850, 1, 25);
        for (int i = 0; i < 23; ++i) b[1792 + i] = static_cast<std::uint8_t>(0xF0 - i);
        test::PutDouble(b, 1815, 1234.5);
        test::PutDouble(b, 1823, -0.25);
        b[2047] = 0xFF;
        return b;
    }

    test::TempDir dir;
    test::ScriptedPrompter prompter;
    FormModel form{prompter};

private:
    int m_saves = 0;
};

TEST_F(FormFileTest, DefaultStateIsWrittenByteForByte) {
    const Bytes saved = Saved();
    const Bytes expected = DefaultStateImage();
    ASSERT_EQ(saved.size(), 2048u);
    for (std::size_t i = 0; i < expected.size(); ++i) EXPECT_EQ(saved[i], expected[i]) << "byte " << i;
    EXPECT_TRUE(prompter.shown.empty());
}

TEST_F(FormFileTest, SavingOverAFileKeepsWhatSaveDoesNotWrite) {
    const std::string path = Put("big.kvx", Bytes(4096, 0x5A));
    ASSERT_TRUE(Save(form, path));
    const Bytes saved = test::ReadBytes(path);
    const Bytes expected = DefaultStateImage();
    ASSERT_EQ(saved.size(), 4096u);
    for (std::size_t i = 0; i < saved.size(); ++i)
        ASSERT_EQ(saved[i], SaveWrites(i) ? expected[i] : 0x5A) << "byte " << i;
}

TEST_F(FormFileTest, ChannelFrequencyIsStoredAsItsCode) {
    form.SetCellText(1, "27.0000");
    form.SetCellText(10, "30.0000");
    const Bytes saved = Saved();
    EXPECT_EQ(Bytes(saved.begin() + 256, saved.begin() + 259), (Bytes{1, 0x2A, 0x30}));
    EXPECT_EQ(Bytes(saved.begin() + 355, saved.begin() + 358), (Bytes{10, 0x2E, 0xE0}));
}

// Saving the records as they stand would store stale frequencies and report
// success.
TEST_F(FormFileTest, SaveRefusesACellItCannotStore) {
    const std::string existing = Put("existing.kvx", Bytes(2048, 0x11));
    for (const char* cell : {"27.0010", "-27.0000", "200"}) {
        prompter.shown.clear();
        form.SetCellText(3, cell);
        EXPECT_FALSE(Save(form, existing)) << cell;
        EXPECT_FALSE(Save(form, dir.File("new.kvx"))) << cell;
        ASSERT_EQ(prompter.shown.size(), 2u);
        EXPECT_EQ(prompter.shown[0].text, "Frequency is out of range or Not step 2.5Khz");
        EXPECT_NE(prompter.shown[0].detail.find("P3"), std::string::npos) << prompter.shown[0].detail;
        EXPECT_EQ(test::ReadBytes(existing), Bytes(2048, 0x11));
        EXPECT_FALSE(test::Exists(dir.File("new.kvx")));
    }
}

TEST_F(FormFileTest, SaveThatCannotCreateTheFileWritesNothing) {
    ASSERT_TRUE(form.Open(Put("good.kvx", RichImage())));
    const std::string missingFolder = dir.File("no/such/folder.kvx");
    const std::string folder = dir.File("folder.kvx");
    std::filesystem::create_directory(folder);
    for (const std::string& path : {missingFolder, folder}) {
        prompter.shown.clear();
        EXPECT_FALSE(Save(form, path));
        ASSERT_EQ(prompter.shown.size(), 1u) << path;
        EXPECT_EQ(prompter.shown[0].text, "Can't make file.");
        EXPECT_EQ(prompter.shown[0].icon, MsgIcon::Stop);
        EXPECT_EQ(prompter.shown[0].detail.rfind(path + ": ", 0), 0u) << prompter.shown[0].detail;
        EXPECT_EQ(form.Caption(), "ORVEX Programmer Ver 1.1.2 - good");
    }
    EXPECT_EQ(prompter.shown.back().detail, folder + ": is a directory");
    EXPECT_FALSE(test::Exists(dir.File("no")));
    EXPECT_TRUE(std::filesystem::is_empty(folder));
}

TEST_F(FormFileTest, OpenThenSaveKeepsEveryValue) {
    const Bytes rich = RichImage();
    ASSERT_TRUE(form.Open(Put("rich.kvx", rich)));
    EXPECT_EQ(form.Caption(), "ORVEX Programmer Ver 1.1.2 - rich");
    EXPECT_EQ(CellText(form, 1), "26.0000");
    EXPECT_EQ(CellText(form, 2), "30.0000");
    EXPECT_EQ(CellText(form, 3), "");
    EXPECT_EQ(CellText(form, 10), "27.1250");
    EXPECT_EQ(form.ModeSelection(), 3);
    EXPECT_TRUE(form.View().SouthAfricaSetupEnabled());
    EXPECT_EQ(form.EmgList().Items(), (std::vector<std::string>{"CH 01", "CH 07", "CH 23"}));
    EXPECT_EQ(form.EmgList().ShownText(), "CH 07");
    const std::string opened = test::FormState(form);

    const Bytes saved = Saved();
    EXPECT_EQ(form.Caption(), "ORVEX Programmer Ver 1.1.2");
    Bytes expected = rich;
    test::PutText(expected, 0, std::string("This is qm-210,620 data file.\0\0\0", 32));
    test::PutText(expected, 32, "01.00.01.02");
    expected[166] = 0;  // the option flags are cleared by Open
    ASSERT_EQ(saved.size(), expected.size());
    for (std::size_t i = 0; i < 2048; ++i) EXPECT_EQ(saved[i], expected[i]) << "byte " << i;

    test::ScriptedPrompter quiet;
    FormModel again(quiet);
    again.StartUp();
    ASSERT_TRUE(again.Open(dir.File("saved1.kvx")));
    std::string reopened = test::FormState(again);
    reopened.replace(reopened.find(" - saved1"), 9, " - rich");
    EXPECT_EQ(reopened, opened);
    EXPECT_EQ(Saved(again), saved);
}

TEST_F(FormFileTest, StoredBytesComeBackWithinTheirRanges) {
    Bytes b = RichImage();
    const struct {
        std::size_t offset;
        std::uint8_t stored, resaved;
    } cases[] = {
        {146, 200, 255}, {146 + 15, 9, 255},  // 1010 and 1025 beyond their lists
        {147, 6, 255},   {148, 0, 255},       {149, 0, 255}, {153, 0, 255},  // 1004, 1018, 1017, 1020
        {162, 255, 255}, {163, 0, 0},         {164, 200, 200}, {165, 201, 200},
        {167, 5, 255},  // a band plan without a name
        {169 + 22, 0x80, 1},  // a check box holds 0 or 1
        {256 + 5, 155, 0}, {256 + 6, 154, 154}, {256 + 7, 2, 0}, {256 + 8, 4, 0}, {256 + 9, 2, 0}, {256 + 10, 9, 0},
    };
    for (const auto& c : cases) b[c.offset] = c.stored;
    b[169 + 6] = 0;
    ASSERT_TRUE(form.Open(Put("odd.kvx", b)));
    EXPECT_EQ(form.ModeSelection(), -1);
    EXPECT_EQ(form.Settings().m_nBandPlan, 255);  // Mode Select shows none, and the values follow it
    EXPECT_FALSE(form.View().SouthAfricaSetupEnabled());
    EXPECT_EQ(form.Settings().m_MinPowerAdjust, 200u);
    const Bytes saved = Saved();
    for (const auto& c : cases) EXPECT_EQ(saved[c.offset], c.resaved) << "byte " << c.offset;
    // The emergency list holds the enabled channels whatever the band plan.
    EXPECT_EQ(saved[168], 1);
}

TEST_F(FormFileTest, OptionFlagsAfterStartOpenAndNew) {
    EXPECT_EQ(Saved()[166], 0x06);
    ASSERT_TRUE(form.Open(Put("rich.kvx", RichImage())));
    EXPECT_EQ(Saved()[166], 0x00);

    ASSERT_TRUE(form.Open(Put("rich.kvx", RichImage())));
    ASSERT_TRUE(form.New());
    EXPECT_EQ(form.Caption(), "ORVEX Programmer Ver 1.1.2");
    for (int row = 1; row <= 10; ++row) EXPECT_EQ(CellText(form, row), "");
    EXPECT_EQ(form.EmgList().Count(), 0);
    EXPECT_EQ(form.ModeSelection(), 3);  // New keeps the band plan and the selections
    const Bytes saved = Saved();
    EXPECT_EQ(saved[166], 0x06);
    EXPECT_EQ(Bytes(saved.begin() + 162, saved.begin() + 166), (Bytes{82, 0, 140, 72}));
    const Bytes rich = RichImage(), fresh = DefaultStateImage();
    EXPECT_EQ(Bytes(saved.begin() + 146, saved.begin() + 162), Bytes(rich.begin() + 146, rich.begin() + 162));
    EXPECT_EQ(saved[167], 3);
    EXPECT_EQ(saved[168], 25);
    EXPECT_EQ(Bytes(saved.begin() + 169, saved.begin() + 192), Bytes(23, 0));
    EXPECT_EQ(Bytes(saved.begin() + 256, saved.begin() + 366), Bytes(fresh.begin() + 256, fresh.begin() + 366));
}

TEST_F(FormFileTest, RefusedOpenChangesNothing) {
    ASSERT_TRUE(form.Open(Put("good.kvx", RichImage())));
    form.SetCellText(4, "28.0000");
    const std::string before = test::FormState(form);

    Bytes wrongId = test::BlankSettingsImage(), minor = test::BlankSettingsImage();
    wrongId[143] = 0x8F;
    minor[145] = 1;
    const struct {
        std::string name;
        Bytes bytes;
    } notSettings[] = {
        {"empty.kvx", {}},
        {"100.kvx", test::BlankSettingsImage(100)},
        {"145.kvx", test::BlankSettingsImage(145)},
        {"146.kvx", test::BlankSettingsImage(146)},
        {"2047.kvx", test::BlankSettingsImage(2047)},
        {"identifier.kvx", wrongId},
        {"minor.kvx", minor},
        {"odd %s%n%d.kvx", {1, 2, 3}},
    };
    for (const auto& c : notSettings) {
        prompter.shown.clear();
        EXPECT_FALSE(form.Open(Put(c.name, c.bytes))) << c.name;
        ASSERT_EQ(prompter.shown.size(), 1u) << c.name;
        EXPECT_EQ(prompter.shown[0].text, NotSettingsFileText(c.name));
        EXPECT_EQ(prompter.shown[0].icon, MsgIcon::Stop);
        EXPECT_EQ(test::FormState(form), before) << c.name;
    }

    std::filesystem::create_directory(dir.File("folder.kvx"));
    std::vector<std::string> unreadable = {dir.File("missing.kvx"), dir.File("folder.kvx")};
#ifdef _WIN32
    // Held open by another program that shares it with nobody.
    unreadable.push_back(Put("locked.kvx", RichImage()));
    const std::unique_ptr<void, BOOL(WINAPI*)(HANDLE)> holder(
        ::CreateFileA(unreadable.back().c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                      FILE_ATTRIBUTE_NORMAL, nullptr),
        ::CloseHandle);
    ASSERT_NE(holder.get(), INVALID_HANDLE_VALUE);
#else
    unreadable.push_back(Put("locked.kvx", RichImage()));
    ASSERT_EQ(::chmod(unreadable.back().c_str(), 0), 0);
#endif
    // What each open showed, as one text to compare.
    const auto openAll = [&] {
        std::string seen;
        for (const std::string& path : unreadable) {
            prompter.shown.clear();
            const bool opened = form.Open(path);
            seen += path + ": opened " + std::to_string(opened) + ", shown " + std::to_string(prompter.shown.size());
            if (prompter.shown.size() == 1) {
                const auto& shown = prompter.shown[0];
                seen += ", " + shown.text + (shown.detail.rfind(path + ": ", 0) == 0 ? "" : " [" + shown.detail + "]");
            }
            seen += test::FormState(form) == before ? "\n" : ", form changed\n";
        }
        return seen;
    };
    std::string expected;
    for (const std::string& path : unreadable) expected += path + ": opened 0, shown 1, Can't read file.\n";
#ifdef _WIN32
    EXPECT_EQ(openAll(), expected);
#else
    // Root reads any file: the opens run as a plain user.
    test::Unprivileged().Own(dir.Path());
    EXPECT_EQ(test::RunUnprivileged([&] {
                  std::fputs(openAll().c_str(), stdout);
                  return 0;
              }),
              expected + "exit 0");
#endif
}

TEST_F(FormFileTest, NothingWhileATransferRuns) {
    const std::string good = Put("good.kvx", RichImage());
    const std::string before = test::FormState(form);
    test::TransferStarts(form);
    EXPECT_FALSE(form.Open(good));
    EXPECT_FALSE(form.New());
    EXPECT_FALSE(Save(form, dir.File("out.kvx")));
    EXPECT_EQ(test::FormState(form), before);
    EXPECT_FALSE(test::Exists(dir.File("out.kvx")));
    EXPECT_TRUE(prompter.shown.empty());
}

// What counts as unsaved: anything that differs from the state last made
// new, opened or saved; a refused Open changes nothing.
TEST_F(FormFileTest, EditsAreUnsavedUntilSaveNewOrOpen) {
    EXPECT_FALSE(HasUnsavedEdits(form));
    form.SetCellText(3, "27.1250");
    EXPECT_TRUE(HasUnsavedEdits(form));
    Saved();
    EXPECT_FALSE(HasUnsavedEdits(form));
    form.ClickChannelBox(5);  // a box of a plan without boxes: nothing changes
    form.OnModeSelect(kBandPlanSouthAfrica);
    EXPECT_TRUE(HasUnsavedEdits(form));
    ASSERT_TRUE(form.New());
    EXPECT_FALSE(HasUnsavedEdits(form));
    const std::string rich = Put("rich.kvx", RichImage());
    ASSERT_TRUE(form.Open(rich));
    EXPECT_FALSE(HasUnsavedEdits(form));
    form.SelectEmgItem(0);
    EXPECT_TRUE(HasUnsavedEdits(form));
    EXPECT_FALSE(form.Open(Put("short.kvx", Bytes(100, 0))));
    EXPECT_TRUE(HasUnsavedEdits(form));
    ASSERT_TRUE(form.Open(rich));
    EXPECT_FALSE(form.Open(Put("short2.kvx", Bytes(100, 0))));
    EXPECT_FALSE(HasUnsavedEdits(form));
}

// A snapshot brings back every value a later Save or write would use,
// including what no control shows.
TEST_F(FormFileTest, RestoreBringsBackEveryValueExactly) {
    ASSERT_TRUE(form.Open(Put("rich.kvx", RichImage())));
    form.ClickChannelBox(12);
    form.SelectEmgItem(2);
    form.SetCellText(4, "27.12");  // as typed, not yet normalised
    const FormSnapshot edited = form.Snapshot();
    const std::string shown = test::FormState(form);
    const Bytes wouldSave = Saved();

    ASSERT_TRUE(form.New());
    ASSERT_TRUE(form.Restore(edited));
    EXPECT_EQ(test::FormState(form), shown);
    EXPECT_TRUE(HasUnsavedEdits(form)) << "a restored form is not a saved one";
    EXPECT_EQ(Saved(), wouldSave);

    // Not while a transfer fills or sends the form.
    form.New();
    test::TransferStarts(form);
    EXPECT_FALSE(form.Restore(edited));
    test::TransferEnds(form);
    EXPECT_NE(test::FormState(form), shown);
}

TEST_F(FormFileTest, ValuesForSaveAreWhatSaveWritesAndLeaveTheFormAlone) {
    ASSERT_TRUE(form.Open(Put("rich.kvx", RichImage())));
    form.SetCellText(2, "26.5");
    const std::string before = test::FormState(form);
    const std::optional<kvx::KvxValues> values = form.ValuesForSave();
    ASSERT_TRUE(values.has_value());
    EXPECT_EQ(test::FormState(form), before);
    const kvx::KvxImage image = kvx::EncodeKvx(*values);
    EXPECT_EQ(Bytes(image.bytes().begin(), image.bytes().end()), Saved());

    form.SetCellText(5, "27.0010");  // off the step: Save refuses it too
    EXPECT_FALSE(form.ValuesForSave().has_value());
}

}  // namespace
}  // namespace orvex
