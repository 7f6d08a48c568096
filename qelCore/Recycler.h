#pragma once
// The "Recycler" element: a memory-block allocator that takes blocks back when
// their last user lets go and hands them out again, so that a reader
// delivering one frame after another does not allocate per frame.
#include <cstddef>
#include <memory>

#include "qelCore/Buffer.h"
#include "qelCore/Element.h"

namespace qel {

class IRecycler : public IMemoryBlockAllocator, public IElement {
 public:
  // Blocks currently held for reuse.
  virtual size_t GetPooledBlockCount() const = 0;
};

// Keeps at most `maxPooledBlocks` idle blocks; a request is served by the
// smallest idle block that is large enough. Blocks may be released from any
// thread (hosts hand samples to other threads), so the pool is locked.
std::shared_ptr<IRecycler> CreateRecycler(size_t maxPooledBlocks = 8);

}  // namespace qel

namespace qel {
template <>
struct ElementFactoryTraits<ElementFactoryType_Recycler> {
  using Instance = std::shared_ptr<IRecycler>;
};
}  // namespace qel
