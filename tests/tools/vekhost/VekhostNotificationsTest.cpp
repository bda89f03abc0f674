// The exit code each cause of a failure gives, and the table --help shows.
#include "vekhost/ExitCodes.h"

#include <gtest/gtest.h>

#include <set>

namespace vekhost {
namespace {

using vek::Cause;

struct CauseExit {
    Cause cause;
    std::optional<int> reason;
    int exit;
};

// Literal numbers: scripts depend on them.
const CauseExit kCauseExits[] = {
    {Cause::LibraryStart, {}, 3},     {Cause::NoCarrier, {}, 4},         {Cause::Busy, {}, 11},
    {Cause::LineDropped, {}, 12},     {Cause::DeviceGone, {}, 14},       {Cause::NoDialTone, {}, 15},
    {Cause::PanelEndedCall, 6, 16},   {Cause::NoAnswer, {}, 17},         {Cause::NoIdentification, {}, 18},
    {Cause::DialNoResult, {}, 19},    {Cause::PortUnavailable, {}, 20},  {Cause::WrongVersion, {}, 25},
    {Cause::WrongType, {}, 26},       {Cause::PanelSilent, {}, 27},      {Cause::BadReplies, {}, 27},
    {Cause::LinkLost, {}, 27},        {Cause::ModemFailed, {}, 28},      {Cause::Refused, 9, 90},
    {Cause::Refused, 1, 91},          {Cause::Refused, 2, 92},           {Cause::Refused, 3, 93},
    {Cause::OpenCodeRefused, 4, 94},  {Cause::Refused, 5, 95},           {Cause::TransferRefused, 7, 97},
    {Cause::ShortRead, {}, 98},       {Cause::TimedOut, {}, 124},        {Cause::Cancelled, {}, 130},
    {Cause::CallEnded, {}, 1},        {Cause::IdleHangUp, {}, 1},        {Cause::WrongState, {}, 1},
};

TEST(VekhostExitCodesTest, EachCauseHasItsOwnCode)
{
    for (const CauseExit& c : kCauseExits)
        EXPECT_EQ(ToInt(ExitCodeForCause(c.cause, c.reason)), c.exit) << vek::causeName(c.cause);
}

TEST(VekhostExitCodesTest, CodesAreListedOnceWithTheirMeaning)
{
    std::set<int> seen;
    std::set<std::string_view> meanings;
    for (const ExitCodeInfo& e : ExitCodes()) {
        EXPECT_TRUE(seen.insert(ToInt(e.code)).second) << ToInt(e.code);
        EXPECT_TRUE(meanings.insert(e.meaning).second) << e.meaning;
    }
    // Every code a cause can give is documented.
    for (const CauseExit& c : kCauseExits)
        EXPECT_TRUE(seen.contains(c.exit)) << c.exit;
}

TEST(VekhostExitCodesTest, OwnCodesAreFixed)
{
    EXPECT_EQ(ToInt(ExitCode::Ok), 0);
    EXPECT_EQ(ToInt(ExitCode::Failed), 1);
    EXPECT_EQ(ToInt(ExitCode::Usage), 2);
    EXPECT_EQ(ToInt(ExitCode::TimedOut), 124);
    EXPECT_EQ(ToInt(ExitCode::Interrupted), 130);
    EXPECT_EQ(ToInt(ExitCode::Terminated), 143);
}

TEST(VekhostExitCodesTest, HelpListsEveryCodeWithItsMeaning)
{
    const std::string help = ExitCodeHelp();
    EXPECT_EQ(help.rfind("Exit codes:\n", 0), 0u);
    for (const ExitCodeInfo& e : ExitCodes()) {
        const std::string number = std::to_string(ToInt(e.code));
        EXPECT_NE(help.find(std::string(3 - std::min<size_t>(3, number.size()), ' ') + number + "  " +
                            std::string(e.meaning)),
                  std::string::npos)
            << number;
    }
    for (const char* line : {" 11  BUSY\n", "124  timed out waiting\n", "  143  terminated (SIGTERM)",
                             "   98  the panel returned fewer bytes than asked", " 17  NO ANSWER: nobody picked up"})
        EXPECT_NE(help.find(line), std::string::npos) << line;
}

} // namespace
} // namespace vekhost
