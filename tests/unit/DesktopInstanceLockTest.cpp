#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
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
