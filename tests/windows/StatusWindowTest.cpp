// The status dialog's window on Windows: a hidden dialog from template 6000
// whose procedure gets the library's posted and sent messages in order.
#include "platform/MessageWindow.h"
#include "platform/WindowOwner.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <thread>
#include <vector>

namespace vek {
namespace {

struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Seen> g_seen;

LRESULT Record(HWND, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_seen.push_back({message, wParam, lParam});
    return 77;
}

class StatusWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_seen.clear();
        m_hwnd = CreateMessageWindow(nullptr, &Record, this);
        ASSERT_NE(m_hwnd, nullptr);
    }
    void TearDown() override { DestroyMessageWindow(m_hwnd); }
    HWND m_hwnd = nullptr;
};

TEST_F(StatusWindowTest, IsTheHiddenCommunicationsStatusDialog)
{
    char caption[64] = {};
    GetWindowTextA(m_hwnd, caption, sizeof caption);
    EXPECT_STREQ(caption, "Communications Status");
    EXPECT_FALSE(IsWindowVisible(m_hwnd));
    EXPECT_NE(GetDlgItem(m_hwnd, 6010), nullptr) << "the Hangup button";
    EXPECT_NE(GetDlgItem(m_hwnd, 6001), nullptr) << "the status line";
}

TEST_F(StatusWindowTest, GivesBackItsContext)
{
    EXPECT_EQ(MessageWindowContext(m_hwnd), this);
    EXPECT_EQ(MessageWindowContext(nullptr), nullptr);
}

TEST_F(StatusWindowTest, PostedMessagesArriveInOrderWhenPumped)
{
    PostMessageA(m_hwnd, 1026, 32, 0);
    PostMessageA(m_hwnd, 1025, 18, 5);
    PostMessageA(m_hwnd, 1124, 2, 0); // a receive event of the control
    EXPECT_TRUE(g_seen.empty()) << "nothing before the pump";
    while (PumpMessages(0) > 0) {
    }
    ASSERT_EQ(g_seen.size(), 3u);
    EXPECT_EQ(g_seen[0].message, 1026u);
    EXPECT_EQ(g_seen[0].wParam, 32u);
    EXPECT_EQ(g_seen[1].message, 1025u);
    EXPECT_EQ(g_seen[1].lParam, 5);
    EXPECT_EQ(g_seen[2].message, 1124u);
}

TEST_F(StatusWindowTest, SentMessageRunsAtOnceOnTheOwnerThread)
{
    EXPECT_TRUE(IsWindowOwnerThread(m_hwnd));
    EXPECT_EQ(SendMessageA(m_hwnd, WM_COMMAND, 6010, 0), 77);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].message, static_cast<UINT>(WM_COMMAND));
}

TEST_F(StatusWindowTest, OtherThreadsAreNotTheOwner)
{
    bool owner = true;
    std::thread([&] { owner = IsWindowOwnerThread(m_hwnd); }).join();
    EXPECT_FALSE(owner);
}

TEST_F(StatusWindowTest, PumpWaitsForTheFirstMessage)
{
    std::thread poster([this] {
        ::Sleep(50);
        PostMessageA(m_hwnd, 1028, 0, 0);
    });
    const int dispatched = PumpMessages(5000);
    poster.join();
    EXPECT_GE(dispatched, 1);
    ASSERT_FALSE(g_seen.empty());
    EXPECT_EQ(g_seen.back().message, 1028u);
}

TEST_F(StatusWindowTest, DestroyedWindowDropsWhatWaits)
{
    PostMessageA(m_hwnd, 1026, 9, 0);
    DestroyMessageWindow(m_hwnd);
    EXPECT_FALSE(IsWindow(m_hwnd));
    while (PumpMessages(0) > 0) {
    }
    EXPECT_TRUE(g_seen.empty());
    m_hwnd = nullptr;
}

} // namespace
} // namespace vek
