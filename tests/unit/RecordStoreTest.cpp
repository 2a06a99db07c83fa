#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <random>

#include "platform/common/RecordStore.h"

namespace kelo {
namespace {

namespace fs = std::filesystem;

class RecordStoreTest : public ::testing::Test {
protected:
    fs::path root;
    fs::path exeDir;
    fs::path prefDir;
    int prefAsked = 0;

    void SetUp() override {
        root = fs::temp_directory_path() / ("kelo-store-" + std::to_string(std::random_device{}()));
        exeDir = root / "exe";
        prefDir = root / "pref";
        fs::create_directories(exeDir);
        fs::create_directories(prefDir);
    }
    void TearDown() override { fs::remove_all(root); }

    RecordStore Store(fs::path main) {
        return RecordStore(main, [this] {
            ++prefAsked;
            return std::optional<fs::path>(prefDir);
        });
    }

    static void Put(const fs::path& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }
    static std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }
    static void Age(const fs::path& file, int seconds) {
        fs::last_write_time(file, fs::file_time_type::clock::now() - std::chrono::seconds(seconds));
    }
    size_t EntriesIn(const fs::path& dir) {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir), fs::directory_iterator()));
    }
};

TEST_F(RecordStoreTest, NoFileAnywhereReadsAsNothing) {
    RecordStore store = Store(exeDir);
    EXPECT_FALSE(store.Read().has_value());
}

TEST_F(RecordStoreTest, WritesReplaceTheFileWholeAndLeaveNoTemporaryFile) {
    RecordStore store = Store(exeDir);
    Put(exeDir / "kelodt.hsc", std::string(5000, 'a'));
    ASSERT_TRUE(store.Write(Bytes("first")));
    ASSERT_TRUE(store.Write(Bytes("second!")));
    EXPECT_EQ(store.Read(), Bytes("second!"));
    EXPECT_EQ(fs::file_size(exeDir / "kelodt.hsc"), 7u);
    EXPECT_EQ(EntriesIn(exeDir), 1u);
    EXPECT_FALSE(fs::exists(prefDir / "kelodt.hsc"));
    EXPECT_EQ(prefAsked, 1);  // looked for when loading, asked once per store
}

TEST_F(RecordStoreTest, AHugeStrangerFileIsReadOnlyAsFarAsARecordFileCouldReach) {
    Put(exeDir / "kelodt.hsc", std::string(8 << 20, 'x'));
    std::optional<std::vector<uint8_t>> bytes = Store(exeDir).Read();
    ASSERT_TRUE(bytes);
    EXPECT_GT(bytes->size(), 1362u) << "still recognisable as too long";
    EXPECT_LE(bytes->size(), 4096u);
}

TEST_F(RecordStoreTest, AnUnwritableMainFolderSendsSavesToTheFallback) {
    // A regular file in place of the folder cannot be written into, even as root.
    fs::path blocked = root / "blocked";
    Put(blocked, "not a folder");
    RecordStore store = Store(blocked);
    ASSERT_TRUE(store.Write(Bytes("records")));
    EXPECT_EQ(RecordStore(prefDir).Read(), Bytes("records"));
    EXPECT_EQ(store.Read(), Bytes("records"));
}

TEST_F(RecordStoreTest, TheNewerOfTwoFilesIsLoaded) {
    Put(exeDir / "kelodt.hsc", "exe");
    Put(prefDir / "kelodt.hsc", "pref");
    Age(exeDir / "kelodt.hsc", 100);
    EXPECT_EQ(Store(exeDir).Read(), Bytes("pref"));

    Age(prefDir / "kelodt.hsc", 200);
    EXPECT_EQ(Store(exeDir).Read(), Bytes("exe"));

    // A save to the main folder makes it the newer one again.
    Age(exeDir / "kelodt.hsc", 300);
    RecordStore store = Store(exeDir);
    ASSERT_TRUE(store.Write(Bytes("saved")));
    EXPECT_EQ(store.Read(), Bytes("saved"));
}

TEST_F(RecordStoreTest, WithoutAFallbackOnlyTheMainFolderCounts) {
    RecordStore store(root / "missing");
    EXPECT_FALSE(store.Write(Bytes("x")));
    EXPECT_FALSE(store.Read().has_value());
    EXPECT_FALSE(fs::exists(root / "missing"));
}

TEST_F(RecordStoreTest, AFailedAtomicWriteKeepsTheOldFile) {
    fs::path target = exeDir / "kelodt.hsc";
    Put(target, "old");
    // Renaming over a non-empty folder fails after the temporary file was written.
    fs::path folderInTheWay = exeDir / "dir";
    fs::create_directories(folderInTheWay / "inside");
    EXPECT_FALSE(WriteFileAtomically(folderInTheWay, Bytes("new")));
    EXPECT_EQ(ReadWholeFile(target), Bytes("old"));
    EXPECT_EQ(EntriesIn(exeDir), 2u);
    EXPECT_FALSE(ReadWholeFile(folderInTheWay).has_value());
}

}  // namespace
}  // namespace kelo
