#include "modem/ModemFields.h"
#include "modem/ModemDatabaseFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/wait.h>

namespace vek {
namespace {

TEST(ModemFields, EveryFieldOnce)
{
    EXPECT_EQ(ModemFields().size(), 32u);
    for (const ModemFieldInfo& f : ModemFields())
        EXPECT_EQ(FindModemField(f.name), &f) << f.name;
}

TEST(ModemFields, ShortNamesIgnoreCase)
{
    ASSERT_NE(FindModemField("init"), nullptr);
    EXPECT_EQ(FindModemField("init")->name, "m_strInit");
    EXPECT_EQ(FindModemField("BAUDRATE")->name, "m_nBaudRate");
    EXPECT_EQ(FindModemField("flags")->name, "m_dwFlags");
    EXPECT_EQ(FindModemField("nothing"), nullptr);
    EXPECT_EQ(FindModemField(""), nullptr);
}

TEST(ModemFields, SetAndGetEachKind)
{
    CModem m;
    ASSERT_TRUE(SetModemField(m, *FindModemField("Init3"), "AT$W"));
    EXPECT_EQ(m.m_strInit3, "AT$W");
    ASSERT_TRUE(SetModemField(m, *FindModemField("AnswerRings"), "-1"));
    EXPECT_EQ(m.m_nAnswerRings, -1);
    ASSERT_TRUE(SetModemField(m, *FindModemField("ComPort"), "0x10"));
    EXPECT_EQ(m.m_nComPort, 16);
    ASSERT_TRUE(SetModemField(m, *FindModemField("Options"), "0xFFFFFFFF"));
    EXPECT_EQ(m.m_nOptions, -1);
    ASSERT_TRUE(SetModemField(m, *FindModemField("Flags"), "5"));
    EXPECT_EQ(m.m_dwFlags, 5u);
    EXPECT_EQ(GetModemField(m, *FindModemField("Flags")), "0x5");
    EXPECT_EQ(GetModemField(m, *FindModemField("AnswerRings")), "-1");
}

TEST(ModemFields, BadNumbersChangeNothing)
{
    CModem m;
    const ModemFieldInfo& baud = *FindModemField("BaudRate");
    for (const char* bad : {"", "-", "0x", "12a", "2147483648", "-2147483649", "0x100000000", "1 "})
        EXPECT_FALSE(SetModemField(m, baud, bad)) << bad;
    EXPECT_EQ(m.m_nBaudRate, 110);
    EXPECT_FALSE(SetModemField(m, *FindModemField("Flags"), "-1"));
    EXPECT_EQ(m.m_dwFlags, MODEM_EXTENDED);
    EXPECT_TRUE(SetModemField(m, baud, "-2147483648"));
    EXPECT_EQ(m.m_nBaudRate, INT32_MIN);
}

TEST(ModemFields, QuotingEscapesWhatATerminalWouldObey)
{
    EXPECT_EQ(QuoteText("AT\r"), "\"AT\\r\"");
    EXPECT_EQ(QuoteText(std::string("\x1B[2J\0\xFF", 6)), "\"\\x1B[2J\\x00\\xFF\"");
    EXPECT_EQ(QuoteText("a\"b\\"), "\"a\\\"b\\\\\"");
}

TEST(ModemFields, DescriptionNamesIndicesThatNameNothing)
{
    CModemSettings s;
    s.m_modems.push_back(nullptr);
    s.m_nOutgoing = 4;
    s.m_nIncoming = -1;
    const std::string text = DescribeModemDatabase(s);
    EXPECT_NE(text.find("outgoing: 4 (names no definition)"), std::string::npos) << text;
    EXPECT_NE(text.find("incoming: -1 (none)"), std::string::npos) << text;
    EXPECT_NE(text.find("[0] (null)"), std::string::npos) << text;
}

TEST(ModemFields, DescriptionShowsEveryValue)
{
    CModemSettings s;
    s.ResetToDefault();
    s.m_modems[0]->m_nExtra8 = 12345;
    s.m_modems[0]->m_dwFlags = MODEM_PCLINK | MODEM_ATTENTION;
    const std::string text = DescribeModemDatabase(s);
    EXPECT_NE(text.find("\"Quarnel QN48 v1.1.mod\""), std::string::npos);
    EXPECT_NE(text.find("12345"), std::string::npos);
    EXPECT_NE(text.find("PCLINK ATTENTION"), std::string::npos);
    // By the names a user types, not the members'.
    EXPECT_NE(text.find("\n  ComPort             1\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\n  Extra8              12345\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("m_"), std::string::npos) << text;
    EXPECT_EQ(ModemFieldName(*FindModemField("m_strInit3")), "Init3");
    EXPECT_EQ(ModemFieldName(*FindModemField("flags")), "Flags");
}

// The tool itself, when it was built beside this test program.
class VekmdmTool : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::error_code ec;
        const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
        m_tool = self.parent_path().parent_path() / "vekmdm";
        if (ec || !std::filesystem::exists(m_tool))
            GTEST_SKIP() << "vekmdm not built";
        m_dir = std::filesystem::temp_directory_path() /
                ("vekmdm_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
        m_file = (m_dir / "Trv3.mdm").string();
    }
    void TearDown() override
    {
        if (!m_dir.empty())
            std::filesystem::remove_all(m_dir);
    }
    int Run(const std::string& args)
    {
        const std::string cmd =
            m_tool.string() + " " + args + " >" + (m_dir / "out.txt").string() + " 2>" + (m_dir / "err.txt").string();
        const int status = std::system(cmd.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Read(const char* name)
    {
        std::ifstream in(m_dir / name);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    std::filesystem::path m_tool, m_dir;
    std::string m_file;
};

TEST_F(VekmdmTool, NewWritesTheBuiltInDefinition)
{
    ASSERT_EQ(Run("new " + m_file), 0);
    CModemSettings s;
    ASSERT_EQ(LoadModemDatabaseFile(s, m_file), DatabaseLoad::Loaded);
    ASSERT_EQ(s.m_modems.size(), 1u);
    EXPECT_EQ(*s.m_modems[0], CModem());
    ASSERT_EQ(Run("show " + m_file), 0);
    EXPECT_NE(Read("out.txt").find("Quarnel QN48 v1.1.mod"), std::string::npos);
}

TEST_F(VekmdmTool, SetChangesOneField)
{
    ASSERT_EQ(Run("new " + m_file), 0);
    ASSERT_EQ(Run("add " + m_file), 0);
    ASSERT_EQ(Run("set " + m_file + " 1 ComPort 4"), 0);
    ASSERT_EQ(Run("set " + m_file + " outgoing 1"), 0);
    CModemSettings s;
    ASSERT_EQ(LoadModemDatabaseFile(s, m_file), DatabaseLoad::Loaded);
    ASSERT_EQ(s.m_modems.size(), 2u);
    EXPECT_EQ(s.m_modems[1]->m_nComPort, 4);
    EXPECT_EQ(s.m_modems[0]->m_nComPort, 1);
    EXPECT_EQ(s.GetCurrentModem()->m_nComPort, 4);
}

TEST_F(VekmdmTool, DamagedFileFailsWithAMessage)
{
    std::ofstream(m_file, std::ios::binary) << std::string("\x01\x00\xFF\xFF\x02\x00", 6);
    EXPECT_NE(Run("show " + m_file), 0);
    EXPECT_NE(Read("err.txt").find("The Archive File Has Been Damaged Please Reinstall (" + m_file + ")"),
              std::string::npos);
    EXPECT_NE(Run("set " + m_file + " 0 ComPort 2"), 0);
}

TEST_F(VekmdmTool, BadArgumentsFail)
{
    ASSERT_EQ(Run("new " + m_file), 0);
    EXPECT_NE(Run(""), 0);
    EXPECT_NE(Run("set " + m_file + " 0 NoSuchField 2"), 0);
    EXPECT_NE(Run("set " + m_file + " 3 ComPort 2"), 0);
    EXPECT_NE(Run("show " + (m_dir / "absent").string()), 0);
}

} // namespace
} // namespace vek
