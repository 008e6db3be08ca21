// The host's pools of small blocks: one free list per size class, filled from blocks of many.
#include <array>
#include <memory>
#include <new>
#include <vector>

#include "scene/model.h"

namespace vthost {
namespace {

// Sizes in steps of 16 bytes (the alignment of every block) up to a node's; larger ones, and every
// block where leaks are checked, are the system's own.
constexpr size_t kStep = 16;
constexpr size_t kLargestPooled = (sizeof(VtNode) + kStep - 1) / kStep * kStep;
constexpr size_t kBytesPerBlock = 64 * 1024;

class SizePool {
 public:
  void* Take(size_t size) {
    if (free_ != nullptr) {
      Spare* spare = free_;
      free_ = spare->next;
      return spare;
    }
    if (blocks_.empty() || used_ + size > kBytesPerBlock) {
      // not zeroed: each object is made in its room
      blocks_.push_back(std::unique_ptr<Chunk[]>(new Chunk[kBytesPerBlock / sizeof(Chunk)]));
      used_ = 0;
    }
    void* room = reinterpret_cast<unsigned char*>(blocks_.back().get()) + used_;
    used_ += size;
    return room;
  }

  void Give(void* block) {
    auto* spare = static_cast<Spare*>(block);
    spare->next = free_;
    free_ = spare;
  }

  size_t Blocks() const { return blocks_.size(); }

 private:
  struct Spare {
    Spare* next;
  };
  struct alignas(kStep) Chunk {
    unsigned char bytes[kStep];
  };
  std::vector<std::unique_ptr<Chunk[]>> blocks_;
  size_t used_ = 0;  // of the last block
  Spare* free_ = nullptr;
};

size_t ClassOf(size_t size) { return (size + kStep - 1) / kStep; }

struct PoolSet {
  bool leaksChecked = FreeAtExit();
  std::array<SizePool, kLargestPooled / kStep + 1> pools;
};

// Made once and never destroyed, so that a block freed as the process ends (by an object of static
// storage) still finds its pool. A plain pointer rather than a function's static: a block is taken
// for every node, tag and value of a model, and the guard of a static would be asked each time.
PoolSet* g_pools = nullptr;

// Apart from Pools, which is then small enough to be inlined.
[[gnu::noinline]] PoolSet* MakePools() {
  g_pools = new PoolSet();
  return g_pools;
}

PoolSet& Pools() { return *(g_pools != nullptr ? g_pools : MakePools()); }

}  // namespace

void* TakeBlock(size_t size) {
  PoolSet& set = Pools();
  if (size > kLargestPooled || set.leaksChecked) return ::operator new(size);
  const size_t sizeClass = ClassOf(size);
  return set.pools[sizeClass].Take(sizeClass * kStep);
}

void GiveBlock(void* block, size_t size) {
  if (block == nullptr) return;
  PoolSet& set = Pools();
  if (size > kLargestPooled || set.leaksChecked) {
    ::operator delete(block);
    return;
  }
  set.pools[ClassOf(size)].Give(block);
}

size_t PoolBlocks(size_t size) {
  PoolSet& set = Pools();
  return size > kLargestPooled || set.leaksChecked ? 0 : set.pools[ClassOf(size)].Blocks();
}

}  // namespace vthost
