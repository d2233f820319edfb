// The recent-file list: order, the count kept, one entry per file whatever
// its name, removal, and a store that changes under it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "support/TempDir.h"
#include "ui/model/RecentFiles.h"

namespace orvex {
namespace {

namespace fs = std::filesystem;

struct MemoryStore final : IRecentFilesStore {
    std::vector<std::string> Load() const override { return kept; }
    std::string Store(const std::vector<std::string>& paths) override {
        kept = paths;
        ++writes;
        return {};
    }
    std::vector<std::string> kept;
    int writes = 0;
};

class RecentFilesTest : public ::testing::Test {
protected:
    std::string Touch(const std::string& name) {
        const std::string path = dir.File(name);
        std::ofstream(path) << "x";
        return path;
    }
    test::TempDir dir;
    MemoryStore store;
    RecentFiles recent{store};
};

TEST_F(RecentFilesTest, NewestFirstAndOnlyFourKept) {
    std::vector<std::string> files;
    for (const char* name : {"a.kvx", "b.kvx", "c.kvx", "d.kvx", "e.kvx"}) {
        files.push_back(Touch(name));
        EXPECT_EQ(recent.Add(files.back()), "");
    }
    EXPECT_EQ(recent.Entries(), (std::vector<std::string>{files[4], files[3], files[2], files[1]}));
    EXPECT_EQ(store.kept.size(), kRecentFileCount);
}

TEST_F(RecentFilesTest, OpeningAgainMovesTheFileUpInsteadOfAddingIt) {
    const std::string a = Touch("a.kvx"), b = Touch("b.kvx"), c = Touch("c.kvx");
    for (const std::string& f : {a, b, c}) recent.Add(f);
    // The same file by a name with "." and "..", and by a relative name.
    recent.Add(dir.File("sub/../a.kvx"));
    EXPECT_EQ(recent.Entries(), (std::vector<std::string>{a, c, b}));
    // From inside its folder: the temporary folder may be on another drive
    // than the working folder, where no relative name leads to it.
    const fs::path before = fs::current_path();
    fs::current_path(dir.Path());
    recent.Add("b.kvx");
    fs::current_path(before);
    EXPECT_EQ(recent.Entries(), (std::vector<std::string>{b, a, c}));
}

#ifndef _WIN32
TEST_F(RecentFilesTest, AFileReachedThroughALinkIsOneEntry) {
    const std::string real = Touch("real.kvx");
    fs::create_symlink(real, dir.File("link.kvx"));
    recent.Add(real);
    recent.Add(dir.File("link.kvx"));
    // The name the user opened it by is the one shown.
    EXPECT_EQ(recent.Entries(), std::vector<std::string>{dir.File("link.kvx")});
}
#endif

TEST_F(RecentFilesTest, RemoveTakesOnlyThatFileOff) {
    const std::string a = Touch("a.kvx"), b = Touch("b.kvx");
    recent.Add(a);
    recent.Add(b);
    fs::remove(a);
    EXPECT_EQ(recent.Remove(a), "");
    EXPECT_EQ(recent.Entries(), std::vector<std::string>{b});
    // Removing what is not listed leaves the store alone.
    const int writes = store.writes;
    EXPECT_EQ(recent.Remove(dir.File("never.kvx")), "");
    EXPECT_EQ(store.writes, writes);
}

TEST_F(RecentFilesTest, WhatAnotherWindowAddedIsKept) {
    const std::string a = Touch("a.kvx"), b = Touch("b.kvx");
    recent.Add(a);
    RecentFiles other(store);
    other.Add(b);
    recent.Add(Touch("c.kvx"));
    EXPECT_EQ(recent.Entries(), (std::vector<std::string>{dir.File("c.kvx"), b, a}));
}

TEST_F(RecentFilesTest, AHandEditedStoreIsTidiedWhenRead) {
    const std::string a = Touch("a.kvx");
    store.kept = {"", a, dir.File("./a.kvx"), dir.File("b.kvx"), dir.File("c.kvx"), dir.File("d.kvx"), dir.File("e.kvx")};
    EXPECT_EQ(recent.Entries(),
              (std::vector<std::string>{a, dir.File("b.kvx"), dir.File("c.kvx"), dir.File("d.kvx")}));
}

TEST_F(RecentFilesTest, OnlyAMissingFileCountsAsGone) {
    EXPECT_FALSE(FileIsGone(Touch("a.kvx")));
    EXPECT_FALSE(FileIsGone(dir.Path().string()));
    EXPECT_TRUE(FileIsGone(dir.File("missing.kvx")));
    EXPECT_TRUE(FileIsGone(dir.File("no-folder/missing.kvx")));
}

}  // namespace
}  // namespace orvex
