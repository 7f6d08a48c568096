#pragma once
// Memory for media data: blocks from an allocator, wrapped in buffers that
// know how much of the block is in use.
#include <cstddef>
#include <cstdint>
#include <memory>

namespace qel {

class IMemoryBlock {
 public:
  virtual ~IMemoryBlock() = default;
  virtual uint8_t* GetData() = 0;
  virtual size_t GetCapacity() const = 0;
};

class IMemoryBlockAllocator {
 public:
  virtual ~IMemoryBlockAllocator() = default;
  // A block of at least `capacity` bytes, or null when memory is exhausted.
  virtual std::shared_ptr<IMemoryBlock> Allocate(size_t capacity) = 0;
};

// A growable byte buffer: a memory block plus the count of bytes in use.
class IBuffer {
 public:
  virtual ~IBuffer() = default;
  virtual uint8_t* GetData() = 0;
  virtual const uint8_t* GetData() const = 0;
  virtual size_t GetSize() const = 0;
  virtual size_t GetCapacity() const = 0;
  // Sets the bytes in use, growing the block (content kept) when needed.
  // False, with the buffer unchanged, when memory cannot be had.
  virtual bool Resize(size_t size) = 0;
  // Grows the capacity without changing the size; false when memory cannot be had.
  virtual bool Reserve(size_t capacity) = 0;
};

// A buffer drawing its memory from `allocator` (plain malloc memory, without
// the heap allocator's alignment, when null), starting on `memoryBlock` when
// one is given (its whole capacity, size 0).
std::shared_ptr<IBuffer> CreateBuffer(std::shared_ptr<IMemoryBlockAllocator> allocator = nullptr,
                                      std::shared_ptr<IMemoryBlock> memoryBlock = nullptr);

// Plain heap memory, 1024-byte aligned (the recycler's, for sample data).
std::shared_ptr<IMemoryBlockAllocator> GetHeapAllocator();

}  // namespace qel
