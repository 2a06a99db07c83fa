#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
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

// Saves that fail, and the places where they used to fail without a word.
class RecordSaveFailureTest : public RecordStoreTest {
protected:
    std::vector<fs::path> mounts;

    void TearDown() override {
        for (auto it = mounts.rbegin(); it != mounts.rend(); ++it) ::umount2(it->c_str(), MNT_DETACH);
        std::error_code error;
        fs::permissions(exeDir, fs::perms::owner_all, error);
        RecordStoreTest::TearDown();
    }

    // Root writes into any folder whatever its mode, so as root the folder becomes a
    // read-only mount of itself.
    bool MakeReadOnly(const fs::path& dir) {
        if (::geteuid() != 0) {
            fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec);
            return true;
        }
        if (::mount(dir.c_str(), dir.c_str(), nullptr, MS_BIND, nullptr) != 0) return false;
        mounts.push_back(dir);
        return ::mount(nullptr, dir.c_str(), nullptr, MS_BIND | MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

    bool MountSmallFilesystem(const fs::path& dir) {
        fs::create_directories(dir);
        if (::mount("tmpfs", dir.c_str(), "tmpfs", 0, "size=64k") != 0) return false;
        mounts.push_back(dir);
        return true;
    }
};

TEST_F(RecordSaveFailureTest, AReadOnlyFolderFailsTheSaveNamingTheFileAndTheFallbackKeepsTheRun) {
    Put(exeDir / "kelodt.hsc", "old");
    if (!MakeReadOnly(exeDir)) GTEST_SKIP() << "cannot make a read-only folder here (no mount permission)";

    RecordStore alone(exeDir);
    EXPECT_FALSE(alone.Write(Bytes("new")));
    EXPECT_NE(alone.LastError().find((exeDir / "kelodt.hsc").string()), std::string::npos) << alone.LastError();
    EXPECT_EQ(ReadWholeFile(exeDir / "kelodt.hsc"), Bytes("old"));

    RecordStore store = Store(exeDir);
    EXPECT_TRUE(store.Write(Bytes("new")));
    EXPECT_EQ(ReadWholeFile(prefDir / "kelodt.hsc"), Bytes("new"));
    EXPECT_EQ(Store(exeDir).Read(), Bytes("new"));
}

TEST_F(RecordSaveFailureTest, ARecordFileThatIsAFolderFailsEverySaveWhenNothingElseCanTakeIt) {
    fs::create_directories(exeDir / "kelodt.hsc" / "inside");
    fs::create_directories(prefDir / "kelodt.hsc");
    RecordStore store = Store(exeDir);
    EXPECT_FALSE(store.Write(Bytes("run")));
    EXPECT_NE(store.LastError().find("exe/kelodt.hsc"), std::string::npos) << store.LastError();
    EXPECT_NE(store.LastError().find("pref/kelodt.hsc"), std::string::npos) << store.LastError();
    EXPECT_EQ(EntriesIn(exeDir), 1u);
    EXPECT_EQ(EntriesIn(prefDir), 1u);
}

TEST_F(RecordSaveFailureTest, AFullFilesystemFailsTheSaveAndKeepsTheOldFileWhole) {
    fs::path small = root / "small";
    if (::geteuid() != 0 || !MountSmallFilesystem(small)) GTEST_SKIP() << "cannot mount a small filesystem here";
    RecordStore store(small);
    const std::vector<uint8_t> first(1362, 'a');
    ASSERT_TRUE(store.Write(first));
    {
        std::ofstream filler(small / "filler", std::ios::binary);
        const std::string block(4096, 'f');
        for (int i = 0; i < 64 && filler; ++i) filler.write(block.data(), block.size()), filler.flush();
    }
    EXPECT_FALSE(store.Write(std::vector<uint8_t>(1362, 'b')));
    EXPECT_NE(store.LastError().find("space"), std::string::npos) << store.LastError();
    EXPECT_EQ(ReadWholeFile(small / "kelodt.hsc"), first);
    EXPECT_EQ(EntriesIn(small), 2u) << "no temporary file is left";
}

TEST_F(RecordStoreTest, LeftoverTemporaryFilesNeverBlockASave) {
    // Names an earlier process might have left, including the old pid-based ones.
    for (int i = 0; i < 4; ++i)
        Put(exeDir / ("kelodt.hsc.tmp-" + std::to_string(::getpid()) + "-" + std::to_string(i)), "x");
    EXPECT_TRUE(WriteFileAtomically(exeDir / "kelodt.hsc", Bytes("one")));
    EXPECT_TRUE(WriteFileAtomically(exeDir / "kelodt.hsc", Bytes("two")));
    EXPECT_EQ(ReadWholeFile(exeDir / "kelodt.hsc"), Bytes("two"));
}

TEST_F(RecordStoreTest, FirstUseRemovesStaleTemporariesButNotOneARunningSaveHolds) {
    Put(exeDir / "kelodt.hsc.tmp-Ab12Cd", "crashed");
    Put(exeDir / "kelodt.hsc.tmp-4242-0", "crashed long ago");
    Put(exeDir / "other.tmp-Ab12Cd", "not ours");
    fs::path busy = exeDir / "kelodt.hsc.tmp-busy01";
    Put(busy, "being written");
    int held = ::open(busy.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(held, LOCK_EX), 0);

    RecordStore store(exeDir);
    EXPECT_FALSE(store.Read().has_value());
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(exeDir)) left.push_back(entry.path().filename().string());
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::string>{"kelodt.hsc.tmp-busy01", "other.tmp-Ab12Cd"}));
    ::close(held);
}

TEST_F(RecordStoreTest, ARecordFileThatIsALinkIsSavedThroughTheLink) {
    fs::path elsewhere = root / "synced";
    fs::create_directories(elsewhere);
    Put(elsewhere / "records.bin", "old");
    fs::create_symlink("../synced/records.bin", exeDir / "kelodt.hsc");

    RecordStore store(exeDir);
    ASSERT_TRUE(store.Write(Bytes("new")));
    EXPECT_TRUE(fs::is_symlink(exeDir / "kelodt.hsc"));
    EXPECT_EQ(ReadWholeFile(elsewhere / "records.bin"), Bytes("new"));
    EXPECT_EQ(store.Read(), Bytes("new"));
    EXPECT_EQ(EntriesIn(elsewhere), 1u);
    EXPECT_EQ(EntriesIn(exeDir), 1u);
}

TEST_F(RecordStoreTest, TheDesktopKeepsRecordsInTheDataFolderUnlessItsFolderAsksToBePortable) {
    const std::string data = (root / "data").string();
    // A folder with the sounds (a build folder) is not asked to be portable.
    fs::create_directories(exeDir / "snd");
    RecordStore::Folders installed = DesktopRecordFolders(exeDir, data.c_str(), "/home/nobody");
    EXPECT_EQ(installed.main, root / "data" / "kelo-typing");
    EXPECT_TRUE(installed.createMain);
    EXPECT_FALSE(installed.fallback);
    EXPECT_EQ(installed.older, (std::vector<fs::path>{exeDir, root / "data" / "KAVI-noleb" / "Ke-Lo Typing"}));

    // A relative XDG_DATA_HOME is no data folder at all.
    EXPECT_EQ(DesktopRecordFolders(exeDir, "relative", "/home/nobody").main, "/home/nobody/.local/share/kelo-typing");
    EXPECT_EQ(DesktopRecordFolders(exeDir, nullptr, "/home/nobody").main, "/home/nobody/.local/share/kelo-typing");
    EXPECT_EQ(DesktopRecordFolders(exeDir, nullptr, nullptr).main, exeDir);

    Put(exeDir / kPortableMarkerName, "");
    RecordStore::Folders portable = DesktopRecordFolders(exeDir, data.c_str(), nullptr);
    EXPECT_EQ(portable.main, exeDir);
    ASSERT_TRUE(portable.fallback);
    EXPECT_EQ(portable.fallback(), root / "data" / "kelo-typing");
}

TEST_F(RecordStoreTest, RecordsBesideTheExecutableAreStillLoadedAndTheNextSaveGoesToTheDataFolder) {
    const std::string data = (root / "data").string();
    Put(exeDir / "kelodt.hsc", "runs of the build folder");
    RecordStore store(DesktopRecordFolders(exeDir, data.c_str(), nullptr));
    EXPECT_EQ(store.Read(), Bytes("runs of the build folder"));
    ASSERT_TRUE(store.Write(Bytes("and a new run")));
    EXPECT_EQ(ReadWholeFile(exeDir / "kelodt.hsc"), Bytes("runs of the build folder"));
    EXPECT_EQ(RecordStore(DesktopRecordFolders(exeDir, data.c_str(), nullptr)).Read(), Bytes("and a new run"));
}

TEST_F(RecordStoreTest, AnInstalledGameReadsTheOldPerUserFileAndSavesToTheNewFolder) {
    const std::string data = (root / "data").string();
    fs::path old = root / "data" / "KAVI-noleb" / "Ke-Lo Typing";
    fs::create_directories(old);
    Put(old / "kelodt.hsc", "earlier runs");

    RecordStore store(DesktopRecordFolders(exeDir, data.c_str(), nullptr));
    EXPECT_EQ(store.Read(), Bytes("earlier runs"));
    ASSERT_TRUE(store.Write(Bytes("earlier and new runs")));
    EXPECT_EQ(ReadWholeFile(root / "data" / "kelo-typing" / "kelodt.hsc"), Bytes("earlier and new runs"));
    EXPECT_EQ(ReadWholeFile(old / "kelodt.hsc"), Bytes("earlier runs"));
    EXPECT_FALSE(fs::exists(exeDir / "kelodt.hsc"));
    EXPECT_EQ(RecordStore(DesktopRecordFolders(exeDir, data.c_str(), nullptr)).Read(), Bytes("earlier and new runs"));
}

}  // namespace
}  // namespace kelo
