// The remembered port: one decimal index and a line feed. Whatever is found
// at the path, start-up must go on with a usable index and must not damage
// what the user has there.
#include <gtest/gtest.h>

#include <cstring>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "link/PortSettingsFile.h"
#include "support/ChildProcess.h"
#include "support/Environment.h"
#include "support/TempDir.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

std::string Text(const std::string& path) {
    const Bytes b = test::ReadBytes(path);
    return std::string(b.begin(), b.end());
}

void Put(const std::string& path, const std::string& text) { test::WriteBytes(path, Bytes(text.begin(), text.end())); }

// Sets environment variables for one test and puts the old values back.
class EnvGuard {
public:
    ~EnvGuard() {
        for (const auto& [name, value] : m_saved) {
            if (value)
                test::SetEnv(name, *value);
            else
                test::UnsetEnv(name);
        }
    }
    void Set(const std::string& name, const char* value) {
        if (!m_saved.count(name)) {
            const char* old = std::getenv(name.c_str());
            m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value)
            test::SetEnv(name, value);
        else
            test::UnsetEnv(name);
    }

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

TEST(PortSettingsFile, AMissingFileIsCreatedHoldingZeroAndMeansCom1) {
    test::TempDir dir;
    const std::string path = dir.File("ORVEX.CFG");
    const PortSettingsRead r = ReadPortSettings(path);
    EXPECT_EQ(r.index, 0);
    EXPECT_TRUE(r.created);
    EXPECT_EQ(Text(path), "0\n");
    // The next start finds what the first one created.
    const PortSettingsRead again = ReadPortSettings(path);
    EXPECT_EQ(again.index, 0);
    EXPECT_FALSE(again.created);
}

TEST(PortSettingsFile, AMissingFolderIsCreatedWithTheFile) {
    test::TempDir dir;
    const std::string path = (dir.Path() / "config" / "orvex" / "ORVEX.CFG").string();
    EXPECT_EQ(ReadPortSettings(path).index, 0);
    EXPECT_EQ(Text(path), "0\n");
}

struct Content {
    const char* name;
    std::string text;
    int index;
    bool refused = false;  // the stored value is not used
};

class PortSettingsContent : public ::testing::TestWithParam<Content> {};

// Read as "%d" reads: blanks skipped, a sign, digits, the rest ignored; a
// value that is no port index at all means COM1 and leaves the file alone.
TEST_P(PortSettingsContent, GivesTheIndexAndLeavesTheFileAsItWas) {
    test::TempDir dir;
    const std::string path = dir.File("ORVEX.CFG");
    Put(path, GetParam().text);
    const PortSettingsRead r = ReadPortSettings(path);
    EXPECT_EQ(r.index, GetParam().index);
    EXPECT_FALSE(r.created);
    EXPECT_EQ(Text(path), GetParam().text) << "the file was changed by reading it";
    if (GetParam().refused)
        EXPECT_FALSE(r.note.empty()) << "nothing says why the stored value was not used";
    else
        EXPECT_EQ(r.note, "");
}

INSTANTIATE_TEST_SUITE_P(
    Values, PortSettingsContent,
    ::testing::Values(Content{"Four", "4\n", 4}, Content{"Com256", "255\n", 255}, Content{"NoLineFeed", "9", 9},
                      Content{"LeadingBlanksTrailingJunk", "  7xyz", 7},
                      Content{"LeadingLineFeedsAndTabs", "\n\t 12\n", 12}, Content{"TwoNumbers", "3 4\n", 3},
                      Content{"Decimals", "3.9\n", 3}, Content{"PlusSign", "+5\n", 5},
                      Content{"HexReadsAsZero", "0x10\n", 0}, Content{"Empty", "", 0, true},
                      Content{"OnlyBlanks", "  \n\n", 0, true}, Content{"Garbage", "COM3\n", 0, true},
                      Content{"Negative", "-1\n", 0, true}, Content{"OneTooMany", "256\n", 0, true},
                      Content{"Overflow", "99999999999\n", 0, true},
                      Content{"Huge", std::string(40, '9') + "\n", 0, true}, Content{"SignAlone", "-\n", 0, true},
                      Content{"BinaryJunk", std::string("\xff\xfe\x00\x80" "3\n", 6), 0, true},
                      Content{"NulThenDigit", std::string("\0" "5", 2), 0, true}),
    [](const ::testing::TestParamInfo<Content>& info) { return std::string(info.param.name); });

TEST(PortSettingsFile, ADirectoryAtThePathGivesCom1AndStaysADirectory) {
    test::TempDir dir;
    const std::string path = dir.File("ORVEX.CFG");
    fs::create_directory(path);
    Put(path + "/keep", "x");
    const PortSettingsRead r = ReadPortSettings(path);
    EXPECT_EQ(r.index, 0);
    EXPECT_FALSE(r.created);
    EXPECT_FALSE(r.note.empty());
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(Text(path + "/keep"), "x");
}

#ifndef _WIN32
TEST(PortSettingsFile, AFifoAtThePathDoesNotHangStartUp) {
    test::TempDir dir;
    const std::string path = dir.File("ORVEX.CFG");
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    // Nobody writes to it: a blocking open or read would never return.
    const PortSettingsRead r = ReadPortSettings(path);
    EXPECT_EQ(r.index, 0);
    EXPECT_FALSE(r.created);
    EXPECT_TRUE(fs::is_fifo(path));
}

TEST(PortSettingsFile, AnUnreadableFileGivesCom1AndIsLeftAlone) {
    test::TempDir dir;
    const std::string path = dir.File("ORVEX.CFG");
    Put(path, "5\n");
    ASSERT_EQ(::chmod(path.c_str(), 0), 0);
    // Root reads any file: start-up runs as the plain user who owns it.
    test::Unprivileged().Own(dir.Path());
    EXPECT_EQ(test::RunUnprivileged([&] {
                  const PortSettingsRead r = ReadPortSettings(path);
                  std::printf("index %d, created %d, names the file %d\n", r.index, r.created,
                              r.note.find(path) != std::string::npos);
                  return 0;
              }),
              "index 0, created 0, names the file 1\nexit 0");
    ASSERT_EQ(::chmod(path.c_str(), 0600), 0);
    EXPECT_EQ(Text(path), "5\n");
}
#else
// A device name ("NUL", "COM1") opens the device, not a file; start-up must
// not take the remembered port from one.
TEST(PortSettingsFile, ADeviceNameAtThePathGivesCom1) {
    const PortSettingsRead r = ReadPortSettings("NUL");
    EXPECT_EQ(r.index, 0);
    EXPECT_FALSE(r.created);
    EXPECT_NE(r.note.find("NUL"), std::string::npos) << r.note;
}

TEST(PortSettingsFile, AFileAnotherProgramHoldsGivesCom1AndIsLeftAlone) {
    test::TempDir dir;
    const std::string path = dir.File("ORVEX.CFG");
    Put(path, "5\n");
    const HANDLE held = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    const PortSettingsRead r = ReadPortSettings(path);
    ::CloseHandle(held);
    EXPECT_EQ(r.index, 0);
    EXPECT_FALSE(r.created);
    EXPECT_EQ(r.note.rfind(path + ": ", 0), 0u) << r.note;
    EXPECT_NE(r.note.find("another program"), std::string::npos) << r.note;
    EXPECT_EQ(Text(path), "5\n");
}
#endif

TEST(PortSettingsFile, AFileThatCannotBeCreatedGivesCom1AndSaysWhy) {
    test::TempDir dir;
    Put(dir.File("plain"), "not a folder");
    const std::string path = dir.File("plain/ORVEX.CFG");
    const PortSettingsRead r = ReadPortSettings(path);
    EXPECT_EQ(r.index, 0);
    EXPECT_FALSE(r.created);
    EXPECT_FALSE(r.note.empty());
    EXPECT_EQ(Text(dir.File("plain")), "not a folder");
}

TEST(PortSettingsFile, WhatIsWrittenIsReadBack) {
    test::TempDir dir;
    const std::string path = dir.File("ORVEX.CFG");
    for (const int index : {0, 2, 9, 99, 255}) {
        const Outcome<void> written = WritePortSettings(path, index);
        ASSERT_TRUE(written) << written.problem();
        EXPECT_EQ(Text(path), std::to_string(index) + "\n");
        EXPECT_EQ(ReadPortSettings(path).index, index);
    }
}

TEST(PortSettingsFile, TheCablesIdentityGoesOnASecondLineThatOlderVersionsPassOver) {
    test::TempDir dir;
    const std::string path = dir.File("ORVEX.CFG");
    const std::string id = "device=/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A1B2C3-if00-port0";
    ASSERT_TRUE(WritePortSettings(path, 2, id));
    const test::Bytes bytes = test::ReadBytes(path);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "2\n" + id + "\n");  // the first line as always
    const PortSettingsRead read = ReadPortSettings(path);
    EXPECT_EQ(read.index, 2);
    EXPECT_EQ(read.identity, id);

    // Lines of other versions, a line cut off, a line break smuggled in.
    const struct {
        const char* content;
        int index;
        const char* identity;
    } cases[] = {
        {"4\n", 4, ""},
        {"4\nserial=A1B2C3\n", 4, "serial=A1B2C3"},
        {"4\r\nserial=A1B2C3\r\n", 4, "serial=A1B2C3"},
        {"4\nlayout=2;com=4\n", 4, ""},
        {"4\ndevice=/dev/serial/by-id/usb-cut", 4, ""},
        {"4\ndevice=\n", 4, ""},
        {"x\ndevice=/dev/ttyUSB0\n", 0, ""},
    };
    for (const auto& c : cases) {
        test::WriteBytes(path, test::Bytes(c.content, c.content + std::strlen(c.content)));
        const PortSettingsRead r = ReadPortSettings(path);
        EXPECT_EQ(r.index, c.index) << c.content;
        EXPECT_EQ(r.identity, c.identity) << c.content;
    }
    ASSERT_TRUE(WritePortSettings(path, 1, "device=a\nb"));
    const test::Bytes plain = test::ReadBytes(path);
    EXPECT_EQ(std::string(plain.begin(), plain.end()), "1\n");
}

TEST(PortSettingsFile, AWriteReplacesTheWholeFileAndLeavesNoScratchFile) {
    test::TempDir dir;
    const std::string path = dir.File("ORVEX.CFG");
    Put(path, "123456789 and a comment someone typed\n");
    ASSERT_TRUE(WritePortSettings(path, 3));
    EXPECT_EQ(Text(path), "3\n");
    int entries = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir.Path())) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST(PortSettingsFile, AWriteIntoAMissingFolderCreatesIt) {
    test::TempDir dir;
    const std::string path = (dir.Path() / "a" / "b" / "ORVEX.CFG").string();
    const Outcome<void> written = WritePortSettings(path, 7);
    ASSERT_TRUE(written) << written.problem();
    EXPECT_EQ(Text(path), "7\n");
}

TEST(PortSettingsFile, AFailedWriteSaysWhyAndKeepsTheOldFile) {
    test::TempDir dir;
    Put(dir.File("plain"), "x");
    const Outcome<void> written = WritePortSettings(dir.File("plain/ORVEX.CFG"), 2);
    const std::string error = written.problem().Text();
    EXPECT_FALSE(written);
    EXPECT_NE(error.find(dir.File("plain/ORVEX.CFG")), std::string::npos) << error;
    EXPECT_GT(error.size(), dir.File("plain/ORVEX.CFG").size() + 2) << "no reason given: " << error;

#ifndef _WIN32
    // A read-only folder on Windows still takes new files. Root writes into
    // read-only folders: the write runs as the plain user who owns it.
    const std::string folder = dir.File("locked");
    fs::create_directory(folder);
    const std::string path = folder + "/ORVEX.CFG";
    Put(path, "4\n");
    ASSERT_EQ(::chmod(folder.c_str(), 0500), 0);
    test::Unprivileged().Own(dir.Path());
    EXPECT_EQ(test::RunUnprivileged([&] {
                  const Outcome<void> refused = WritePortSettings(path, 2);
                  const bool written = refused.ok();
                  const std::string why = refused.problem().Text();
                  std::printf("written %d, names the file %d\n", written, why.find(path) != std::string::npos);
                  return 0;
              }),
              "written 0, names the file 1\nexit 0");
    ::chmod(folder.c_str(), 0700);
    EXPECT_EQ(Text(path), "4\n");
#endif
}

// Two places in a made-up file system: the files there, the paths that
// refuse to be written, and what was read and written.
struct FakeFiles {
    std::map<std::string, int> files;
    std::set<std::string> refusing;
    std::vector<std::string> reads, writes;
    PortSettingsFileSystem Calls() {
        return {[this](const std::string& p) { return files.count(p) > 0; },
                [this](const std::string& p) {
                    reads.push_back(p);
                    return PortSettingsRead{files.count(p) ? files[p] : 0, false, {}, {}};
                },
                [this](const std::string& p, int index, const std::string&) -> Outcome<void> {
                    writes.push_back(p);
                    if (refusing.count(p)) return Problem{.where = p, .why = "Access is denied"};
                    files[p] = index;
                    return {};
                }};
    }
};

TEST(PortSettingsPlaces, TheSecondPlaceTakesThePortTheFirstRefusesAndIsReadFirstFromThenOn) {
    const std::string first = "C:\\ORVEX.CFG", second = "C:\\Users\\ann\\AppData\\Local\\ORVEX\\ORVEX.CFG";
    const struct {
        const char* name;
        bool firstExists, secondExists, firstRefuses, secondRefuses, noSecond;
        const char* readFrom;  // "first", "second"
        const char* writtenTo;  // "first", "second", "" (nowhere)
        bool moved;
    } cases[] = {
        {"first place writable", true, false, false, false, false, "first", "first", false},
        {"first place refuses", true, false, true, false, false, "first", "second", true},
        {"first place missing and refusing", false, false, true, false, false, "first", "second", true},
        {"second place holds a file", true, true, false, false, false, "second", "second", false},
        {"both refuse", true, false, true, true, false, "first", "", false},
        {"no second place", true, false, true, false, true, "first", "", false},
        // A port written into the first place now would not be read.
        {"second place holds a file it refuses", true, true, false, true, false, "second", "", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFiles fake;
        if (c.firstExists) fake.files[first] = 4;
        if (c.secondExists) fake.files[second] = 6;
        if (c.firstRefuses) fake.refusing.insert(first);
        if (c.secondRefuses) fake.refusing.insert(second);
        const PortSettingsPlaces places = c.noSecond ? PortSettingsPlaces(first) : PortSettingsPlaces(first, second);
        const auto path = [&](std::string_view which) { return which == "first" ? first : which == "second" ? second : ""; };

        ReadPortSettingsFrom(places, fake.Calls());
        EXPECT_EQ(fake.reads, std::vector<std::string>{path(c.readFrom)});
        const Outcome<RememberedPort> w = WritePortSettingsTo(places, 2, {}, fake.Calls());
        EXPECT_EQ(w ? w.value().path : "", path(c.writtenTo));
        EXPECT_EQ(w && w.value().moved, c.moved);
        // What was written is what the next start reads; a failure names
        // every place tried.
        EXPECT_EQ(ReadPortSettingsFrom(places, fake.Calls()).index, w ? 2 : c.secondExists ? 6 : 4);
        for (const std::string& tried : fake.writes)
            EXPECT_EQ(w.problem().Text().find(tried) != std::string::npos, !w.ok());
    }
    EXPECT_EQ(MovedPortSettingsText(3, {"C:\\ORVEX.CFG", "D:\\ORVEX.CFG"}),
              "COM3 is remembered in D:\\ORVEX.CFG (C:\\ORVEX.CFG cannot be written)");
}

TEST(PortSettingsFile, LocationFollowsTheEnvironment) {
    EnvGuard env;
    env.Set("ORVEX_PORT_FILE", "/somewhere/port.cfg");
    env.Set("XDG_CONFIG_HOME", "/cfg");
    EXPECT_EQ(PortSettingsPath(), "/somewhere/port.cfg");

    EXPECT_EQ(DefaultPortSettingsPlaces().fallback, "");

#ifdef _WIN32
    // The place is fixed, whatever the home and configuration folders are;
    // the second one is the user's own.
    test::TempDir local;
    env.Set("LOCALAPPDATA", local.Path().string().c_str());
    env.Set("ORVEX_PORT_FILE", "");
    EXPECT_EQ(PortSettingsPath(), "C:\\ORVEX.CFG");
    EXPECT_EQ(DefaultPortSettingsPlaces().fallback, local.Path().string() + "\\ORVEX\\ORVEX.CFG");
    fs::create_directories(local.Path() / "ORVEX");
    Put(local.Path().string() + "\\ORVEX\\ORVEX.CFG", "3\n");
    EXPECT_EQ(PortSettingsPath(), local.Path().string() + "\\ORVEX\\ORVEX.CFG");
    fs::remove_all(local.Path() / "ORVEX");
    env.Set("ORVEX_PORT_FILE", nullptr);
    env.Set("XDG_CONFIG_HOME", nullptr);
    env.Set("HOME", "/home/someone");
    EXPECT_EQ(PortSettingsPath(), "C:\\ORVEX.CFG");
    env.Set("ORVEX_PORT_FILE", "D:\\radio\\port.cfg");
    EXPECT_EQ(PortSettingsPath(), "D:\\radio\\port.cfg");
#else
    env.Set("ORVEX_PORT_FILE", "");  // set but empty counts as not set
    EXPECT_EQ(PortSettingsPath(), "/cfg/orvex/ORVEX.CFG");

    env.Set("ORVEX_PORT_FILE", nullptr);
    env.Set("XDG_CONFIG_HOME", nullptr);
    env.Set("HOME", "/home/someone");
    EXPECT_EQ(PortSettingsPath(), "/home/someone/.config/orvex/ORVEX.CFG");

    env.Set("XDG_CONFIG_HOME", "");
    EXPECT_EQ(PortSettingsPath(), "/home/someone/.config/orvex/ORVEX.CFG");
#endif
}

}  // namespace
}  // namespace orvex
