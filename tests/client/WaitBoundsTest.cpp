// How long the client waits by default: longer than the library takes to
// give its own verdict.
#include "WaitBounds.h"

#include <gtest/gtest.h>

namespace vek::internal {
namespace {

using namespace std::chrono_literals;

TEST(ClientWaitBoundsTest, DefaultWaitsOutlastTheLibrarysOwnRecovery)
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

} // namespace
} // namespace vek::internal
