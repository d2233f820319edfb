#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "files/SettingsFile.h"
#include "files/SystemError.h"
#include "settings/Trace.h"
#include "support/ChildProcess.h"
#include "support/KvxSample.h"
#include "support/TempDir.h"

namespace orvex::kvx {
namespace {

using test::Bytes;

TEST(KvxImage, RecognisedByBytes128To145Alone) {
    KvxImage image;
    const Bytes good = test::BlankSettingsImage();
    std::copy(good.begin(), good.end(), image.bytes().begin());
    image.setText(0, 32, "anything at all");
    EXPECT_TRUE(image.HasSettingsIdentifier());
    for (std::size_t offset = 128; offset <= 145; ++offset) {
        KvxImage broken = image;
        broken.setUInt8(offset, static_cast<std::uint8_t>(broken.getUInt8(offset) ^ 0x01));
        EXPECT_FALSE(broken.HasSettingsIdentifier()) << "byte " << offset;
    }
}

TEST(KvxCodec, DecodesEachFieldFromItsOffset) {
    Bytes b = test::BlankSettingsImage();
    for (int i = 0; i < 16; ++i) b[146 + i] = static_cast<std::uint8_t>(i + 1);
    b[162] = 10, b[163] = 20, b[164] = 30, b[165] = 40;
    b[166] = 0x21, b[167] = 3, b[168] = 7;
    for (int i = 0; i < 23; ++i) b[169 + i] = static_cast<std::uint8_t>(i % 2);
    test::PutRecord(b, 0, 0x28A0, 3, 7, {1, 2, 3, 4, 5, 6});
    test::PutRecord(b, 9, 0x2EE0, 4, 5, {6, 5, 4, 3, 2, 1});
    for (int i = 0; i < 23; ++i) b[1792 + i] = static_cast<std::uint8_t>(0xA0 + i);
    test::PutDouble(b, 1815, 1234.5);
    test::PutDouble(b, 1823, -0.25);
    KvxImage image;
    std::copy(b.begin(), b.end(), image.bytes().begin());

    const KvxValues v = DecodeKvx(image);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(v.optionSelections[i], i + 1);
    EXPECT_EQ(v.alignment, (std::array<std::uint8_t, 4>{10, 20, 30, 40}));
    EXPECT_EQ(v.optionFlags, 0x21);
    EXPECT_EQ(v.bandPlan, 3);
    EXPECT_EQ(v.emgChannel, 7);
    for (int i = 0; i < 23; ++i) EXPECT_EQ(v.channelEnable[i], i % 2);
    EXPECT_EQ(v.records[0].m_nNumber, 1);
    EXPECT_EQ(v.records[0].m_wFreq, 0x28A0);
    EXPECT_EQ(v.records[9].m_nNumber, 10);
    EXPECT_EQ(v.records[9].m_tail, (std::array<std::uint8_t, 6>{6, 5, 4, 3, 2, 1}));
    EXPECT_EQ(v.optionBlock[22], 0xA0 + 22);
    EXPECT_EQ(v.toneA, 1234.5);
    EXPECT_EQ(v.toneB, -0.25);

    // Writing the decoded values back gives the same bytes, headers aside.
    const KvxImage again = EncodeKvx(v);
    for (std::size_t i = 128; i < 2047; ++i) ASSERT_EQ(again.getUInt8(i), b[i]) << "byte " << i;
}

class SettingsFileTest : public ::testing::Test {
protected:
    std::string Put(const std::string& name, const Bytes& bytes) {
        const std::string path = dir.File(name);
        test::WriteBytes(path, bytes);
        return path;
    }
    test::TempDir dir;
};

TEST_F(SettingsFileTest, OnlyCompleteFilesWithTheIdentifierAreRead) {
    const struct {
        const char* name;
        Bytes bytes;
        FileStatus status;
    } cases[] = {
        {"empty", {}, FileStatus::NotSettingsFile},
        {"100", test::BlankSettingsImage(100), FileStatus::NotSettingsFile},
        {"145", test::BlankSettingsImage(145), FileStatus::NotSettingsFile},
        {"146", test::BlankSettingsImage(146), FileStatus::NotSettingsFile},
        {"2047", test::BlankSettingsImage(2047), FileStatus::NotSettingsFile},
        {"2048", test::BlankSettingsImage(2048), FileStatus::Ok},
        {"4096", test::BlankSettingsImage(4096), FileStatus::Ok},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadSettingsFile(Put(c.name, c.bytes)).status, c.status) << c.name;

    Bytes b = test::BlankSettingsImage();
    b[128] = 0x76;
    EXPECT_EQ(ReadSettingsFile(Put("identifier", b)).status, FileStatus::NotSettingsFile);
    b = test::BlankSettingsImage();
    b[145] = 1;
    EXPECT_EQ(ReadSettingsFile(Put("minor", b)).status, FileStatus::NotSettingsFile);
    b = test::BlankSettingsImage();
    b[144] = 3;
    EXPECT_EQ(ReadSettingsFile(Put("major", b)).status, FileStatus::NotSettingsFile);
}

TEST_F(SettingsFileTest, WhatCannotBeReadSaysWhy) {
    const std::string missing = dir.File("missing.kvx");
    ReadResult r = ReadSettingsFile(missing);
    EXPECT_EQ(r.status, FileStatus::CantOpen);
#ifdef _WIN32
    EXPECT_EQ(r.problem().Text(), missing + ": " + SystemErrorText(ERROR_FILE_NOT_FOUND));
#else
    EXPECT_EQ(r.problem().Text(), missing + ": " + std::strerror(ENOENT));
#endif

    r = ReadSettingsFile(dir.Path().string());
    EXPECT_EQ(r.status, FileStatus::CantOpen);
    EXPECT_NE(r.problem().Text().find(dir.Path().string()), std::string::npos);

#ifdef _WIN32
    // Where POSIX has a locked file, Windows has one another program holds.
    const std::string held = Put("held.kvx", test::BlankSettingsImage());
    const HANDLE other = ::CreateFileA(held.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(other, INVALID_HANDLE_VALUE);
    r = ReadSettingsFile(held);
    ::CloseHandle(other);
    EXPECT_EQ(r.status, FileStatus::CantOpen);
    EXPECT_EQ(r.problem().Text(), held + ": " + SystemErrorText(ERROR_SHARING_VIOLATION) + " (another program has the file open)");
#else
    // A FIFO must be refused, not waited on.
    const std::string fifo = dir.File("fifo.kvx");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadSettingsFile(fifo).status, FileStatus::CantOpen);
    EXPECT_EQ(WriteSettingsFile(fifo, KvxValues{}).status, FileStatus::CantOpen);

    // Root reads files whatever their mode: the read runs as a plain user.
    const std::string locked = Put("locked.kvx", test::BlankSettingsImage());
    ASSERT_EQ(::chmod(locked.c_str(), 0), 0);
    test::Unprivileged().Own(dir.Path());
    EXPECT_EQ(test::RunUnprivileged([&] {
                  const ReadResult denied = ReadSettingsFile(locked);
                  std::printf("status %d, denied %d\n", static_cast<int>(denied.status),
                              denied.problem().Text().find(std::strerror(EACCES)) != std::string::npos);
                  return 0;
              }),
              "status " + std::to_string(static_cast<int>(FileStatus::CantOpen)) + ", denied 1\nexit 0");
#endif
}

// Both directions leave their cause in the trace, which is all a user's
// report may carry.
TEST_F(SettingsFileTest, FailedOpenAndSaveAreTracedWithTheCause) {
    std::vector<std::string> lines;
    SetTraceSink([&](const std::string& line) { lines.push_back(line); });
    const std::string missing = dir.File("missing.kvx");
    const ReadResult r = ReadSettingsFile(missing);
    const std::string nowhere = (dir.Path() / "no such folder" / "x.kvx").string();
    const WriteResult w = WriteSettingsFile(nowhere, KvxValues{});
    ASSERT_EQ(WriteSettingsFile(dir.File("fine.kvx"), KvxValues{}).status, FileStatus::Ok);
    SetTraceSink({});

    ASSERT_FALSE(r.problem().Text().empty());
    ASSERT_EQ(w.status, FileStatus::CantOpen);
    ASSERT_NE(w.problem().Text().find(nowhere), std::string::npos) << w.problem().Text();
    EXPECT_EQ(lines, (std::vector<std::string>{"open for reading failed: " + r.problem().Text() + "\n",
                                               "save failed: " + w.problem().Text() + "\n"}));
}

#ifdef _WIN32
// The system's message goes in the middle of "<path>: <why> (<hint>)": one
// line, without the line break and full stop FormatMessage ends it with.
TEST(SystemErrorText, IsOneLineWithoutTheClosingStop) {
    for (const DWORD code : {ERROR_FILE_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_SHARING_VIOLATION}) {
        const std::string text = SystemErrorText(static_cast<int>(code));
        ASSERT_FALSE(text.empty()) << code;
        EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << code << ": " << text;
        EXPECT_NE(text.back(), '.') << code << ": " << text;
        EXPECT_NE(text.back(), ' ') << code << ": " << text;
    }
    EXPECT_NE(SystemErrorText(ERROR_FILE_NOT_FOUND), SystemErrorText(ERROR_ACCESS_DENIED));
}
#endif

}  // namespace
}  // namespace orvex::kvx
