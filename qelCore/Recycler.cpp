#include "qelCore/Recycler.h"

#include <map>
#include <mutex>

namespace qel {
namespace {

struct Pool {
  explicit Pool(size_t maxBlocks) : m_MaxBlocks(maxBlocks) {}
  std::mutex m_Mutex;
  std::multimap<size_t, std::shared_ptr<IMemoryBlock>> m_Idle;
  size_t m_MaxBlocks;

  std::shared_ptr<IMemoryBlock> Take(size_t capacity) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    auto it = m_Idle.lower_bound(capacity);
    if (it == m_Idle.end()) return nullptr;
    auto block = std::move(it->second);
    m_Idle.erase(it);
    return block;
  }

  void Give(std::shared_ptr<IMemoryBlock> block) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    if (m_Idle.size() >= m_MaxBlocks) return;  // dropped: the block is freed
    m_Idle.emplace(block->GetCapacity(), std::move(block));
  }
};

// What a user holds: returns the inner block to the pool (if the recycler is
// still alive) instead of freeing it.
class RecycledBlock : public IMemoryBlock {
 public:
  RecycledBlock(std::shared_ptr<IMemoryBlock> inner, std::weak_ptr<Pool> pool)
      : m_Inner(std::move(inner)), m_Pool(std::move(pool)) {}
  ~RecycledBlock() override {
    if (auto pool = m_Pool.lock()) pool->Give(std::move(m_Inner));
  }
  uint8_t* GetData() override { return m_Inner->GetData(); }
  size_t GetCapacity() const override { return m_Inner->GetCapacity(); }

 private:
  std::shared_ptr<IMemoryBlock> m_Inner;
  std::weak_ptr<Pool> m_Pool;
};

class Recycler : public IRecycler {
 public:
  explicit Recycler(size_t maxBlocks) : m_Pool(std::make_shared<Pool>(maxBlocks)) {}

  std::shared_ptr<IMemoryBlock> Allocate(size_t capacity) override {
    auto block = m_Pool->Take(capacity);
    if (!block) block = GetHeapAllocator()->Allocate(capacity);
    if (!block) return nullptr;
    return std::make_shared<RecycledBlock>(std::move(block), m_Pool);
  }

  size_t GetPooledBlockCount() const override {
    std::lock_guard<std::mutex> lock(m_Pool->m_Mutex);
    return m_Pool->m_Idle.size();
  }

  std::string GetName() const override { return "Recycler"; }

 private:
  std::shared_ptr<Pool> m_Pool;
};

}  // namespace

std::shared_ptr<IRecycler> CreateRecycler(size_t maxPooledBlocks) { return std::make_shared<Recycler>(maxPooledBlocks); }

}  // namespace qel
