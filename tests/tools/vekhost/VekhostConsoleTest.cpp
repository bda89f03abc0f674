// The console keeps a status line at the bottom of a terminal and writes
// plain lines everywhere else.
#include "vekhost/Console.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace vekhost {
namespace {

class VekhostConsoleTest : public ::testing::Test {
protected:
    VekhostConsoleTest() : m_out(std::tmpfile()), m_err(std::tmpfile()) {}
    ~VekhostConsoleTest() override
    {
        std::fclose(m_out);
        std::fclose(m_err);
    }

    static std::string Read(std::FILE* file)
    {
        std::fflush(file);
        std::rewind(file);
        std::string text;
        for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
            text += static_cast<char>(c);
        return text;
    }

    std::FILE* m_out;
    std::FILE* m_err;
};

TEST_F(VekhostConsoleTest, PlainOutputHasNoStatusAndNoColour)
{
    Console console(m_out, m_err, false, false);
    console.Status("efficiency 10/10");
    console.Line("   0.30 s   32  connected");
    console.Error("busy");
    EXPECT_EQ(Read(m_out), "   0.30 s   32  connected\n");
    EXPECT_EQ(Read(m_err), "vekhost: busy\n");
    EXPECT_EQ(console.Paint("x", Style::Bad), "x");
}

TEST_F(VekhostConsoleTest, LiveStatusIsClearedForEachLineAndDrawnAgain)
{
    Console console(m_out, m_err, true, false);
    console.Status("sent 4 B");
    console.Line("line one");
    console.Status("sent 8 B");
    console.ClearStatus();
    console.Line("line two");
    EXPECT_EQ(Read(m_out), "sent 4 B\r\033[Kline one\nsent 4 B\r\033[Ksent 8 B\r\033[Kline two\n");
}

TEST_F(VekhostConsoleTest, ColourOnlyWhenAskedFor)
{
    const Console console(m_out, m_err, true, true);
    EXPECT_EQ(console.Paint("failed", Style::Bad), "\033[1;31mfailed\033[0m");
    EXPECT_EQ(console.Paint("plain", Style::Plain), "plain");
}

} // namespace
} // namespace vekhost
