// MXF typed reads and batches refusing short buffers and absurd counts:
// what the file tests cannot reach, and the texts of their errors.
#include <gtest/gtest.h>

#include <functional>

#include "OXLDataReader/MXFUtils.h"
#include "support/ByteBuilder.h"
#include "support/CapturingLogger.h"
#include "support/ErrorText.h"

using namespace oxltest;

namespace {

TEST(MxfTypedValues, ShortBuffersAndArrayDescriptionsAreRefused) {
  CapturingLogger log;
  const ExactBuffer b(std::string(8, '\x11'));
  const auto* p = b.data();
  const std::pair<std::function<void()>, const char*> shortReads[] = {
      {[&] { MxfUtils::ReadUint32(p, 3); }, "uint32"}, {[&] { MxfUtils::ReadUint8(p, 0); }, "uint8"},
      {[&] { MxfUtils::ReadBool(p, 0); }, "bool"},     {[&] { MxfUtils::ReadInt16(p, 1); }, "int16"},
      {[&] { MxfUtils::ReadVersionType(p, 1); }, "uint16"}, {[&] { MxfUtils::Readlength(p, 7); }, "int64"},
      {[&] { MxfUtils::ReadRational(p, 7); }, "uint32"},  // fails on its last field
      {[&] { MxfUtils::ReadTimeStamp(p, 7); }, "uint8"}};
  for (const auto& [read, type] : shortReads)
    EXPECT_EQ(QelFailure(read), std::string("[unable to read ") + type + ", bad mxf buffer size] [ Condition is not true ]");
  const std::string items(32, '\x11');
  const ExactBuffer two(ByteBuilder().u32(2).u32(16).bytes(items).str());
  EXPECT_EQ(MxfUtils::ReadArray(two.data(), two.size()).at(1), std::string(16, '\x11'));
  EXPECT_EQ(QelFailure([&] { MxfUtils::ReadArray(two.data(), 7); }),
            "[buffer is too small to be a valid mxf array] [ Condition is not true ]");
  // A count whose 32-bit product with the size wraps to a small number, and four billion empty items.
  const ExactBuffer wrapping(ByteBuilder().u32(0x10000001).u32(16).bytes(items).str());
  EXPECT_NE(QelFailure([&] { MxfUtils::ReadArray(wrapping.data(), wrapping.size()); }), "<no failure>");
  const ExactBuffer empties(ByteBuilder().u32(0xFFFFFFFF).u32(0).str());
  EXPECT_NE(QelFailure([&] { MxfUtils::ReadArray(empties.data(), empties.size()); }), "<no failure>");
}

}  // namespace
