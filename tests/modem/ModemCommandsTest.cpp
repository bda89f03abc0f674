#include "modem/ModemCommands.h"

#include <gtest/gtest.h>

namespace vek {
namespace {

TEST(ModemCommands, BuiltInDefinitionWithoutPanelRecord)
{
    const CModem m;
    EXPECT_EQ(ResetLine(m), "ATZ\r");
    EXPECT_EQ(FirstInitLine(m, nullptr), "ATS7=250S10=255S9=1S12=10F1Q0C1V1E0\r");
    EXPECT_EQ(SecondInitLine(m), std::optional<std::string>("ATM0\r"));
    EXPECT_EQ(ThirdInitLine(m), std::nullopt);
    EXPECT_EQ(HangUpLine(m), "ATH0\r");
    EXPECT_EQ(AutoAnswerLine(m), "ATS0=1\r");
}

TEST(ModemCommands, ExtendedModemAddsDollarWForPanelType15OrOption0x20)
{
    const CModem m; // the built-in definition has extended commands
    const PanelTraits type15{15, 0};
    const PanelTraits option20{3, 0x0020};
    const PanelTraits neither{14, 0xFFDF};
    EXPECT_EQ(FirstInitLine(m, &type15), "ATS7=250S10=255S9=1S12=10F1Q0C1V1E0$W\r");
    EXPECT_EQ(FirstInitLine(m, &option20), "ATS7=250S10=255S9=1S12=10F1Q0C1V1E0$W\r");
    EXPECT_EQ(FirstInitLine(m, &neither), "ATS7=250S10=255S9=1S12=10F1Q0C1V1E0\r");
}

TEST(ModemCommands, NoDollarWWithoutExtendedCommands)
{
    CModem m;
    m.m_dwFlags = MODEM_ATTENTION | MODEM_PCLINK;
    const PanelTraits type15{15, 0x0020};
    EXPECT_EQ(FirstInitLine(m, &type15), m.m_strInit + "\r");
}

TEST(ModemCommands, TypeIsComparedWhole)
{
    const CModem m;
    const PanelTraits highByte{0x010F, 0};
    EXPECT_EQ(FirstInitLine(m, &highByte), m.m_strInit + "\r");
}

TEST(ModemCommands, EmptyInitialisationStrings)
{
    CModem m;
    m.m_strInit.clear();
    m.m_strInit2.clear();
    m.m_strInit3 = "AT&K0";
    const PanelTraits type15{15, 0};
    EXPECT_EQ(FirstInitLine(m, nullptr), "\r");
    EXPECT_EQ(FirstInitLine(m, &type15), "$W\r");
    EXPECT_EQ(SecondInitLine(m), std::nullopt);
    EXPECT_EQ(ThirdInitLine(m), std::optional<std::string>("AT&K0\r"));
}

TEST(ModemCommands, EmptyResetAndHangUpAreTheTerminatorAlone)
{
    CModem m;
    m.m_strReset.clear();
    m.m_strOnHook.clear();
    m.m_strEscape.clear();
    EXPECT_EQ(ResetLine(m), "\r");
    EXPECT_EQ(HangUpLine(m), "\r");
    EXPECT_EQ(EscapeLine(m), "");
}

TEST(ModemCommands, AutoAnswerFormatsTheRingCount)
{
    CModem m;
    m.m_nAnswerRings = 0;
    EXPECT_EQ(AutoAnswerLine(m), "ATS0=0\r");
    m.m_nAnswerRings = 3;
    EXPECT_EQ(AutoAnswerLine(m), "ATS0=3\r");
    m.m_nAnswerRings = -1;
    EXPECT_EQ(AutoAnswerLine(m), "ATS0=-1\r");
}

TEST(ModemCommands, DialLineAddsRInLinkModeThree)
{
    const CModem m;
    EXPECT_EQ(DialLine(m, "5551234", 3), "ATDT5551234R\r");
    EXPECT_EQ(DialLine(m, "5551234", 2), "ATDT5551234\r");
    EXPECT_EQ(DialLine(m, "", 1), "ATDT\r");
}

TEST(ModemCommands, DialUsesTheToneDialPrefixOnly)
{
    CModem m;
    m.m_strToneDial = "D";
    m.m_strPulseDial = "DP";
    EXPECT_EQ(DialLine(m, "0123", 5), "ATD0123\r");
}

TEST(ModemCommands, EscapeIsSentExactlyAsStored)
{
    const CModem m;
    const std::string escape = EscapeLine(m);
    EXPECT_EQ(escape.size(), 3u);
    EXPECT_EQ(escape, "+++");
}

TEST(ModemCommands, Init3DollarWIsFound)
{
    CModem m;
    EXPECT_FALSE(Init3HasExtendedW(m));
    m.m_strInit3 = "AT$W1";
    EXPECT_TRUE(Init3HasExtendedW(m));
}

TEST(ModemAnswerRings, NegativeCountsWaitForNoRing)
{
    CModem m;
    m.m_nAnswerRings = -1;
    EXPECT_EQ(AnswerRingWaits(m), 0);
    m.m_nAnswerRings = -32768;
    EXPECT_EQ(AnswerRingWaits(m), 0);
    m.m_nAnswerRings = 0;
    EXPECT_EQ(AnswerRingWaits(m), 0);
    m.m_nAnswerRings = 3;
    EXPECT_EQ(AnswerRingWaits(m), 3);
    m.m_nAnswerRings = 255;
    EXPECT_EQ(AnswerRingWaits(m), 255);
    m.m_nAnswerRings = 0x7FFFFFFF;
    EXPECT_EQ(AnswerRingWaits(m), 255);
}

TEST(ModemFormat, IntegerConversions)
{
    EXPECT_EQ(FormatWithInteger("X%d", 4), "X4");
    EXPECT_EQ(FormatWithInteger("S0=%03d", 7), "S0=007");
    EXPECT_EQ(FormatWithInteger("%x/%X/%o/%u", 255), "ff/FF/377/255");
    EXPECT_EQ(FormatWithInteger("%i%c", 65), "65A");
    EXPECT_EQ(FormatWithInteger("%ld", 5), "5");
    EXPECT_EQ(FormatWithInteger("100%%", 5), "100%");
    EXPECT_EQ(FormatWithInteger("no conversion", 5), "no conversion");
    EXPECT_EQ(FormatWithInteger("%-3d|", 5), "5  |");
}

TEST(ModemFormat, EveryIntegerConversionTakesTheOneValue) { EXPECT_EQ(FormatWithInteger("%d,%d", 9), "9,9"); }

TEST(ModemFormat, HostileConversionsAreCopiedNotExecuted)
{
    EXPECT_EQ(FormatWithInteger("%s%n%p%f", 1), "%s%n%p%f");
    EXPECT_EQ(FormatWithInteger("%*d", 1), "%*d");
    EXPECT_EQ(FormatWithInteger("ends with %", 1), "ends with %");
    EXPECT_EQ(FormatWithInteger("ends with %-0", 1), "ends with %-0");
    EXPECT_EQ(FormatWithInteger(std::string("%\0d", 3), 1), std::string("%\0d", 3));
}

TEST(ModemFormat, HugeWidthsAreCapped)
{
    const std::string s = FormatWithInteger("%999999999d", 1);
    EXPECT_EQ(s.size(), 64u);
    EXPECT_EQ(s.back(), '1');
    EXPECT_EQ(FormatWithInteger("%.999999d", 1).size(), 64u);
}

} // namespace
} // namespace vek
