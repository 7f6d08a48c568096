// MXF KLV primitives: typed values, batches, BER lengths, key search, fill
// items, run-in and the local-tag table with its primer pack.
#include <gtest/gtest.h>

#include "OXLDataReader/MXFDataReader.h"
#include "OXLDataReader/MXFLocalKeyTable.h"
#include "OXLDataReader/MXFUtils.h"
#include "support/ByteBuilder.h"
#include "support/CapturingLogger.h"
#include "support/ErrorText.h"
#include "support/TempDir.h"

using namespace oxltest;

namespace {

std::string Bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s.push_back(static_cast<char>(v));
  return s;
}

const std::string kHeaderKey = Bytes({0x06, 0x0E, 0x2B, 0x34, 0x02, 0x05, 0x01, 0x01, 0x0D, 0x01, 0x02, 0x01,
                                      0x01, 0x02, 0x04, 0x00});
const std::string kFillKey = Bytes({0x06, 0x0E, 0x2B, 0x34, 0x01, 0x01, 0x01, 0x02, 0x03, 0x01, 0x02, 0x10,
                                    0x01, 0x00, 0x00, 0x00});
const std::string kOtherKey = Bytes({0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0D, 0x01, 0x01, 0x01,
                                     0x01, 0x01, 0x2F, 0x00});
const std::string kWantedKey = Bytes({0x06, 0x0E, 0x2B, 0x34, 0x02, 0x53, 0x01, 0x01, 0x0D, 0x01, 0x01, 0x01,
                                      0x01, 0x01, 0x30, 0x00});

// A reader over a file of given bytes, with a small window so that every
// search crosses refills.
class KlvReader : public CMXFDataReader {
 public:
  KlvReader() : CMXFDataReader(OXLDataReader::Video_Data, 64, "klv") {}
  unsigned long Offset() const { return CurrentFileOffset(); }
  using CMXFDataReader::SkipBytes;

 protected:
  int Initialize(bool) override { return 0; }
};

class MxfKlvReaderTest : public ::testing::Test {
 protected:
  void Load(const std::string& bytes) { ASSERT_EQ(reader.Open(dir.write("klv.bin", bytes).c_str(), false), 0); }
  TempDir dir;
  KlvReader reader;
};

TEST(MxfTypedValues, DecodeBigEndianAndRefuseShortBuffers) {
  CapturingLogger log;
  const ExactBuffer four(Bytes({0x00, 0x00, 0x01, 0x00}));
  EXPECT_EQ(MxfUtils::ReadUint32(four.data(), 4), 256u);
  EXPECT_EQ(QelFailure([&] { MxfUtils::ReadUint32(four.data(), 3); }),
            "[unable to read uint32, bad mxf buffer size] [ Condition is not true ]");
  EXPECT_EQ(QelFailure([&] { MxfUtils::ReadUint8(four.data(), 0); }),
            "[unable to read uint8, bad mxf buffer size] [ Condition is not true ]");
  EXPECT_EQ(QelFailure([&] { MxfUtils::ReadBool(four.data(), 0); }),
            "[unable to read bool, bad mxf buffer size] [ Condition is not true ]");
  EXPECT_EQ(QelFailure([&] { MxfUtils::ReadInt16(four.data(), 1); }),
            "[unable to read int16, bad mxf buffer size] [ Condition is not true ]");
  EXPECT_EQ(QelFailure([&] { MxfUtils::ReadVersionType(four.data(), 1); }),
            "[unable to read uint16, bad mxf buffer size] [ Condition is not true ]");
  EXPECT_EQ(QelFailure([&] { MxfUtils::Readlength(four.data(), 4); }),
            "[unable to read int64, bad mxf buffer size] [ Condition is not true ]");
  ASSERT_FALSE(log.lines().empty());
  EXPECT_EQ(log.lines().back().source, "OXLDataReader/MXFUtils");

  const ExactBuffer value(Bytes({0xFF, 0xFE, 0x80, 0x00, 0x00, 0x00, 0x00, 0x01}));
  EXPECT_EQ(MxfUtils::ReadInt16(value.data(), 8), -2);
  EXPECT_EQ(MxfUtils::ReadUint16(value.data(), 8), 0xFFFE);
  EXPECT_TRUE(MxfUtils::ReadBool(value.data() + 2, 1));
  EXPECT_FALSE(MxfUtils::ReadBool(value.data() + 3, 1));
  EXPECT_EQ(MxfUtils::ReadInt64(value.data(), 8), static_cast<int64_t>(0xFFFE800000000001ULL));
  EXPECT_EQ(MxfUtils::ReadPosition(value.data(), 8), MxfUtils::ReadInt64(value.data(), 8));
}

TEST(MxfTypedValues, RationalAndTimeStampFailOnTheirLastField) {
  CapturingLogger log;
  const ExactBuffer rational(ByteBuilder().u32(16).u32(9).str());
  const MxfUtils::Rational r = MxfUtils::ReadRational(rational.data(), 8);
  EXPECT_EQ(r.numerator, 16u);
  EXPECT_EQ(r.denominator, 9u);
  EXPECT_EQ(QelFailure([&] { MxfUtils::ReadRational(rational.data(), 7); }),
            "[unable to read uint32, bad mxf buffer size] [ Condition is not true ]");

  const ExactBuffer stamp(ByteBuilder().u16(2024).u8(12).u8(31).u8(23).u8(59).u8(58).u8(3).str());
  const MxfUtils::TimeStamp t = MxfUtils::ReadTimeStamp(stamp.data(), 8);
  EXPECT_EQ(t.year, 2024);
  EXPECT_EQ(t.month, 12);
  EXPECT_EQ(t.day, 31);
  EXPECT_EQ(t.hour, 23);
  EXPECT_EQ(t.minute, 59);
  EXPECT_EQ(t.second, 58);
  EXPECT_EQ(t.quarterMillisecond, 3);
  EXPECT_EQ(QelFailure([&] { MxfUtils::ReadTimeStamp(stamp.data(), 7); }),
            "[unable to read uint8, bad mxf buffer size] [ Condition is not true ]");
}

TEST(MxfTypedValues, TextInUtf16AndUtf8) {
  const ExactBuffer utf16(Bytes({0x00, 'A', 0x20, 0xAC, 0x00, 'z', 0x41}));
  EXPECT_EQ(MxfUtils::ReadUtf16(utf16.data(), 7), L"A\u20ACz");
  EXPECT_EQ(MxfUtils::ReadUtf16(utf16.data(), 0), L"");
  const ExactBuffer utf8(std::string("caf\xC3\xA9"));
  EXPECT_EQ(MxfUtils::ReadUtf8(utf8.data(), utf8.size()), L"caf\u00E9");
}

TEST(MxfTypedValues, ArraysCheckTheirDescription) {
  CapturingLogger log;
  const std::string items(32, '\x11');
  const ExactBuffer two(ByteBuilder().u32(2).u32(16).bytes(items).str());
  const auto array = MxfUtils::ReadArray(two.data(), two.size());
  ASSERT_EQ(array.size(), 2u);
  EXPECT_EQ(array[1], std::string(16, '\x11'));
  const ExactBuffer three(ByteBuilder().u32(3).u32(16).bytes(items).str());
  EXPECT_EQ(QelFailure([&] { MxfUtils::ReadArray(three.data(), three.size()); }),
            "[buffer is too small to correspond with mxf array description] [ Condition is not true ]");
  EXPECT_EQ(QelFailure([&] { MxfUtils::ReadArray(two.data(), 7); }),
            "[buffer is too small to be a valid mxf array] [ Condition is not true ]");
  // A count whose 32-bit product with the size wraps to a small number.
  const ExactBuffer wrapping(ByteBuilder().u32(0x10000001).u32(16).bytes(items).str());
  EXPECT_NE(QelFailure([&] { MxfUtils::ReadArray(wrapping.data(), wrapping.size()); }), "<no failure>");
  const ExactBuffer empties(ByteBuilder().u32(0xFFFFFFFF).u32(0).str());
  EXPECT_NE(QelFailure([&] { MxfUtils::ReadArray(empties.data(), empties.size()); }), "<no failure>");
}

TEST(MxfMemoryKlv, BerLengths) {
  auto read = [](const std::string& bytes, unsigned int& left) {
    const ExactBuffer buffer(bytes);
    const unsigned char* p = buffer.data();
    left = buffer.size();
    return CMXFDataReader::ReadKeyLength(p, left);
  };
  unsigned int left = 0;
  EXPECT_EQ(read(Bytes({0x83, 0x00, 0x01, 0x00, 0x55}), left), 256);
  EXPECT_EQ(left, 1u);
  EXPECT_EQ(read(Bytes({0x80}), left), 0);
  EXPECT_EQ(read(Bytes({0x7F}), left), 0x7F);
  EXPECT_EQ(read(Bytes({0x84, 0x00, 0x01}), left), -1);
  EXPECT_EQ(read(Bytes({0x89, 1, 2, 3, 4, 5, 6, 7, 8, 9}), left), -1);
  EXPECT_EQ(read("", left), -1);
}

TEST(MxfMemoryKlv, FindKeySkipsWholeTriplets) {
  const std::string bytes = ByteBuilder()
                                .bytes(kOtherKey).u8(0x83).u8(0).u8(0).u8(3).bytes(kWantedKey.substr(0, 3))
                                .bytes(kWantedKey).u8(2).u16(0xABCD)
                                .str();
  const ExactBuffer buffer(bytes);
  const unsigned char* p = buffer.data();
  unsigned int left = buffer.size();
  ASSERT_TRUE(CMXFDataReader::FindMXFKey(Data(kWantedKey), p, left));
  EXPECT_EQ(left, 3u);
  EXPECT_EQ(CMXFDataReader::ReadKeyLength(p, left), 2);

  const ExactBuffer beyond(ByteBuilder().bytes(kOtherKey).u8(0x82).u16(0x1000).bytes(kWantedKey).str());
  p = beyond.data();
  left = beyond.size();
  EXPECT_FALSE(CMXFDataReader::FindMXFKey(Data(kWantedKey), p, left));
  EXPECT_EQ(left, 0u);
  for (const std::string& cut : Truncations(bytes)) {
    const ExactBuffer part(cut);
    p = part.data();
    left = part.size();
    const bool found = CMXFDataReader::FindMXFKey(Data(kWantedKey), p, left);
    EXPECT_EQ(found, cut.size() >= 16 + 4 + 3 + 16) << cut.size();
  }
}

TEST_F(MxfKlvReaderTest, BerLengthsOverTheWindow) {
  Load(Bytes({0x83, 0x00, 0x01, 0x00, 0x80, 0x05, 0x89, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0}));
  unsigned int size = 0;
  EXPECT_EQ(reader.ReadKeyLength(&size), 256);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(reader.ReadKeyLength(&size), 0);
  EXPECT_EQ(size, 1u);
  EXPECT_EQ(reader.ReadKeyLength(&size), 5);
  EXPECT_EQ(reader.ReadKeyLength(&size), -1);
}

TEST_F(MxfKlvReaderTest, BerLengthAtTheEndOfTheFile) {
  // The long form needs a byte beyond its own field: a length that ends the
  // file has no value to describe.
  Load(Bytes({0x82, 0x01, 0x00}));
  EXPECT_EQ(reader.ReadKeyLength(nullptr), -1);
}

TEST_F(MxfKlvReaderTest, FindKeyAcrossRefillsAndSkippedValues) {
  // A KLV whose value holds the wanted key must be jumped over, not searched.
  const std::string inner = kWantedKey + Bytes({0x01, 0x77});
  Load(ByteBuilder()
           .zeros(100)
           .bytes(kOtherKey).u8(0x81).u8(static_cast<uint8_t>(inner.size())).bytes(inner)
           .bytes(kWantedKey).u8(0x82).u16(300).zeros(300)
           .str());
  long length = 0;
  ASSERT_TRUE(reader.FindMXFKey(Data(kWantedKey), &length, 16));
  EXPECT_EQ(length, 300);
  EXPECT_EQ(reader.Offset(), 100u + 16 + 2 + inner.size() + 16 + 3);
  EXPECT_FALSE(reader.FindMXFKey(Data(kWantedKey), &length, 16));
}

TEST_F(MxfKlvReaderTest, FindKeyEndsOnLengthsBeyondTheFile) {
  Load(ByteBuilder().bytes(kOtherKey).u8(0x88).u64(0x7FFFFFFFFFFFFFF0ULL).bytes(kWantedKey).u8(0).str());
  EXPECT_FALSE(reader.FindMXFKey(Data(kWantedKey), nullptr, 16));
}

TEST_F(MxfKlvReaderTest, ReadKeyNeedsSixteenBytes) {
  Load(kOtherKey.substr(0, 15));
  unsigned char key[16];
  long length = 0;
  EXPECT_FALSE(reader.ReadMXFKey(key, &length, nullptr));
}

TEST_F(MxfKlvReaderTest, ReadKeyWithItsLength) {
  Load(ByteBuilder().bytes(kOtherKey).u8(0x82).u16(0x0102).u8(0).str());
  unsigned char key[16];
  long length = 0;
  unsigned int size = 0;
  ASSERT_TRUE(reader.ReadMXFKey(key, &length, &size));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(key), 16), kOtherKey);
  EXPECT_EQ(length, 0x102);
  EXPECT_EQ(size, 3u);
}

TEST_F(MxfKlvReaderTest, FillItems) {
  Load(ByteBuilder().bytes(kFillKey).u8(0x83).u24(10).zeros(10).bytes(kOtherKey).bytes(kFillKey).u8(0x89).str());
  unsigned long skipped = 99;
  EXPECT_EQ(reader.SkipFillItem(skipped), 0);
  EXPECT_EQ(skipped, 16u + 4 + 10);
  EXPECT_EQ(reader.SkipFillItem(skipped), 0);
  EXPECT_EQ(skipped, 0u);
  EXPECT_EQ(reader.Offset(), 30u);
  reader.SkipBytes(16);
  EXPECT_EQ(reader.SkipFillItem(skipped), 2);
  EXPECT_EQ(reader.SkipFillItem(skipped), 0);  // end of data
}

TEST_F(MxfKlvReaderTest, FillItemCutShort) {
  Load(kFillKey.substr(0, 10));
  unsigned long skipped = 0;
  EXPECT_EQ(reader.SkipFillItem(skipped), 1);
}

TEST_F(MxfKlvReaderTest, RunInBeforeTheHeaderPartition) {
  Load(ByteBuilder().zeros(100).bytes(kHeaderKey).str());
  EXPECT_EQ(reader.SkipRunIn(), 0);
  EXPECT_EQ(reader.GetRunInLength(), 100u);
  EXPECT_EQ(reader.Offset(), 100u);
}

TEST_F(MxfKlvReaderTest, RunInWithoutHeaderPartition) {
  Load(std::string(200, 'x'));
  EXPECT_EQ(reader.SkipRunIn(), -2);
}

TEST_F(MxfKlvReaderTest, RunInIsAtMost64KiB) {
  Load(ByteBuilder().zeros(65537).bytes(kHeaderKey).str());
  EXPECT_EQ(reader.SkipRunIn(), -2);
}

TEST_F(MxfKlvReaderTest, RunInOfATinyFile) {
  Load("0123456789");
  EXPECT_EQ(reader.SkipRunIn(), -1);
}

TEST(MxfLocalKeyTable, StaticTagsAndPrimerDeclaredTags) {
  Oxl_Mxf::LocalKeyTable table;
  EXPECT_FALSE(table.IsInitialized());
  Oxl_Mxf::InitializeLocalMap(table);
  EXPECT_TRUE(table.IsInitialized());
  EXPECT_EQ(table.GetLocalTag(Data(Bytes({0x3C, 0x0A}))), Oxl_Mxf::Tag_InstanceUID);
  EXPECT_EQ(table.GetLocalTag(Data(Bytes({0x0A, 0x3C}))), Oxl_Mxf::Tag_None);
  EXPECT_EQ(table.GetLocalTag(Data(Bytes({0x3B, 0x0B}))), Oxl_Mxf::Tag_DMSchemes);
  EXPECT_EQ(table.GetLocalTag(Data(Bytes({0x80, 0x05}))), Oxl_Mxf::Tag_None);

  const std::string dppGenre = Bytes({0x06, 0x0e, 0x2b, 0x34, 0x01, 0x01, 0x01, 0x01, 0x0d, 0x0c, 0x01, 0x01,
                                      0x01, 0x01, 0x07, 0x00});
  const std::string as11Shim = Bytes({0x06, 0x0e, 0x2b, 0x34, 0x01, 0x01, 0x01, 0x01, 0x0d, 0x01, 0x07, 0x01,
                                      0x0b, 0x01, 0x01, 0x0a});
  const std::string unknown(16, '\x42');
  const std::string primer = ByteBuilder()
                                 .u32(4).u32(18)
                                 .u16(0x8005).bytes(dppGenre)
                                 .u16(0x8006).bytes(as11Shim)
                                 .u16(0x8007).bytes(unknown)
                                 .u16(0x3C0A).bytes(dppGenre)  // static tags are never redeclared
                                 .str();
  const ExactBuffer value(primer);
  Oxl_Mxf::ReadPrimerPack(value.data(), value.size(), table);
  EXPECT_EQ(table.GetLocalTag(Data(Bytes({0x80, 0x05}))), Oxl_Mxf::Tag_Genre);
  EXPECT_EQ(table.GetLocalTag(Data(Bytes({0x80, 0x06}))), Oxl_Mxf::Tag_ShimVersion);
  EXPECT_EQ(table.GetLocalTag(Data(Bytes({0x80, 0x07}))), Oxl_Mxf::Tag_None);
  EXPECT_EQ(table.GetLocalTag(Data(Bytes({0x3C, 0x0A}))), Oxl_Mxf::Tag_InstanceUID);
}

TEST(MxfLocalKeyTable, PrimerBatchLongerThanItsBytes) {
  CapturingLogger log;
  Oxl_Mxf::LocalKeyTable table;
  const ExactBuffer value(ByteBuilder().u32(1000).u32(18).zeros(36).str());
  EXPECT_EQ(QelFailure([&] { Oxl_Mxf::ReadPrimerPack(value.data(), value.size(), table); }),
            "[buffer is too small to correspond with mxf array description] [ Condition is not true ]");
}

TEST(MxfLocalKeyTable, LowestPropertyWinsWhenTwoShareATag) {
  Oxl_Mxf::LocalKeyTable table;
  table.SetLocalTag(Oxl_Mxf::Tag_Genre, Data(Bytes({0x80, 0x01})));
  table.SetLocalTag(Oxl_Mxf::Tag_Synopsis, Data(Bytes({0x80, 0x01})));
  EXPECT_EQ(table.GetLocalTag(Data(Bytes({0x80, 0x01}))), Oxl_Mxf::Tag_Synopsis);
  table.SetLocalTag(Oxl_Mxf::Tag_Synopsis, Data(Bytes({0x80, 0x02})));
  EXPECT_EQ(table.GetLocalTag(Data(Bytes({0x80, 0x01}))), Oxl_Mxf::Tag_Genre);
}

TEST(MxfLocalKeyTable, EveryDictionaryLabelFindsItsProperty) {
  unsigned int count = 0;
  const Oxl_Mxf::PropertyDefinition* rows = Oxl_Mxf::GetPropertyDefinitions(count);
  ASSERT_EQ(count, 79u);
  for (unsigned int i = 0; i < count; ++i) {
    if (!rows[i].hasLabel) continue;
    EXPECT_EQ(Oxl_Mxf::FindPropertyByLabel(rows[i].label), rows[i].tag) << rows[i].name;
  }
  EXPECT_EQ(Oxl_Mxf::FindPropertyDefinition(Oxl_Mxf::Tag_SignLanguage)->hasLabel, false);
  EXPECT_EQ(Oxl_Mxf::FindPropertyDefinition(static_cast<Oxl_Mxf::mxf_local_tag>(28)), nullptr);
}

}  // namespace
