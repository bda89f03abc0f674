// The names vekhost prints for the library's notification codes, which
// codes carry a block to free, and the exit code each failure gives.
#include "vekhost/ExitCodes.h"
#include "vekhost/Notifications.h"

#include <gtest/gtest.h>

#include <set>

namespace vekhost {
namespace {

struct Named {
    int code;
    const char* name;
};

const Named kNames[] = {
    {3, "session opened"},
    {4, "no carrier"},
    {5, "write done"},
    {6, "read done"},
    {8, "on hook"},
    {9, "modem ready"},
    {11, "busy"},
    {13, "incoming call identified"},
    {15, "no dial tone"},
    {16, "panel ended the call"},
    {18, "no identification"},
    {20, "port unavailable"},
    {23, "waiting for connect"},
    {25, "wrong version"},
    {26, "wrong type"},
    {27, "link lost"},
    {28, "modem command failed"},
    {29, "panel busy"},
    {30, "dialling"},
    {32, "connected"},
    {35, "answer mode ready"},
    {36, "idle hang-up"},
    {38, "panel asked for answer mode"},
    {40, "not connected"},
    {41, "ring"},
    {90, "panel identified"},
    {91, "exchange failed"},
    {92, "exchange ok"},
    {97, "transfer refused"},
};

TEST(VekhostNotificationsTest, EveryCodeTheHostCanReceiveHasItsName)
{
    for (const Named& n : kNames)
        EXPECT_EQ(NotificationName(n.code), n.name) << "code " << n.code;
}

TEST(VekhostNotificationsTest, UnknownCodesAreShownByNumber)
{
    EXPECT_EQ(NotificationName(77), "code 77");
    EXPECT_EQ(FindNotification(77), nullptr);
    EXPECT_FALSE(IsFailure(77));
    EXPECT_FALSE(CarriesBlock(77));
}

TEST(VekhostNotificationsTest, CodesAreListedOnce)
{
    std::set<int> seen;
    for (const NotificationInfo& n : Notifications())
        EXPECT_TRUE(seen.insert(n.code).second) << "code " << n.code;
}

TEST(VekhostNotificationsTest, OnlyCodesWithDataCarryABlockToFree)
{
    std::set<int> blocks;
    for (const NotificationInfo& n : Notifications())
        if (n.carriesBlock)
            blocks.insert(n.code);
    EXPECT_EQ(blocks, (std::set<int>{3, 5, 6, 13, 90}));
}

TEST(VekhostNotificationsTest, FailuresAndTheOnesTheLibraryEndsItself)
{
    std::set<int> failures;
    std::set<int> libraryEnds;
    for (const NotificationInfo& n : Notifications()) {
        if (n.kind == NoteKind::Failure) {
            failures.insert(n.code);
            EXPECT_FALSE(n.hint.empty()) << "code " << n.code;
        }
        if (n.libraryEndsCall)
            libraryEnds.insert(n.code);
    }
    EXPECT_EQ(failures, (std::set<int>{4, 11, 15, 16, 18, 20, 25, 26, 27, 28, 97}));
    EXPECT_EQ(libraryEnds, (std::set<int>{16, 18, 25, 26, 27}));
}

struct FailureExit {
    int notification;
    int exit;
};

const FailureExit kFailureExits[] = {
    {4, 4}, {11, 11}, {15, 15}, {16, 16}, {18, 18}, {20, 20}, {25, 25}, {26, 26}, {27, 27}, {28, 28}, {97, 97},
};

TEST(VekhostExitCodesTest, AFailureExitsWithItsNotificationCode)
{
    for (const FailureExit& f : kFailureExits)
        EXPECT_EQ(ToInt(ExitCodeForNotification(f.notification)), f.exit) << "code " << f.notification;
    EXPECT_EQ(ToInt(ExitCodeForNotification(6)), 1); // not a failure
}

TEST(VekhostExitCodesTest, OwnCodesAreFixed)
{
    EXPECT_EQ(ToInt(ExitCode::Ok), 0);
    EXPECT_EQ(ToInt(ExitCode::Failed), 1);
    EXPECT_EQ(ToInt(ExitCode::Usage), 2);
    EXPECT_EQ(ToInt(ExitCode::LibraryStart), 3);
    EXPECT_EQ(ToInt(ExitCode::TimedOut), 124);
    EXPECT_EQ(ToInt(ExitCode::Interrupted), 130);
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
    EXPECT_NE(help.find(" 11  BUSY\n"), std::string::npos);
    EXPECT_NE(help.find("124  timed out waiting\n"), std::string::npos);
}

} // namespace
} // namespace vekhost
