#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "platform/sdl/RaiseChannel.h"

namespace kelo {
namespace {

class DesktopRaise : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/kelo-raise-XXXXXX";
        ASSERT_NE(mkdtemp(pattern), nullptr);
        folder_ = pattern;
        path_ = RaiseSocketPath(folder_ + "/kelo-typing.lock");
    }
    void TearDown() override { std::system(("rm -rf '" + folder_ + "'").c_str()); }

    std::string folder_;
    std::string path_;
};

TEST_F(DesktopRaise, SocketSitsBesideTheLock) {
    EXPECT_EQ(path_, folder_ + "/kelo-typing.sock");
    EXPECT_EQ(RaiseSocketPath("/home/u/.cache/kelo-typing/instance.lock"),
              "/home/u/.cache/kelo-typing/kelo-typing.sock");
    EXPECT_EQ(RaiseSocketPath(""), "");
}

TEST_F(DesktopRaise, RequestsReachTheListenerOnceEach) {
    RaiseListener listener;
    ASSERT_TRUE(listener.Listen(path_));
    EXPECT_FALSE(listener.TakeRequest());
    EXPECT_TRUE(RequestRaise(path_));
    EXPECT_TRUE(RequestRaise(path_));
    EXPECT_TRUE(listener.TakeRequest());
    EXPECT_FALSE(listener.TakeRequest());
}

TEST_F(DesktopRaise, NoListenerNoAnswerAndALeftoverSocketIsReplaced) {
    EXPECT_FALSE(RequestRaise(path_));
    {
        RaiseListener earlier;
        ASSERT_TRUE(earlier.Listen(path_));
    }
    EXPECT_FALSE(RequestRaise(path_));
    std::ofstream(path_) << "left behind by a copy that crashed";
    RaiseListener listener;
    ASSERT_TRUE(listener.Listen(path_));
    EXPECT_TRUE(RequestRaise(path_));
    EXPECT_TRUE(listener.TakeRequest());
}

TEST_F(DesktopRaise, OverlongPathIsRefused) {
    const std::string deep = folder_ + "/" + std::string(120, 'x') + "/kelo-typing.lock";
    RaiseListener listener;
    EXPECT_FALSE(listener.Listen(RaiseSocketPath(deep)));
    EXPECT_FALSE(RequestRaise(RaiseSocketPath(deep)));
}

}  // namespace
}  // namespace kelo
