// Recognition of modem result texts, and the cap on accumulated text.
#include "modem/ParseModemResponse.h"
#include "link/RequestQueue.h"
#include "link/SessionState.h"
#include "support/LinkTestSupport.h"

#include <gtest/gtest.h>

#include <random>

namespace vek::test {
namespace {

TEST(ModemResponseTest, EveryResultWord)
{
    EXPECT_EQ(RecogniseModemResponse("OK"), 0);
    EXPECT_EQ(RecogniseModemResponse("CONNECT"), 1);
    EXPECT_EQ(RecogniseModemResponse("RING"), 2);
    EXPECT_EQ(RecogniseModemResponse("NO CARRIER"), 3);
    EXPECT_EQ(RecogniseModemResponse("NOCARRIER"), 3);
    EXPECT_EQ(RecogniseModemResponse("ERROR"), 4);
    EXPECT_EQ(RecogniseModemResponse("NO DIALTONE"), 6);
    EXPECT_EQ(RecogniseModemResponse("NODIALTONE"), 6);
    EXPECT_EQ(RecogniseModemResponse("BUSY"), 7);
    EXPECT_EQ(RecogniseModemResponse("NO ANSWER"), 8);
    EXPECT_EQ(RecogniseModemResponse("NOANSWER"), 8);
}

TEST(ModemResponseTest, NothingElseMatches)
{
    for (const char* text : {"", "O", "K", "OKAY", "RINGRING", "NO  CARRIER", "BUSY.", "CONNEC", "NO", "ATZ"})
        EXPECT_EQ(RecogniseModemResponse(text), -1) << text;
}

TEST(ModemResponseTest, LowerCaseIsRecognised)
{
    EXPECT_EQ(RecogniseModemResponse("ok"), 0);
    EXPECT_EQ(RecogniseModemResponse("no dialtone"), 6);
    EXPECT_EQ(RecogniseModemResponse("Connect 2400"), 1);
}

TEST(ModemResponseTest, ConnectWithAnySuffixIsConnect)
{
    EXPECT_EQ(RecogniseModemResponse("CONNECT 1200"), 1);
    EXPECT_EQ(RecogniseModemResponse("CONNECT 115200/ARQ"), 1);
    EXPECT_EQ(RecogniseModemResponse("CONNECTX"), 1);
}

TEST(ModemResponseTest, EchoFollowedByOkIsOkButEchoBeforeConnectIsNothing)
{
    EXPECT_EQ(RecogniseModemResponse("ATZOK"), 0);
    EXPECT_EQ(RecogniseModemResponse("ATDT123CONNECT"), -1);
}

TEST(ModemResponseTest, OkAtTheEndWinsOverConnectAtTheStart)
{
    EXPECT_EQ(RecogniseModemResponse("CONNECT 2400 OK"), 0);
}

TEST(ModemResponseTest, InnerLineBreaksMatchOnlyWhenTheTextEndsInOk)
{
    EXPECT_EQ(RecogniseModemResponse("NO\r\nCARRIER"), -1);
    EXPECT_EQ(RecogniseModemResponse("ATZ\r\r\nOK"), 0);
}

TEST(ModemResponseTest, BytesAboveAsciiAreNotText)
{
    EXPECT_EQ(RecogniseModemResponse(std::string("\xE9OK", 3)), 0);
    EXPECT_EQ(RecogniseModemResponse(std::string("\x00OK\x00", 4)), -1);
}

TEST(ModemResponseTest, TrimmingTakesOnlyTheEnds)
{
    EXPECT_EQ(TrimModemText(" \r\n\tOK\r\n\v\f"), "OK");
    EXPECT_EQ(TrimModemText("\r\n"), "");
    EXPECT_EQ(TrimModemText("NO \r\nCARRIER"), "NO \r\nCARRIER");
}

TEST(ModemResponseTest, CapKeepsAccumulatedTextBounded)
{
    std::string text;
    for (int i = 0; i < 10000; ++i)
        AppendModemText(text, "noise ");
    EXPECT_LE(text.size(), kModemTextCap);
    AppendModemText(text, "O");
    AppendModemText(text, "K");
    EXPECT_EQ(RecogniseModemResponse(text), 0);
}

TEST(ModemResponseTest, CapNeverChangesAResult)
{
    // The same fragments with and without the cap give the same result
    // after every append.
    std::mt19937 rng(7);
    const std::vector<std::string> words{"OK",  "O",       "K",    "CONNECT", "CONN",
                                         "ECT", "RING",    " ",    "\r\n",    "x",
                                         "NO",  "CARRIER", "BUSY", "ok",      "zzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzzz"};
    for (int run = 0; run < 300; ++run) {
        std::string capped, full;
        for (int i = 0; i < 200; ++i) {
            const std::string& w = words[rng() % words.size()];
            AppendModemText(capped, w);
            full += TrimModemText(w);
            ASSERT_EQ(RecogniseModemResponse(capped), RecogniseModemResponse(full)) << full;
        }
        EXPECT_LE(capped.size(), kModemTextCap);
    }
}

class ModemResponseDialogTest : public ::testing::Test {
protected:
    DialogHarness h;
};

TEST_F(ModemResponseDialogTest, RecognisedResultIsStoredAndWakesTheWorker)
{
    g_strModemResponse = "BUSY";
    h.Dlg().ParseModemResponse();
    EXPECT_EQ(g_nModemResult, 7);
    EXPECT_TRUE(g_evModemDone.IsSet());
    EXPECT_EQ(g_strModemResponse, "BUSY"); // the text itself is not changed
}

TEST_F(ModemResponseDialogTest, NothingRecognisedChangesNothing)
{
    g_nModemResult = 100;
    g_strModemResponse = "RINGRING";
    h.Dlg().ParseModemResponse();
    EXPECT_EQ(g_nModemResult, 100);
    EXPECT_FALSE(g_evModemDone.IsSet());
}

TEST_F(ModemResponseDialogTest, ConnectBeforeTheSessionMarksAConnectPending)
{
    g_strModemResponse = "CONNECT 2400";
    h.Dlg().ParseModemResponse();
    EXPECT_EQ(g_bConnectPending, 1);
    g_bConnectPending = 0;
    g_bSessionUp = 1;
    h.Dlg().ParseModemResponse();
    EXPECT_EQ(g_bConnectPending, 0);
    EXPECT_EQ(g_nModemResult, 1);
}

} // namespace
} // namespace vek::test
