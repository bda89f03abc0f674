// How long vekhost waits by default, and the exit codes that name why a
// run ended.
#include "vekhost/ExitCodes.h"
#include "vekhost/WaitBounds.h"

#include <gtest/gtest.h>

namespace vekhost {
namespace {

using namespace std::chrono_literals;

TEST(VekhostWaitTest, DefaultWaitsOutlastTheLibrarysOwnRecovery)
{
    // Ten failed exchanges end the link; each may cost the 8 s first-byte
    // wait plus the step's 10 s and 70 ms a byte.
    struct Case {
        WaitKind kind;
        uint32_t chunk;
        std::chrono::milliseconds atLeast;
    };
    const Case cases[] = {
        {WaitKind::Transfer, 64, 10 * (8000ms + 10000ms + 64 * 70ms)},
        {WaitKind::Transfer, 1024, 10 * (8000ms + 10000ms + 1024 * 70ms)},
        {WaitKind::SessionOpen, 64, 10 * (8000ms + 10000ms)},
        {WaitKind::Identification, 64, 80s},
        {WaitKind::ModemReady, 64, 30s},
        {WaitKind::HangUp, 64, 30s},
    };
    for (const Case& c : cases) {
        const auto bound = LibraryBound(c.kind, c.chunk);
        ASSERT_TRUE(bound.has_value());
        EXPECT_GT(*bound, c.atLeast) << static_cast<int>(c.kind) << " " << c.chunk;
        // The old fixed 30 s cut every one of them short.
        EXPECT_GT(*bound, 30s);
    }
    EXPECT_FALSE(LibraryBound(WaitKind::IncomingCall, 64).has_value());
}

TEST(VekhostWaitTest, ExitCodesForNotificationsAndSignals)
{
    struct Case {
        int notification;
        int exit;
    };
    const Case cases[] = {{4, 4},   {11, 11}, {15, 15}, {16, 16}, {18, 18}, {20, 20}, {25, 25},
                          {26, 26}, {27, 27}, {28, 28}, {97, 97}, {5, 1},   {91, 1}};
    for (const Case& c : cases)
        EXPECT_EQ(ToInt(ExitCodeForNotification(c.notification)), c.exit) << c.notification;
    EXPECT_EQ(ToInt(ExitCode::TimedOut), 124);
    EXPECT_EQ(ToInt(ExitCode::Interrupted), 130);
    EXPECT_EQ(ToInt(ExitCode::Terminated), 143);
    EXPECT_EQ(ToInt(ExitCode::ShortRead), 98);
    const std::string help = ExitCodeHelp();
    for (const char* line : {"  143  terminated (SIGTERM)", "   98  the panel returned fewer bytes than asked"})
        EXPECT_NE(help.find(line), std::string::npos) << line;
}

} // namespace
} // namespace vekhost
