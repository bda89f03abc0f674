#include "modem/CArchive.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

namespace vek {
namespace {

std::vector<uint8_t> Stored(const std::string& s)
{
    CArchive ar;
    ar.WriteString(s);
    return ar.Buffer();
}

std::string LoadedString(const std::vector<uint8_t>& bytes)
{
    CArchive ar(bytes);
    std::string s = ar.ReadString();
    EXPECT_EQ(ar.Remaining(), 0u);
    return s;
}

constexpr std::array<ArchiveClass, 2> kClasses{{{"CModem", 1}, {"CPool", 1}}};

TEST(ArchiveString, ShortLengthTakesOneByte)
{
    const std::string s(254, 'a');
    const auto bytes = Stored(s);
    ASSERT_EQ(bytes.size(), 255u);
    EXPECT_EQ(bytes[0], 254);
    EXPECT_EQ(LoadedString(bytes), s);
}

TEST(ArchiveString, Length255TakesTheSixteenBitForm)
{
    const std::string s(255, 'b');
    const auto bytes = Stored(s);
    ASSERT_EQ(bytes.size(), 3u + 255u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0xFF);
    EXPECT_EQ(bytes[2], 0x00);
    EXPECT_EQ(LoadedString(bytes), s);
}

TEST(ArchiveString, Length300IsFF2C01)
{
    const std::string s(300, 'c');
    const auto bytes = Stored(s);
    ASSERT_EQ(bytes.size(), 3u + 300u);
    EXPECT_EQ(bytes[0], 0xFF);
    EXPECT_EQ(bytes[1], 0x2C);
    EXPECT_EQ(bytes[2], 0x01);
    EXPECT_EQ(LoadedString(bytes), s);
}

TEST(ArchiveString, Length0xFFFDIsTheLastSixteenBitLength)
{
    const std::string s(0xFFFD, 'd');
    const auto bytes = Stored(s);
    ASSERT_EQ(bytes.size(), 3u + 0xFFFDu);
    EXPECT_EQ(bytes[1], 0xFD);
    EXPECT_EQ(bytes[2], 0xFF);
    EXPECT_EQ(LoadedString(bytes), s);
}

TEST(ArchiveString, Length0xFFFEUsesThe32BitFormNotTheWideMarker)
{
    const std::string s(0xFFFE, 'e');
    const auto bytes = Stored(s);
    ASSERT_EQ(bytes.size(), 7u + 0xFFFEu);
    const std::vector<uint8_t> prefix(bytes.begin(), bytes.begin() + 7);
    EXPECT_EQ(prefix, (std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFE, 0xFF, 0x00, 0x00}));
    EXPECT_EQ(LoadedString(bytes), s);
}

TEST(ArchiveString, LongerStringsRoundTrip)
{
    for (size_t n : {size_t{0xFFFF}, size_t{0x10000}, size_t{100000}}) {
        const std::string s(n, 'f');
        const auto bytes = Stored(s);
        ASSERT_EQ(bytes.size(), 7u + n);
        EXPECT_EQ(LoadedString(bytes), s) << n;
    }
}

TEST(ArchiveString, WideStringBecomesSingleBytesWithQuestionMarks)
{
    // FF FE FF announces a wide string; 4 characters follow.
    const std::vector<uint8_t> bytes{0xFF, 0xFE, 0xFF, 0x04, 'A', 0, 0xE9, 0x00, 0x3A, 0x04, 'Z', 0};
    EXPECT_EQ(LoadedString(bytes), std::string("A\xE9?Z"));
}

TEST(ArchiveString, WideStringWithSixteenBitLength)
{
    std::vector<uint8_t> bytes{0xFF, 0xFE, 0xFF, 0xFF, 0x2C, 0x01};
    for (int i = 0; i < 300; ++i) {
        bytes.push_back('w');
        bytes.push_back(0);
    }
    EXPECT_EQ(LoadedString(bytes), std::string(300, 'w'));
}

TEST(ArchiveString, WideStringShortOfBytesIsAFormatError)
{
    const std::vector<uint8_t> bytes{0xFF, 0xFE, 0xFF, 0x03, 'A', 0, 'B', 0, 'C'};
    CArchive ar(bytes);
    EXPECT_THROW(ar.ReadString(), CArchiveException);
}

TEST(ArchiveString, HugeLengthIsRefusedBeforeAllocating)
{
    // Announces four gigabytes with three bytes behind it.
    const std::vector<uint8_t> bytes{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 'b', 'c'};
    CArchive ar(bytes);
    EXPECT_THROW(ar.ReadString(), CArchiveException);
    const std::vector<uint8_t> wide{0xFF, 0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'a', 0};
    CArchive war(wide);
    EXPECT_THROW(war.ReadString(), CArchiveException);
}

TEST(ArchiveCount, SmallAndLargeForms)
{
    CArchive ar;
    ar.WriteCount(0xFFFE);
    ar.WriteCount(0xFFFF);
    EXPECT_EQ(ar.Buffer(), (std::vector<uint8_t>{0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00}));
    CArchive in(ar.Buffer());
    EXPECT_EQ(in.ReadCount(), 0xFFFEu);
    EXPECT_EQ(in.ReadCount(), 0xFFFFu);
}

TEST(ArchiveObjectTag, ClassThenObjectNumbersAreShared)
{
    CArchive out;
    EXPECT_EQ(out.WriteNewObjectTag("CModem", 1), 2u);
    EXPECT_EQ(out.WriteNewObjectTag("CModem", 1), 3u);
    EXPECT_EQ(out.WriteNewObjectTag("CPool", 1), 5u); // class 4, object 5
    EXPECT_EQ(out.WriteNewObjectTag("CModem", 1), 6u);
    const std::vector<uint8_t> expected{0xFF, 0xFF, 0x01, 0x00, 0x06, 0x00, 'C', 'M', 'o', 'd', 'e', 'm',  0x01, 0x80,
                                        0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00, 'C', 'P', 'o', 'o', 'l', 0x01, 0x80};
    EXPECT_EQ(out.Buffer(), expected);

    CArchive in(out.Buffer());
    const ObjectTag a = in.ReadObjectTag(kClasses);
    EXPECT_EQ(a.kind, ObjectTag::Kind::newObject);
    EXPECT_EQ(a.className, "CModem");
    EXPECT_EQ(a.number, 2u);
    EXPECT_EQ(in.ReadObjectTag(kClasses).number, 3u);
    const ObjectTag pool = in.ReadObjectTag(kClasses);
    EXPECT_EQ(pool.className, "CPool");
    EXPECT_EQ(pool.number, 5u);
    const ObjectTag d = in.ReadObjectTag(kClasses);
    EXPECT_EQ(d.className, "CModem");
    EXPECT_EQ(d.number, 6u);
}

TEST(ArchiveObjectTag, NullAndEarlierObjects)
{
    const std::vector<uint8_t> bytes{0x00, 0x00, 0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00, 'C',  'P', 'o',
                                     'o',  'l',  0x02, 0x00, 0xFF, 0x7F, 0x02, 0x00, 0x00, 0x00};
    CArchive in(bytes);
    EXPECT_EQ(in.ReadObjectTag(kClasses).kind, ObjectTag::Kind::null);
    EXPECT_EQ(in.ReadObjectTag(kClasses).kind, ObjectTag::Kind::newObject);
    const ObjectTag again = in.ReadObjectTag(kClasses);
    EXPECT_EQ(again.kind, ObjectTag::Kind::oldObject);
    EXPECT_EQ(again.number, 2u);
    const ObjectTag big = in.ReadObjectTag(kClasses);
    EXPECT_EQ(big.kind, ObjectTag::Kind::oldObject);
    EXPECT_EQ(big.number, 2u);
}

TEST(ArchiveObjectTag, BigClassReferenceForm)
{
    const std::vector<uint8_t> bytes{0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00, 'C',  'P', 'o',
                                     'o',  'l',  0xFF, 0x7F, 0x01, 0x00, 0x00, 0x80};
    CArchive in(bytes);
    in.ReadObjectTag(kClasses);
    const ObjectTag second = in.ReadObjectTag(kClasses);
    EXPECT_EQ(second.kind, ObjectTag::Kind::newObject);
    EXPECT_EQ(second.className, "CPool");
    EXPECT_EQ(second.number, 3u);
}

void ExpectBadTag(const std::vector<uint8_t>& bytes)
{
    CArchive in(bytes);
    EXPECT_THROW(
        {
            while (true)
                in.ReadObjectTag(kClasses);
        },
        CArchiveException);
}

TEST(ArchiveObjectTag, FormatErrors)
{
    // Schema 2.
    ExpectBadTag({0xFF, 0xFF, 0x02, 0x00, 0x06, 0x00, 'C', 'M', 'o', 'd', 'e', 'm'});
    // A name nobody registered.
    ExpectBadTag({0xFF, 0xFF, 0x01, 0x00, 0x06, 0x00, 'C', 'M', 'o', 'd', 'e', 'x'});
    // Class 1 before any class was described.
    ExpectBadTag({0x01, 0x80});
    // Class number 0.
    ExpectBadTag({0x00, 0x80});
    // An object that has not been read yet.
    ExpectBadTag({0x01, 0x00});
    // A class number used as an object.
    ExpectBadTag({0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00, 'C', 'P', 'o', 'o', 'l', 0x01, 0x00});
    // An object number used as a class.
    ExpectBadTag({0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00, 'C', 'P', 'o', 'o', 'l', 0x02, 0x80});
    // A class name longer than any real one.
    std::vector<uint8_t> longName{0xFF, 0xFF, 0x01, 0x00, 0x40, 0x00};
    longName.resize(longName.size() + 0x40, 'A');
    ExpectBadTag(longName);
    // A class name cut short.
    ExpectBadTag({0xFF, 0xFF, 0x01, 0x00, 0x06, 0x00, 'C', 'M'});
}

} // namespace
} // namespace vek
