#include "qelCore/Buffer.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace qel {
namespace {

class HeapBlock : public IMemoryBlock {
 public:
  HeapBlock(uint8_t* data, size_t capacity) : m_Data(data), m_Capacity(capacity) {}
  ~HeapBlock() override { std::free(m_Data); }
  uint8_t* GetData() override { return m_Data; }
  size_t GetCapacity() const override { return m_Capacity; }

 private:
  uint8_t* m_Data;
  size_t m_Capacity;
};

class HeapAllocator : public IMemoryBlockAllocator {
 public:
  std::shared_ptr<IMemoryBlock> Allocate(size_t capacity) override {
    void* p = nullptr;
    if (posix_memalign(&p, 1024, capacity ? capacity : 1) != 0) return nullptr;
    try {
      return std::make_shared<HeapBlock>(static_cast<uint8_t*>(p), capacity);
    } catch (const std::bad_alloc&) {
      std::free(p);
      return nullptr;
    }
  }
};

// Plain malloc memory, for the small copies parsers keep (a fragment's run
// table, a parameter set): aligned on 1024 bytes, each would cost a kilobyte
// or two of heap whatever its size.
class PlainAllocator : public IMemoryBlockAllocator {
 public:
  std::shared_ptr<IMemoryBlock> Allocate(size_t capacity) override {
    void* p = std::malloc(capacity ? capacity : 1);
    if (!p) return nullptr;
    try {
      return std::make_shared<HeapBlock>(static_cast<uint8_t*>(p), capacity);
    } catch (const std::bad_alloc&) {
      std::free(p);
      return nullptr;
    }
  }
};

class Buffer : public IBuffer {
 public:
  Buffer(std::shared_ptr<IMemoryBlockAllocator> allocator, std::shared_ptr<IMemoryBlock> block)
      : m_Allocator(std::move(allocator)), m_Block(std::move(block)) {}

  uint8_t* GetData() override { return m_Block ? m_Block->GetData() : nullptr; }
  const uint8_t* GetData() const override { return m_Block ? m_Block->GetData() : nullptr; }
  size_t GetSize() const override { return m_Size; }
  size_t GetCapacity() const override { return m_Block ? m_Block->GetCapacity() : 0; }

  bool Resize(size_t size) override {
    if (!Reserve(size)) return false;
    m_Size = size;
    return true;
  }

  bool Reserve(size_t capacity) override {
    if (capacity <= GetCapacity()) return true;
    auto block = m_Allocator->Allocate(capacity);
    if (!block) return false;
    if (m_Size) std::memcpy(block->GetData(), m_Block->GetData(), m_Size);
    m_Block = std::move(block);
    return true;
  }

 private:
  std::shared_ptr<IMemoryBlockAllocator> m_Allocator;
  std::shared_ptr<IMemoryBlock> m_Block;
  size_t m_Size = 0;
};

}  // namespace

std::shared_ptr<IMemoryBlockAllocator> GetHeapAllocator() {
  static const auto heap = std::make_shared<HeapAllocator>();
  return heap;
}

std::shared_ptr<IBuffer> CreateBuffer(std::shared_ptr<IMemoryBlockAllocator> allocator,
                                      std::shared_ptr<IMemoryBlock> memoryBlock) {
  static const auto plain = std::make_shared<PlainAllocator>();
  if (!allocator) allocator = plain;
  return std::make_shared<Buffer>(std::move(allocator), std::move(memoryBlock));
}

}  // namespace qel
