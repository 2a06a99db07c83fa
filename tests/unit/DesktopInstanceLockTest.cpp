#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/sdl/InstanceLock.h"

namespace kelo {
namespace {

namespace fs = std::filesystem;

class DesktopInstanceLock : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kelo-lock-test-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        dir_ = pattern;
    }
    void TearDown() override { fs::remove_all(dir_); }
    fs::path dir_;
};

TEST_F(DesktopInstanceLock, PrefersTheRuntimeDirectoryAndFallsBackToAPrivateCacheFolder) {
    const fs::path runtime = dir_ / "runtime";
    const fs::path home = dir_ / "home";
    fs::create_directory(runtime);
    fs::create_directory(home);

    EXPECT_EQ(InstanceLockPath(runtime.c_str(), home.c_str()), (runtime / "kelo-typing.lock").string());

    const std::string expected = (home / ".cache/kelo-typing/instance.lock").string();
    EXPECT_EQ(InstanceLockPath(nullptr, home.c_str()), expected);
    EXPECT_EQ(InstanceLockPath((dir_ / "missing").c_str(), home.c_str()), expected);
    EXPECT_EQ(InstanceLockPath("relative/runtime", home.c_str()), expected);

    struct stat info {};
    ASSERT_EQ(stat((home / ".cache/kelo-typing").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
}

TEST_F(DesktopInstanceLock, ALockOutsideTheRuntimeFolderIsSaidWithTheReason) {
    const fs::path home = dir_ / "home";
    const fs::path cache = dir_ / "cache";
    fs::create_directory(home);
    std::ofstream(dir_ / "file") << "x";
    struct Case {
        std::optional<std::string> runtime, cacheHome, home;
        std::string path, notice;
    };
    const std::string homeLock = (home / ".cache/kelo-typing/instance.lock").string();
    const Case cases[] = {
        {dir_.string(), std::nullopt, home.string(), (dir_ / "kelo-typing.lock").string(), ""},
        {std::nullopt, std::nullopt, home.string(), homeLock,
         "XDG_RUNTIME_DIR is not set; the single-instance lock is in"},
        {(dir_ / "file").string(), std::nullopt, home.string(), homeLock, "\" is no folder; the single-instance lock"},
        {"", cache.string(), std::nullopt, (cache / "kelo-typing/instance.lock").string(), "in " + cache.string()},
        {std::nullopt, std::nullopt, (dir_ / "file").string(), "",
         "XDG_RUNTIME_DIR is not set; nor can " + (dir_ / "file").string() + "/.cache/kelo-typing be used"},
    };
    for (const Case& c : cases) {
        auto arg = [](const std::optional<std::string>& v) { return v ? v->c_str() : nullptr; };
        const InstanceLockPlace place = ChooseInstanceLockPlace(arg(c.runtime), arg(c.cacheHome), arg(c.home));
        EXPECT_EQ(place.path, c.path) << c.path;
        if (c.notice.empty()) {
            EXPECT_EQ(place.notice, "");
        } else {
            EXPECT_NE(place.notice.find(c.notice), std::string::npos) << place.notice;
        }
    }
}

TEST_F(DesktopInstanceLock, OnlyOneHolderAtATime) {
    const std::string path = (dir_ / "game.lock").string();
    InstanceLock first;
    InstanceLock second;
    EXPECT_EQ(first.Acquire(path), InstanceLock::Result::Acquired);
    EXPECT_EQ(second.Acquire(path), InstanceLock::Result::HeldElsewhere);
    EXPECT_EQ(second.Acquire(path), InstanceLock::Result::HeldElsewhere);
    first.Release();
    EXPECT_EQ(second.Acquire(path), InstanceLock::Result::Acquired);
}

// Runs `body` in a child process that ends with _exit (no destructors run) and returns
// its exit status.
template <typename Body>
int InChildProcess(Body body) {
    const pid_t child = fork();
    if (child == 0) _exit(body());
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
    return WEXITSTATUS(status);
}

TEST_F(DesktopInstanceLock, AnotherProcessSeesTheLockUntilItsHolderEnds) {
    const std::string path = (dir_ / "game.lock").string();
    InstanceLock holder;
    ASSERT_EQ(holder.Acquire(path), InstanceLock::Result::Acquired);
    EXPECT_EQ(InChildProcess([&] {
                  InstanceLock other;
                  return other.Acquire(path) == InstanceLock::Result::HeldElsewhere ? 0 : 1;
              }),
              0);
    holder.Release();

    // A holder that dies without releasing leaves the lock free.
    EXPECT_EQ(InChildProcess([&] {
                  static InstanceLock dying;
                  return dying.Acquire(path) == InstanceLock::Result::Acquired ? 0 : 1;
              }),
              0);
    EXPECT_EQ(holder.Acquire(path), InstanceLock::Result::Acquired);
}

TEST_F(DesktopInstanceLock, UnusableLockFilesDoNotCountAsAnotherInstance) {
    InstanceLock lock;
    EXPECT_EQ(lock.Acquire(""), InstanceLock::Result::Unavailable);
    EXPECT_EQ(lock.Acquire((dir_ / "missing/game.lock").string()), InstanceLock::Result::Unavailable);
    // A symbolic link planted at the lock's name is not followed.
    fs::create_symlink(dir_ / "elsewhere", dir_ / "planted.lock");
    EXPECT_EQ(lock.Acquire((dir_ / "planted.lock").string()), InstanceLock::Result::Unavailable);
    EXPECT_FALSE(fs::exists(dir_ / "elsewhere"));
}

}  // namespace
}  // namespace kelo
