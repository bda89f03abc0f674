#include "modem/ModemDatabaseFile.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace vek {
namespace {

class Bytes {
public:
    Bytes& u8(uint8_t v)
    {
        m_b.push_back(v);
        return *this;
    }
    Bytes& u16(uint16_t v) { return u8(static_cast<uint8_t>(v)).u8(static_cast<uint8_t>(v >> 8)); }
    Bytes& u32(uint32_t v) { return u16(static_cast<uint16_t>(v)).u16(static_cast<uint16_t>(v >> 16)); }
    Bytes& text(const std::string& s)
    {
        m_b.insert(m_b.end(), s.begin(), s.end());
        return *this;
    }
    Bytes& str(const std::string& s) { return u8(static_cast<uint8_t>(s.size())).text(s); }
    const std::vector<uint8_t>& get() const { return m_b; }

private:
    std::vector<uint8_t> m_b;
};

// The file that holds only the built-in definition, both indices 0, written
// out item by item.
std::vector<uint8_t> BuiltInFile()
{
    Bytes b;
    b.u16(1).u16(0xFFFF).u16(1).u16(6).text("CModem");
    for (uint32_t v : {2u, 7u, 110u, 1200u, 0u, 7u, 110u, 0u, 0u, 2u, 1u, 1u, 0u, 0u, 3u})
        b.u32(v);
    for (const char* s : {"ATS7=250S10=255S9=1S12=10F1Q0C1V1E0", "ATM0", "", "DP", "DT", "+++", "ATH", "ATH0", "ATH1",
                          "Quarnel QN48 v1.1.mod", "", "ATZ", "ATZ", "M%d", "L%d", "X%d", "ATS0=%d"})
        b.str(s);
    b.u32(0).u32(0);
    return b.get();
}

TEST(ModemDatabaseFile, BuiltInDefinitionIsWrittenByteForByte)
{
    CModemSettings settings;
    settings.ResetToDefault();
    const auto bytes = StoreModemDatabase(settings);
    EXPECT_EQ(bytes, BuiltInFile());
    // Spot checks against the hex listing, in case the helper above is wrong too.
    ASSERT_GE(bytes.size(), 20u);
    EXPECT_EQ(bytes[14], 0x02);
    EXPECT_EQ(bytes[22], 0x6E);
    EXPECT_EQ(bytes[26], 0xB0);
    EXPECT_EQ(bytes[27], 0x04);
    EXPECT_EQ(bytes[74], 0x23);
}

TEST(ModemDatabaseFile, BuiltInBytesLoadAsTheBuiltInDefinition)
{
    CModemSettings settings;
    ASSERT_EQ(LoadModemDatabaseBytes(settings, BuiltInFile()), DatabaseLoad::Loaded);
    ASSERT_EQ(settings.m_modems.size(), 1u);
    ASSERT_NE(settings.m_modems[0], nullptr);
    EXPECT_EQ(*settings.m_modems[0], CModem());
    EXPECT_EQ(settings.m_nOutgoing, 0);
    EXPECT_EQ(settings.m_nIncoming, 0);
    EXPECT_EQ(settings.m_nCurrent, 0);
    const CModem* m = settings.GetCurrentModem();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->m_strName, "Quarnel QN48 v1.1.mod");
    EXPECT_EQ(m->m_dwFlags, 2u);
    EXPECT_EQ(m->m_nComPort, 1);
    EXPECT_EQ(m->m_nBaudRate, 110);
    EXPECT_EQ(m->m_nLineBaudRate, 1200);
}

TEST(ModemDatabaseFile, FieldsTravelInTheirOwnPlaces)
{
    // Distinct values in every field catch two fields swapped in the layout.
    CModemSettings settings;
    auto m = std::make_unique<CModem>();
    int32_t n = 1000;
    for (int32_t* f : {&m->m_nOptions, &m->m_nExtra7, &m->m_nBaudRate, &m->m_nLineBaudRate, &m->m_nExtra3,
                       &m->m_nExtra4, &m->m_nExtra1, &m->m_nCharDelay, &m->m_nCommandDelay, &m->m_nComPort,
                       &m->m_nAnswerRings, &m->m_nExtra5, &m->m_nExtra6, &m->m_nExtra8})
        *f = n++;
    m->m_dwFlags = 0xDEADBEEF;
    int k = 0;
    for (std::string* s :
         {&m->m_strInit, &m->m_strInit2, &m->m_strInit3, &m->m_strPulseDial, &m->m_strToneDial, &m->m_strEscape,
          &m->m_strHangUp, &m->m_strOnHook, &m->m_strOffHook, &m->m_strName, &m->m_strExtra, &m->m_strReset,
          &m->m_strReset2, &m->m_strSpeakerMode, &m->m_strSpeakerVolume, &m->m_strResultCodes, &m->m_strAutoAnswer})
        *s = "s" + std::to_string(k++);
    const CModem original = *m;
    settings.m_modems.push_back(std::move(m));
    settings.m_nIncoming = 0;
    settings.m_nOutgoing = 0;

    const auto bytes = StoreModemDatabase(settings);
    // Integers in file order: options first, extra8 last.
    EXPECT_EQ(bytes[14], 1000 & 0xFF);
    CModemSettings loaded;
    ASSERT_EQ(LoadModemDatabaseBytes(loaded, bytes), DatabaseLoad::Loaded);
    ASSERT_EQ(loaded.m_modems.size(), 1u);
    EXPECT_EQ(*loaded.m_modems[0], original);
}

TEST(ModemDatabaseFile, SeveralDefinitionsAndNullElements)
{
    CModemSettings settings;
    settings.m_modems.push_back(std::make_unique<CModem>());
    settings.m_modems.push_back(nullptr);
    settings.m_modems.push_back(std::make_unique<CModem>());
    settings.m_modems.push_back(std::make_unique<CModem>());
    settings.m_modems[2]->m_strName = "second";
    settings.m_modems[3]->m_strName = "third";
    settings.m_nIncoming = 3;
    settings.m_nOutgoing = 2;
    const auto bytes = StoreModemDatabase(settings);

    const auto one = BuiltInFile();
    const size_t bodyEnd = one.size() - 8; // the first element ends where the indices began
    ASSERT_GT(bytes.size(), bodyEnd + 4);
    EXPECT_EQ(bytes[0], 4);
    EXPECT_EQ(bytes[bodyEnd], 0x00); // null element
    EXPECT_EQ(bytes[bodyEnd + 1], 0x00);
    EXPECT_EQ(bytes[bodyEnd + 2], 0x01); // class reference 0x8001
    EXPECT_EQ(bytes[bodyEnd + 3], 0x80);

    CModemSettings loaded;
    ASSERT_EQ(LoadModemDatabaseBytes(loaded, bytes), DatabaseLoad::Loaded);
    ASSERT_EQ(loaded.m_modems.size(), 4u);
    EXPECT_EQ(loaded.m_modems[1], nullptr);
    EXPECT_EQ(loaded.m_modems[3]->m_strName, "third");
    // The current modem is the outgoing one, not the incoming one.
    EXPECT_EQ(loaded.m_nIncoming, 3);
    EXPECT_EQ(loaded.m_nOutgoing, 2);
    EXPECT_EQ(loaded.m_nCurrent, 2);
    EXPECT_EQ(loaded.GetCurrentModem()->m_strName, "second");
    EXPECT_EQ(StoreModemDatabase(loaded), bytes);
}

TEST(ModemDatabaseFile, EmptyListWithIndicesMinusOneHasNoCurrentModem)
{
    const std::vector<uint8_t> bytes{0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
    CModemSettings settings;
    settings.ResetToDefault();
    ASSERT_EQ(LoadModemDatabaseBytes(settings, bytes), DatabaseLoad::Loaded);
    EXPECT_TRUE(settings.m_modems.empty());
    EXPECT_EQ(settings.m_nCurrent, -1);
    EXPECT_EQ(settings.GetCurrentModem(), nullptr);
}

TEST(ModemDatabaseFile, IndicesNamingNoElementGiveNoCurrentModem)
{
    auto bytes = BuiltInFile();
    bytes[bytes.size() - 4] = 5; // outgoing 5 of a list of one
    CModemSettings settings;
    ASSERT_EQ(LoadModemDatabaseBytes(settings, bytes), DatabaseLoad::Loaded);
    EXPECT_EQ(settings.m_nCurrent, 5);
    EXPECT_EQ(settings.GetCurrentModem(), nullptr);
    settings.SelectIncoming();
    EXPECT_NE(settings.GetCurrentModem(), nullptr);
}

TEST(ModemDatabaseFile, FileCutShortAnywhereIsAFormatError)
{
    const auto whole = BuiltInFile();
    for (size_t n = 0; n < whole.size(); ++n) {
        CModemSettings settings;
        settings.m_nOutgoing = 7;
        settings.m_nIncoming = 8;
        EXPECT_EQ(LoadModemDatabaseBytes(settings, {whole.data(), n}), DatabaseLoad::Damaged) << "length " << n;
        // The indices keep their earlier values.
        EXPECT_EQ(settings.m_nOutgoing, 7);
        EXPECT_EQ(settings.m_nIncoming, 8);
    }
}

TEST(ModemDatabaseFile, BytesAfterTheLastIndexAreIgnored)
{
    auto bytes = BuiltInFile();
    bytes.push_back(0x55);
    CModemSettings settings;
    EXPECT_EQ(LoadModemDatabaseBytes(settings, bytes), DatabaseLoad::Loaded);
}

TEST(ModemDatabaseFile, SchemaTwoIsAFormatError)
{
    auto bytes = BuiltInFile();
    bytes[4] = 2; // schema follows count and FF FF
    CModemSettings settings;
    EXPECT_EQ(LoadModemDatabaseBytes(settings, bytes), DatabaseLoad::Damaged);
}

TEST(ModemDatabaseFile, UnknownClassNameIsAFormatError)
{
    auto bytes = BuiltInFile();
    bytes[8] = 'X'; // "CModem" -> "CXodem"
    CModemSettings settings;
    EXPECT_EQ(LoadModemDatabaseBytes(settings, bytes), DatabaseLoad::Damaged);
}

TEST(ModemDatabaseFile, PoolInTheModemListIsAFormatError)
{
    Bytes b;
    b.u16(1).u16(0xFFFF).u16(1).u16(5).text("CPool").u32(0).u32(0);
    CModemSettings settings;
    EXPECT_EQ(LoadModemDatabaseBytes(settings, b.get()), DatabaseLoad::Damaged);
}

TEST(ModemDatabaseFile, SettingsClassInTheModemListIsAFormatError)
{
    Bytes b;
    b.u16(1).u16(0xFFFF).u16(1).u16(14).text("CModemSettings").u32(0).u32(0);
    CModemSettings settings;
    EXPECT_EQ(LoadModemDatabaseBytes(settings, b.get()), DatabaseLoad::Damaged);
}

TEST(ModemDatabaseFile, SameDefinitionListedTwiceIsAFormatError)
{
    auto bytes = BuiltInFile();
    bytes[0] = 2;
    // After the first definition: a reference to object 2, then the indices.
    bytes.insert(bytes.end() - 8, {0x02, 0x00});
    CModemSettings settings;
    EXPECT_EQ(LoadModemDatabaseBytes(settings, bytes), DatabaseLoad::Damaged);
}

TEST(ModemDatabaseFile, ForgedCountIsRefusedBeforeSizingTheList)
{
    const std::vector<uint8_t> bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 0x00, 0x00, 0x00, 0x00};
    CModemSettings settings;
    EXPECT_EQ(LoadModemDatabaseBytes(settings, bytes), DatabaseLoad::Damaged);
    EXPECT_TRUE(settings.m_modems.empty());
}

TEST(ModemDatabaseFile, WhatWasReadBeforeAnErrorStays)
{
    auto bytes = BuiltInFile();
    bytes[0] = 2;
    bytes.erase(bytes.end() - 8, bytes.end());
    bytes.insert(bytes.end(), {0x01, 0x80, 0x01}); // second definition cut short
    CModemSettings settings;
    settings.m_nOutgoing = 0;
    EXPECT_EQ(LoadModemDatabaseBytes(settings, bytes), DatabaseLoad::Damaged);
    ASSERT_EQ(settings.m_modems.size(), 2u);
    ASSERT_NE(settings.m_modems[0], nullptr);
    EXPECT_EQ(settings.m_modems[0]->m_strName, "Quarnel QN48 v1.1.mod");
    EXPECT_EQ(settings.m_modems[1], nullptr);
}

class ModemDatabaseFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override
    {
        m_dir = std::filesystem::temp_directory_path() /
                ("vek_mdm_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::string Write(const std::vector<uint8_t>& bytes)
    {
        const auto path = (m_dir / "Trv3.mdm").string();
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        return path;
    }
    std::filesystem::path m_dir;
};

TEST_F(ModemDatabaseFileOnDisk, MissingFileGivesTheBuiltInDefinition)
{
    CModemSettings settings;
    EXPECT_EQ(LoadModemDatabaseFile(settings, (m_dir / "absent.mdm").string()), DatabaseLoad::Defaulted);
    ASSERT_EQ(settings.m_modems.size(), 1u);
    EXPECT_EQ(*settings.m_modems[0], CModem());
    EXPECT_EQ(settings.m_nOutgoing, 0);
    EXPECT_EQ(settings.m_nIncoming, 0);
    EXPECT_EQ(settings.m_nCurrent, 0);
}

TEST_F(ModemDatabaseFileOnDisk, FolderInPlaceOfTheFileGivesTheBuiltInDefinition)
{
    CModemSettings settings;
    EXPECT_EQ(LoadModemDatabaseFile(settings, m_dir.string()), DatabaseLoad::Defaulted);
    EXPECT_EQ(settings.m_modems.size(), 1u);
}

TEST_F(ModemDatabaseFileOnDisk, FileIsReadWhole)
{
    CModemSettings big;
    for (int i = 0; i < 60; ++i) { // more than one 4096-byte buffer
        big.m_modems.push_back(std::make_unique<CModem>());
        big.m_modems.back()->m_nComPort = i;
    }
    big.m_nOutgoing = 59;
    big.m_nIncoming = 1;
    const auto bytes = StoreModemDatabase(big);
    ASSERT_GT(bytes.size(), 8192u);
    CModemSettings settings;
    ASSERT_EQ(LoadModemDatabaseFile(settings, Write(bytes)), DatabaseLoad::Loaded);
    ASSERT_EQ(settings.m_modems.size(), 60u);
    EXPECT_EQ(settings.GetCurrentModem()->m_nComPort, 59);
}

TEST_F(ModemDatabaseFileOnDisk, DamagedFileIsReported)
{
    auto bytes = BuiltInFile();
    bytes.pop_back();
    CModemSettings settings;
    EXPECT_EQ(LoadModemDatabaseFile(settings, Write(bytes)), DatabaseLoad::Damaged);
}

} // namespace
} // namespace vek
