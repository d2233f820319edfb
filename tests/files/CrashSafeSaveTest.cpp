// Save must never leave a damaged file behind: killed at any moment, the
// path holds the complete old file or the complete new one.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <thread>

#include "files/SettingsFile.h"
#include "support/ChildProcess.h"
#include "support/TempDir.h"

namespace orvex::kvx {
namespace {

using test::Bytes;

KvxValues ValuesWithBand(std::uint8_t band) {
    KvxValues v = MakeKvxValues(RadioSettings{});
    v.bandPlan = band;
    v.optionBlock.fill(band);
    return v;
}

#ifndef _WIN32
// The file a save of v over `old` must produce.
Bytes Expected(const Bytes& old, const KvxValues& v) {
    Bytes out = old;
    if (out.size() < kFileSize) out.resize(kFileSize, 0);
    const KvxImage image = EncodeKvx(v);
    for (const Range& r : kWrittenRanges)
        std::copy_n(image.bytes().begin() + static_cast<long>(r.offset), r.size, out.begin() + static_cast<long>(r.offset));
    return out;
}

TEST(CrashSafeSave, KilledAtRandomMomentsLeavesOldOrNewWhole) {
    test::TempDir dir;
    const std::string path = dir.File("radio.kvx");
    Bytes start(4096, 0x5A);  // longer than a settings file: its tail must survive too
    {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(start.data()), 4096);
    }
    const Bytes a = Expected(start, ValuesWithBand(1));
    const Bytes b = Expected(a, ValuesWithBand(2));  // a and b differ only in Save's ranges
    ASSERT_EQ(Expected(b, ValuesWithBand(1)), a);
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        test::ChildProcess saver;
        ASSERT_TRUE(saver.Fork([&] {
            for (int i = 0;; ++i) WriteSettingsFile(path, ValuesWithBand(i % 2 ? 2 : 1));
            return 0;
        }));
        std::this_thread::sleep_for(std::chrono::microseconds(200 + random() % 3000));
        saver.Kill();
        const Bytes now = test::ReadBytes(path);
        ASSERT_TRUE(now == a || now == b || now == start) << "round " << round << ": " << now.size() << " bytes";
    }
}

TEST(CrashSafeSave, KeepsPermissionsAndSavesThroughALink) {
    test::TempDir dir;
    const std::string path = dir.File("radio.kvx");
    ASSERT_EQ(WriteSettingsFile(path, ValuesWithBand(1)).status, FileStatus::Ok);
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(WriteSettingsFile(path, ValuesWithBand(2)).status, FileStatus::Ok);
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    const std::string link = dir.File("link.kvx");
    ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
    ASSERT_EQ(WriteSettingsFile(link, ValuesWithBand(3)).status, FileStatus::Ok);
    struct stat lst {};
    ASSERT_EQ(::lstat(link.c_str(), &lst), 0);
    EXPECT_TRUE(S_ISLNK(lst.st_mode)) << "the link must stay a link";
    EXPECT_EQ(test::ReadBytes(path)[Offset::bandPlan], 3);
    // Nothing is left beside the file.
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) ++entries;
    EXPECT_EQ(entries, 2);
}
#endif

TEST(CrashSafeSave, ReadOnlyFileIsRefusedAndKept) {
    namespace fs = std::filesystem;
    test::TempDir dir;
    const std::string path = dir.File("radio.kvx");
    ASSERT_EQ(WriteSettingsFile(path, ValuesWithBand(1)).status, FileStatus::Ok);
    const Bytes before = test::ReadBytes(path);
    // 0444; on Windows, the read-only attribute.
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
#ifdef _WIN32
    const WriteResult r = WriteSettingsFile(path, ValuesWithBand(2));
    EXPECT_EQ(r.status, FileStatus::CantOpen);
    EXPECT_NE(r.problem().Text().find(path), std::string::npos);
#else
    // Root may write any file: the save runs as the plain user who owns the
    // folder and the file, and who could replace the file by a rename.
    test::Unprivileged().Own(dir.Path());
    EXPECT_EQ(test::RunUnprivileged([&] {
                  const WriteResult r = WriteSettingsFile(path, ValuesWithBand(2));
                  std::printf("status %d, names the file %d\n", static_cast<int>(r.status),
                              r.problem().Text().find(path) != std::string::npos);
                  return 0;
              }),
              "status " + std::to_string(static_cast<int>(FileStatus::CantOpen)) + ", names the file 1\nexit 0");
#endif
    EXPECT_EQ(test::ReadBytes(path), before);
}

}  // namespace
}  // namespace orvex::kvx
