// MXF KLV primitives: typed values, batches, BER lengths, key search, fill
// items, run-in and the local-tag table with its primer pack.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "OXLDataReader/MXFDataReader.h"
#include "OXLDataReader/MXFLocalKeyTable.h"
#include "OXLDataReader/MXFUtils.h"
#include "support/ByteBuilder.h"
#include "support/CapturingLogger.h"
#include "support/ErrorText.h"
#include "support/MxfWriter.h"
#include "support/TempDir.h"

using namespace oxltest;
using mxf::Bytes;
using mxf::Label;

namespace {

const std::string kHeaderKey = Label("06.0e.2b.34.02.05.01.01.0d.01.02.01.01.02.04.00");
const std::string kOtherKey = Label("06.0e.2b.34.02.53.01.01.0d.01.01.01.01.01.2f.00");
const std::string kWantedKey = Label("06.0e.2b.34.02.53.01.01.0d.01.01.01.01.01.30.00");

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
  // A fresh reader on a new file of `bytes`.
  void Load(const std::string& bytes) {
    reader = std::make_unique<KlvReader>();
    ASSERT_EQ(reader->Open(dir.write("klv" + std::to_string(++files) + ".bin", bytes).c_str(), false), 0);
  }
  TempDir dir;
  int files = 0;
  std::unique_ptr<KlvReader> reader;
};

TEST(MxfTypedValues, DecodeBigEndianAndRefuseShortBuffers) {
  CapturingLogger log;
  const ExactBuffer b(Bytes({0xFF, 0xFE, 0x80, 0x00, 0x00, 0x00, 0x00, 0x01}));
  const auto* p = b.data();
  EXPECT_EQ(MxfUtils::ReadUint32(p + 4, 4), 1u);
  EXPECT_EQ(MxfUtils::ReadInt16(p, 8), -2);
  EXPECT_EQ(MxfUtils::ReadUint16(p, 8), 0xFFFE);
  EXPECT_TRUE(MxfUtils::ReadBool(p + 2, 1));
  EXPECT_FALSE(MxfUtils::ReadBool(p + 3, 1));
  EXPECT_EQ(MxfUtils::ReadInt64(p, 8), static_cast<int64_t>(0xFFFE800000000001ULL));
  EXPECT_EQ(MxfUtils::ReadPosition(p, 8), MxfUtils::ReadInt64(p, 8));
  const std::pair<std::function<void()>, const char*> shortReads[] = {
      {[&] { MxfUtils::ReadUint32(p, 3); }, "uint32"}, {[&] { MxfUtils::ReadUint8(p, 0); }, "uint8"},
      {[&] { MxfUtils::ReadBool(p, 0); }, "bool"},     {[&] { MxfUtils::ReadInt16(p, 1); }, "int16"},
      {[&] { MxfUtils::ReadVersionType(p, 1); }, "uint16"}, {[&] { MxfUtils::Readlength(p, 7); }, "int64"},
      {[&] { MxfUtils::ReadRational(p, 7); }, "uint32"},  // fails on its last field
      {[&] { MxfUtils::ReadTimeStamp(p, 7); }, "uint8"}};
  for (const auto& [read, type] : shortReads)
    EXPECT_EQ(QelFailure(read), std::string("[unable to read ") + type + ", bad mxf buffer size] [ Condition is not true ]");
  ASSERT_FALSE(log.lines().empty());
  EXPECT_EQ(log.lines().back().source, "OXLDataReader/MXFUtils");

  const ExactBuffer rational(ByteBuilder().u32(16).u32(9).str());
  EXPECT_EQ(MxfUtils::ReadRational(rational.data(), 8).numerator, 16u);
  EXPECT_EQ(MxfUtils::ReadRational(rational.data(), 8).denominator, 9u);
  const ExactBuffer stamp(ByteBuilder().u16(2024).u8(12).u8(31).u8(23).u8(59).u8(58).u8(3).str());
  const MxfUtils::TimeStamp t = MxfUtils::ReadTimeStamp(stamp.data(), 8);
  EXPECT_EQ(std::vector<int>({t.year, t.month, t.day, t.hour, t.minute, t.second, t.quarterMillisecond}),
            std::vector<int>({2024, 12, 31, 23, 59, 58, 3}));
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
  // A count whose 32-bit product with the size wraps to a small number, and four billion empty items.
  const ExactBuffer wrapping(ByteBuilder().u32(0x10000001).u32(16).bytes(items).str());
  EXPECT_NE(QelFailure([&] { MxfUtils::ReadArray(wrapping.data(), wrapping.size()); }), "<no failure>");
  const ExactBuffer empties(ByteBuilder().u32(0xFFFFFFFF).u32(0).str());
  EXPECT_NE(QelFailure([&] { MxfUtils::ReadArray(empties.data(), empties.size()); }), "<no failure>");
}

TEST(MxfMemoryKlv, BerLengthsAndKeySearch) {
  const std::pair<std::string, long> lengths[] = {{Bytes({0x83, 0x00, 0x01, 0x00, 0x55}), 256}, {Bytes({0x80}), 0},
                                                  {Bytes({0x7F}), 0x7F}, {Bytes({0x84, 0x00, 0x01}), -1},
                                                  {Bytes({0x89, 1, 2, 3, 4, 5, 6, 7, 8, 9}), -1}, {"", -1}};
  for (const auto& [bytes, length] : lengths) {
    const ExactBuffer buffer(bytes);
    const unsigned char* p = buffer.data();
    unsigned int left = buffer.size();
    EXPECT_EQ(CMXFDataReader::ReadKeyLength(p, left), length) << bytes.size();
    EXPECT_TRUE(length != 256 || left == 1u);
  }
  // The search skips whole triplets: a key inside a value is not found, and a
  // length beyond the bytes ends it.
  const std::string bytes = ByteBuilder()
                                .bytes(kOtherKey).u8(0x83).u8(0).u8(0).u8(3).bytes(kWantedKey.substr(0, 3))
                                .bytes(kWantedKey).u8(2).u16(0xABCD)
                                .str();
  for (size_t cut : {bytes.size(), bytes.size() - 4, size_t(16 + 4 + 3 + 15), size_t(16 + 2)}) {
    const ExactBuffer part(bytes.substr(0, cut));
    const unsigned char* p = part.data();
    unsigned int left = part.size();
    ASSERT_EQ(CMXFDataReader::FindMXFKey(Data(kWantedKey), p, left), cut >= 16 + 4 + 3 + 16) << cut;
    EXPECT_TRUE(cut != bytes.size() || CMXFDataReader::ReadKeyLength(p, left) == 2);
  }
  const ExactBuffer beyond(ByteBuilder().bytes(kOtherKey).u8(0x82).u16(0x1000).bytes(kWantedKey).str());
  const unsigned char* p = beyond.data();
  unsigned int left = beyond.size();
  EXPECT_FALSE(CMXFDataReader::FindMXFKey(Data(kWantedKey), p, left));
  EXPECT_EQ(left, 0u);
}

TEST_F(MxfKlvReaderTest, BerLengthsOverTheWindow) {
  Load(Bytes({0x83, 0x00, 0x01, 0x00, 0x80, 0x05, 0x89, 1, 2, 3, 4, 5, 6, 7, 8, 9, 0}));
  unsigned int size = 0;
  EXPECT_EQ(reader->ReadKeyLength(&size), 256);
  EXPECT_EQ(size, 4u);
  EXPECT_EQ(reader->ReadKeyLength(&size), 0);
  EXPECT_EQ(size, 1u);
  EXPECT_EQ(reader->ReadKeyLength(&size), 5);
  EXPECT_EQ(reader->ReadKeyLength(&size), -1);
  // The long form needs a byte beyond its own field: a length that ends the
  // file has no value to describe.
  Load(Bytes({0x82, 0x01, 0x00}));
  EXPECT_EQ(reader->ReadKeyLength(nullptr), -1);
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
  ASSERT_TRUE(reader->FindMXFKey(Data(kWantedKey), &length, 16));
  EXPECT_EQ(length, 300);
  EXPECT_EQ(reader->Offset(), 100u + 16 + 2 + inner.size() + 16 + 3);
  EXPECT_FALSE(reader->FindMXFKey(Data(kWantedKey), &length, 16));
  Load(ByteBuilder().bytes(kOtherKey).u8(0x88).u64(0x7FFFFFFFFFFFFFF0ULL).bytes(kWantedKey).u8(0).str());
  EXPECT_FALSE(reader->FindMXFKey(Data(kWantedKey), nullptr, 16));  // a length beyond the file ends the search
}

TEST_F(MxfKlvReaderTest, ReadKeyWithItsLength) {
  unsigned char key[16];
  long length = 0;
  unsigned int size = 0;
  Load(kOtherKey.substr(0, 15));
  EXPECT_FALSE(reader->ReadMXFKey(key, &length, nullptr));
  Load(ByteBuilder().bytes(kOtherKey).u8(0x82).u16(0x0102).u8(0).str());
  ASSERT_TRUE(reader->ReadMXFKey(key, &length, &size));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(key), 16), kOtherKey);
  EXPECT_EQ(length, 0x102);
  EXPECT_EQ(size, 3u);
}

TEST_F(MxfKlvReaderTest, FillItems) {
  unsigned long skipped = 99;
  Load(mxf::kFillKey.substr(0, 10));
  EXPECT_EQ(reader->SkipFillItem(skipped), 1);
  Load(ByteBuilder().bytes(mxf::kFillKey).u8(0x83).u24(10).zeros(10).bytes(kOtherKey).bytes(mxf::kFillKey).u8(0x89).str());
  EXPECT_EQ(reader->SkipFillItem(skipped), 0);
  EXPECT_EQ(skipped, 16u + 4 + 10);
  EXPECT_EQ(reader->SkipFillItem(skipped), 0);
  EXPECT_EQ(skipped, 0u);
  EXPECT_EQ(reader->Offset(), 30u);
  reader->SkipBytes(16);
  EXPECT_EQ(reader->SkipFillItem(skipped), 2);
  EXPECT_EQ(reader->SkipFillItem(skipped), 0);  // end of data
}

TEST_F(MxfKlvReaderTest, RunInBeforeTheHeaderPartitionIsAtMost64KiB) {
  Load(std::string(100, '\0') + kHeaderKey);
  EXPECT_EQ(reader->SkipRunIn(), 0);
  EXPECT_EQ(reader->GetRunInLength(), 100u);
  EXPECT_EQ(reader->Offset(), 100u);
  const std::pair<std::string, int> refused[] = {
      {std::string(200, 'x'), -2}, {std::string(65537, '\0') + kHeaderKey, -2}, {"0123456789", -1}};
  for (const auto& [bytes, code] : refused) {
    Load(bytes);
    EXPECT_EQ(reader->SkipRunIn(), code) << bytes.size();
  }
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

  const std::string dppGenre = Label("06.0e.2b.34.01.01.01.01.0d.0c.01.01.01.01.07.00");
  const ExactBuffer primer(ByteBuilder()
                               .u32(4).u32(18)
                               .u16(0x8005).bytes(dppGenre)
                               .u16(0x8006).bytes(Label("06.0e.2b.34.01.01.01.01.0d.01.07.01.0b.01.01.0a"))
                               .u16(0x8007).bytes(std::string(16, '\x42'))
                               .u16(0x3C0A).bytes(dppGenre)  // static tags are never redeclared
                               .str());
  Oxl_Mxf::ReadPrimerPack(primer.data(), primer.size(), table);
  EXPECT_EQ(table.GetLocalTag(Data(Bytes({0x80, 0x05}))), Oxl_Mxf::Tag_Genre);
  EXPECT_EQ(table.GetLocalTag(Data(Bytes({0x80, 0x06}))), Oxl_Mxf::Tag_ShimVersion);
  EXPECT_EQ(table.GetLocalTag(Data(Bytes({0x80, 0x07}))), Oxl_Mxf::Tag_None);
  EXPECT_EQ(table.GetLocalTag(Data(Bytes({0x3C, 0x0A}))), Oxl_Mxf::Tag_InstanceUID);
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
