// Implementing elements from the registry, and the recycler they give readers.
#include <gtest/gtest.h>
#include <malloc.h>

#include <cstring>

#include "qelCore/ImplementElement.h"
#include "qelCore/Recycler.h"
#include "support/CapturingLogger.h"
#include "support/ErrorText.h"

namespace {

constexpr auto kRecyclerType = qel::ElementFactoryType_Recycler;

std::string ImplementFailure(const std::string& impl, const std::string& type) {
  return oxltest::QelFailure([&] { qel::ImplementElement<kRecyclerType>(impl, type, nullptr); });
}

// An entry of the right keys but a factory of another type.
struct OtherFactory : qel::IElementFactory {
  qel::ElementFactoryType GetFactoryType() const override { return static_cast<qel::ElementFactoryType>(7); }
};

}  // namespace

TEST(ImplementElement, BuiltInRecyclerWithMilestoneAndFailuresNamingTheMissingPiece) {
  oxltest::CapturingLogger log;
  ASSERT_NE(qel::ImplementElement<kRecyclerType>("qel", "Recycler", nullptr), nullptr);
  ASSERT_EQ(log.lines().size(), 1u);
  EXPECT_EQ(log.lines()[0].level, qel::LogLevel::Info);
  EXPECT_EQ(log.lines()[0].text, "[MILESTONE][ImplementElement " + qel::GetLabel(kRecyclerType) + ".qel.Recycler]");
  const std::string prefix = "can not implement " + qel::GetLabel(kRecyclerType) + " with implementation=";
  EXPECT_EQ(ImplementFailure("qel", "Nothing"), prefix + "\"qel\" and type=\"Nothing\"\n[registryEntry] [ Pointer is null ]");
  EXPECT_EQ(log.lines().back().level, qel::LogLevel::Error);
  qel::RegisterElementFactory(kRecyclerType, "test", "NoManifest", std::make_shared<OtherFactory>(), nullptr);
  EXPECT_EQ(ImplementFailure("test", "NoManifest"), prefix + "\"test\" and type=\"NoManifest\"\n[manifest] [ Pointer is null ]");
  qel::RegisterElementFactory(kRecyclerType, "test", "Wrong", std::make_shared<OtherFactory>(),
                              qel::CreateManifest("test", "Wrong", ""));
  EXPECT_EQ(ImplementFailure("test", "Wrong"), prefix + "\"test\" and type=\"Wrong\"\n[factory] [ Pointer is null ]");
  auto throwing = std::make_shared<qel::ElementFactory<kRecyclerType>>(
      [](auto, auto) -> std::shared_ptr<qel::IRecycler> { throw std::runtime_error("out of pools"); });
  qel::RegisterElementFactory(kRecyclerType, "test", "Throwing", throwing, qel::CreateManifest("test", "Throwing", ""));
  EXPECT_EQ(ImplementFailure("test", "Throwing"), prefix + "\"test\" and type=\"Throwing\"\nout of pools");
  for (const char* type : {"NoManifest", "Wrong", "Throwing"})
    qel::RegisterElementFactory(kRecyclerType, "test", type, nullptr, nullptr);
  EXPECT_EQ(qel::GetFactory(kRecyclerType, "test", "Wrong"), nullptr);
}

TEST(Recycler, ReusesReleasedBlocksOfSufficientSizeUpToItsBound) {
  auto recycler = qel::CreateRecycler(2);
  uint8_t* first = nullptr;
  {
    auto buffer = qel::CreateBuffer(recycler);
    ASSERT_TRUE(buffer->Resize(4096));
    first = buffer->GetData();
    EXPECT_EQ(reinterpret_cast<uintptr_t>(first) % 1024, 0u);
  }
  EXPECT_EQ(recycler->GetPooledBlockCount(), 1u);
  auto again = qel::CreateBuffer(recycler);
  ASSERT_TRUE(again->Resize(1000));
  EXPECT_EQ(again->GetData(), first);
  auto larger = qel::CreateBuffer(recycler);  // nothing pooled fits: fresh memory
  ASSERT_TRUE(larger->Resize(8192));
  EXPECT_NE(larger->GetData(), first);
  std::vector<std::shared_ptr<qel::IBuffer>> buffers;
  for (int i = 0; i < 5; ++i) {
    buffers.push_back(qel::CreateBuffer(recycler));
    ASSERT_TRUE(buffers.back()->Resize(100));
  }
  buffers.clear();
  EXPECT_EQ(recycler->GetPooledBlockCount(), 2u);
}

TEST(Buffer, ResizingKeepsContentAndMemoryAndRefusesTheImpossible) {
  auto buffer = qel::CreateBuffer();
  ASSERT_TRUE(buffer->Resize(3));
  std::memcpy(buffer->GetData(), "abc", 3);
  ASSERT_TRUE(buffer->Resize(1 << 20));
  EXPECT_EQ(std::memcmp(buffer->GetData(), "abc", 3), 0);
  uint8_t* data = buffer->GetData();
  ASSERT_TRUE(buffer->Resize(2));
  EXPECT_EQ(buffer->GetData(), data);
  EXPECT_GE(buffer->GetCapacity(), 1u << 20);
  EXPECT_FALSE(buffer->Resize(~size_t(0) - 4096));
  EXPECT_EQ(buffer->GetSize(), 2u);
}

// Fragment indexes keep a small buffer per fragment, thousands of them.
TEST(Buffer, SmallDefaultBuffersCostAboutTheirSize) {
  const size_t count = 20000;
  const size_t before = mallinfo2().arena;
  std::vector<std::shared_ptr<qel::IBuffer>> kept;
  kept.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    kept.push_back(qel::CreateBuffer());
    ASSERT_TRUE(kept.back()->Resize(300));
    ASSERT_TRUE(qel::CreateBuffer()->Resize(8));  // a passing one, as reading a fragment makes
  }
  EXPECT_LT((mallinfo2().arena - before) / count, 1024u);
}
