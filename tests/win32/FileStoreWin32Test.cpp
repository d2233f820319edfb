// Settings files and the port settings file on the Win32 file calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "files/SettingsFile.h"
#include "files/SystemError.h"
#include "link/PortSettingsFile.h"
#include "support/KvxSample.h"
#include "support/TempDir.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;
using test::Bytes;

kvx::KvxValues ValuesWithBand(std::uint8_t band) {
    kvx::KvxValues v;
    v.bandPlan = band;
    return v;
}

std::size_t FilesIn(const fs::path& dir) {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(dir)) ++n;
    return n;
}

TEST(FileStoreWin32, SaveReplacesTheFileAndLeavesNothingBeside) {
    test::TempDir dir;
    const std::string path = dir.File("radio.kvx");
    Bytes old = test::BlankSettingsImage();
    old.resize(3000, 0x5A);  // bytes past the 2048th belong to nobody but stay
    test::WriteBytes(path, old);

    ASSERT_EQ(kvx::WriteSettingsFile(path, ValuesWithBand(3)).status, kvx::FileStatus::Ok);
    const Bytes now = test::ReadBytes(path);
    ASSERT_EQ(now.size(), 3000u);
    EXPECT_EQ(now[2500], 0x5A);
    const kvx::ReadResult back = kvx::ReadSettingsFile(path);
    ASSERT_EQ(back.status, kvx::FileStatus::Ok) << back.problem().Text();
    EXPECT_EQ(back.values.bandPlan, 3);
    EXPECT_EQ(FilesIn(dir.Path()), 1u) << "a temporary file was left behind";
}

TEST(FileStoreWin32, AReadOnlyFileIsRefusedAndKept) {
    test::TempDir dir;
    const std::string path = dir.File("locked.kvx");
    test::WriteBytes(path, test::BlankSettingsImage());
    const std::wstring wide = fs::u8path(path).wstring();
    ASSERT_TRUE(::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_READONLY));

    const kvx::WriteResult r = kvx::WriteSettingsFile(path, ValuesWithBand(2));
    EXPECT_EQ(r.status, kvx::FileStatus::CantOpen);
    EXPECT_EQ(r.problem().Text().rfind(path + ": ", 0), 0u) << r.problem().Text();
    EXPECT_NE(r.problem().Text().find("permissions"), std::string::npos) << r.problem().Text();
    EXPECT_EQ(test::ReadBytes(path), test::BlankSettingsImage());
    ::SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(FileStoreWin32, AFileHeldOpenByAnotherProgramIsNotDamaged) {
    test::TempDir dir;
    const std::string path = dir.File("busy.kvx");
    test::WriteBytes(path, test::BlankSettingsImage());
    // Another program with the file open and no sharing at all.
    const HANDLE other = ::CreateFileW(fs::u8path(path).wstring().c_str(), GENERIC_READ, 0, nullptr,
                                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);

    const kvx::WriteResult w = kvx::WriteSettingsFile(path, ValuesWithBand(2));
    EXPECT_NE(w.status, kvx::FileStatus::Ok);
    EXPECT_EQ(w.problem().Text().rfind(path + ": ", 0), 0u) << w.problem().Text();
    const kvx::ReadResult r = kvx::ReadSettingsFile(path);
    EXPECT_EQ(r.status, kvx::FileStatus::CantOpen);
    ::CloseHandle(other);

    EXPECT_EQ(test::ReadBytes(path), test::BlankSettingsImage());
    EXPECT_EQ(FilesIn(dir.Path()), 1u) << "a temporary file was left behind";
}

// A program that lets others read while it writes must not have its file
// read half-way; one that only reads is no obstacle.
TEST(FileStoreWin32, AFileBeingWrittenIsNotReadButOneBeingReadIs) {
    test::TempDir dir;
    const std::string path = dir.File("shared.kvx");
    test::WriteBytes(path, test::BlankSettingsImage());
    const std::wstring wide = fs::u8path(path).wstring();

    HANDLE other = ::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    const kvx::ReadResult writing = kvx::ReadSettingsFile(path);
    ::CloseHandle(other);
    EXPECT_EQ(writing.status, kvx::FileStatus::CantOpen);
    EXPECT_EQ(writing.problem().Text(), path + ": " + SystemErrorText(ERROR_SHARING_VIOLATION) +
                                  " (another program has the file open)");

    other = ::CreateFileW(wide.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    const kvx::ReadResult reading = kvx::ReadSettingsFile(path);
    ::CloseHandle(other);
    EXPECT_EQ(reading.status, kvx::FileStatus::Ok) << reading.problem().Text();
}

TEST(FileStoreWin32, DevicesAndFoldersAreNotSettingsFiles) {
    test::TempDir dir;
    for (const std::string& path : {std::string("NUL"), std::string("\\\\.\\NUL"), dir.Path().string()}) {
        const kvx::ReadResult r = kvx::ReadSettingsFile(path);
        EXPECT_EQ(r.status, kvx::FileStatus::CantOpen) << path;
        EXPECT_EQ(r.problem().Text().rfind(path + ": ", 0), 0u) << r.problem().Text();
    }
    EXPECT_EQ(kvx::WriteSettingsFile(dir.Path().string(), ValuesWithBand(1)).status, kvx::FileStatus::CantOpen);
    const kvx::ReadResult missing = kvx::ReadSettingsFile(dir.File("none.kvx"));
    EXPECT_EQ(missing.status, kvx::FileStatus::CantOpen);
    EXPECT_GT(missing.problem().Text().size(), dir.File("none.kvx").size() + 2) << "no reason given";
}

TEST(FileStoreWin32, NamesOutsideTheAnsiCodePageWork) {
    test::TempDir dir;
    const std::string path = dir.File("\xd0\xa0\xd0\xb0\xd0\xb4\xd0\xb8\xd0\xbe \xe2\x9c\x93.kvx");  // "Радио ✓.kvx"
    ASSERT_EQ(kvx::WriteSettingsFile(path, ValuesWithBand(4)).status, kvx::FileStatus::Ok);
    EXPECT_TRUE(fs::exists(fs::u8path(path)));
    const kvx::ReadResult r = kvx::ReadSettingsFile(path);
    ASSERT_EQ(r.status, kvx::FileStatus::Ok) << r.problem().Text();
    EXPECT_EQ(r.values.bandPlan, 4);
}

TEST(FileStoreWin32, SavingThroughALinkReplacesTheFileItNames) {
    test::TempDir dir;
    const std::string real = dir.File("real.kvx");
    const std::string link = dir.File("link.kvx");
    test::WriteBytes(real, test::BlankSettingsImage());
    // Creating one needs a privilege on Windows; some emulations report
    // success and make nothing.
    if (!::CreateSymbolicLinkW(fs::u8path(link).wstring().c_str(), fs::u8path(real).wstring().c_str(), 0) ||
        ::GetFileAttributesW(fs::u8path(link).wstring().c_str()) == INVALID_FILE_ATTRIBUTES)
        FAIL() << "no symbolic link could be made here; the Wine run leaves this case out by name";

    ASSERT_EQ(kvx::WriteSettingsFile(link, ValuesWithBand(3)).status, kvx::FileStatus::Ok);
    EXPECT_EQ(kvx::ReadSettingsFile(real).values.bandPlan, 3) << "the linked file was not saved";
    const DWORD attributes = ::GetFileAttributesW(fs::u8path(link).wstring().c_str());
    EXPECT_TRUE(attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT))
        << "the link was replaced by a plain file";
}

TEST(FileStoreWin32, ANameThatIsNotUtf8IsRefusedNotGuessed) {
    // Read in some code page, these bytes would name a different file.
    test::TempDir dir;
    const std::string path = dir.Path().string() + "\\caf\xe9.kvx";  // not through a path type, which would convert it
    const kvx::WriteResult w = kvx::WriteSettingsFile(path, ValuesWithBand(1));
    EXPECT_EQ(w.status, kvx::FileStatus::CantOpen);
    EXPECT_NE(w.problem().Text().find("not a valid file name"), std::string::npos) << w.problem().Text();
    EXPECT_EQ(kvx::ReadSettingsFile(path).status, kvx::FileStatus::CantOpen);
    EXPECT_EQ(FilesIn(dir.Path()), 0u);
}

// The remembered port lives at the root of drive C, as it always has.
TEST(PortSettingsFileWin32, LivesAtTheRootOfDriveC) {
    const char* overridden = std::getenv("ORVEX_PORT_FILE");
    ASSERT_TRUE(overridden == nullptr || *overridden == '\0') << "ORVEX_PORT_FILE would hide the real location";
    const std::string path = PortSettingsPath();
    ASSERT_EQ(path, "C:\\ORVEX.CFG");

    // Whatever an earlier run left there is put back afterwards.
    std::error_code ec;
    const bool had = fs::exists(path, ec);
    const Bytes saved = had ? test::ReadBytes(path) : Bytes{};
    fs::remove(path, ec);

    PortSettingsRead r = ReadPortSettings(path);
    EXPECT_TRUE(r.created);
    EXPECT_EQ(r.index, 0);
    EXPECT_EQ(test::ReadBytes(path), (Bytes{'0', '\n'}));

    const Outcome<void> written = WritePortSettings(path, 6);
    ASSERT_TRUE(written) << written.problem();
    EXPECT_EQ(test::ReadBytes(path), (Bytes{'6', '\n'}));
    r = ReadPortSettings(path);
    EXPECT_FALSE(r.created);
    EXPECT_EQ(r.index, 6);

    if (had)
        test::WriteBytes(path, saved);
    else
        fs::remove(path, ec);
}

}  // namespace
}  // namespace orvex
