// The outgoing definition of a modem database file, as vekhost reads it
// for --data-folder.
#include "vekhost/ModemDatabase.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace vekhost {
namespace {

using Bytes = std::vector<uint8_t>;

void Text(Bytes& b, const std::string& text)
{
    b.push_back(static_cast<uint8_t>(text.size()));
    b.insert(b.end(), text.begin(), text.end());
}

void I32(Bytes& b, int32_t value)
{
    for (int i = 0; i < 4; ++i)
        b.push_back(static_cast<uint8_t>(static_cast<uint32_t>(value) >> (8 * i)));
}

// Definitions in the file's order: 15 integers, then 17 strings.
void Definition(Bytes& b, int32_t port, int32_t speed, int32_t flags)
{
    for (int32_t v : {2, 7, speed, 1200, 0, 7, 110, 5, 6, flags, port, 3, 0, 0, 3})
        I32(b, v);
    for (const char* t : {"", "ATM0", "", "DP", "DT", "+++", "ATH", "ATH0", "ATH1", "Name", "", "ATZ", "ATZ", "M%d",
                          "L%d", "X%d", "ATS0=%d"})
        Text(b, t);
}

Bytes TwoDefinitions(int32_t outgoing)
{
    Bytes b{2, 0, 0xFF, 0xFF, 1, 0, 6, 0, 'C', 'M', 'o', 'd', 'e', 'm'};
    Definition(b, 1, 110, 2);
    b.push_back(0x01);
    b.push_back(0x80);
    Definition(b, 7, 9600, 0x5);
    I32(b, 0);
    I32(b, outgoing);
    return b;
}

TEST(VekhostModemDatabaseTest, TheOutgoingDefinitionBecomesTheModem)
{
    const auto read = ReadOutgoingModem(TwoDefinitions(1));
    ASSERT_TRUE(std::holds_alternative<vek::Modem>(read)) << std::get<std::string>(read);
    const vek::Modem& m = std::get<vek::Modem>(read);
    EXPECT_EQ(m.port, 7);
    EXPECT_EQ(m.speed, 9600);
    EXPECT_TRUE(m.pcLink);
    EXPECT_FALSE(m.extended);
    EXPECT_TRUE(m.attention);
    EXPECT_EQ(m.init2, "ATM0");
    EXPECT_EQ(m.reset, "ATZ");
    EXPECT_EQ(m.hangUp, "ATH");
    EXPECT_EQ(m.answerRings, 3);
    EXPECT_EQ(m.charDelayMs, 5);
    EXPECT_EQ(m.commandDelayMs, 6);
    const auto first = ReadOutgoingModem(TwoDefinitions(0));
    ASSERT_TRUE(std::holds_alternative<vek::Modem>(first));
    EXPECT_EQ(std::get<vek::Modem>(first).port, 1);
    EXPECT_TRUE(std::get<vek::Modem>(first).extended);
}

TEST(VekhostModemDatabaseTest, DamagedFilesSayWhatIsWrong)
{
    Bytes cut = TwoDefinitions(0);
    cut.resize(cut.size() - 2);
    Bytes inside = TwoDefinitions(0);
    inside.resize(100);
    Bytes otherClass = TwoDefinitions(0);
    otherClass[8] = 'X';
    struct Case {
        Bytes bytes;
        const char* error;
    };
    const Case cases[] = {
        {cut, "the file ends before the outgoing index"},
        {TwoDefinitions(2), "the outgoing index 2 names no definition"},
        {TwoDefinitions(-1), "the outgoing index -1 names no definition"},
        {otherClass, "an object of class \"XModem\""},
        {inside, "the file ends inside definition 0"},
        {Bytes{0xFF}, "the definition count does not fit the file"},
    };
    for (const Case& c : cases) {
        const auto read = ReadOutgoingModem(c.bytes);
        ASSERT_TRUE(std::holds_alternative<std::string>(read)) << c.error;
        EXPECT_EQ(std::get<std::string>(read).substr(0, std::string(c.error).size()), c.error);
    }
}

TEST(VekhostModemDatabaseTest, DataFolderErrorsNameThePath)
{
    const std::string folder = ::testing::TempDir() + "vekhost-data-folder-test";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directory(folder);
    const std::string file = folder + "/Trv3.mdm";
    struct Case {
        const char* setUp;
        std::string folder;
        std::string error;
    };
    const Case cases[] = {
        {"none", "/nonexistent/data", "--data-folder /nonexistent/data: no such folder"},
        {"none", folder, file + ": no such file"},
        {"dir", folder, file + ": not a regular file"},
        {"damaged", folder, file + ": damaged: the definition count does not fit the file"},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(file);
        if (std::string(c.setUp) == "dir")
            std::filesystem::create_directory(file);
        if (std::string(c.setUp) == "damaged")
            std::ofstream(file, std::ios::binary) << '\xFF';
        const auto loaded = LoadDataFolderModem(c.folder);
        ASSERT_TRUE(std::holds_alternative<std::string>(loaded)) << c.error;
        EXPECT_EQ(std::get<std::string>(loaded).substr(0, c.error.size()), c.error);
    }
    std::filesystem::remove_all(file);
    const Bytes good = TwoDefinitions(1);
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(good.data()), static_cast<std::streamsize>(good.size()));
    const auto loaded = LoadDataFolderModem(folder);
    ASSERT_TRUE(std::holds_alternative<vek::Modem>(loaded));
    EXPECT_EQ(std::get<vek::Modem>(loaded).port, 7);
    std::filesystem::remove_all(folder);
}

} // namespace
} // namespace vekhost
