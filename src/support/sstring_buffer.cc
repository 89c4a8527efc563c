// The C-heap side of the string blocks: the two static empty blocks, the
// allocation wrappers that turn exhaustion into bad_alloc, and the test hook
// that makes a chosen allocation fail.
//
// Thread-safety: the empty blocks are constant-initialised and never written;
// the failure hook is one atomic counter.
// Ownership: memory handed out here is freed through heapFree only.
#include "support/sstring_buffer.h"

#include <atomic>
#include <cstddef>
#include <cstdlib>
#include <new>

#include "support/sstring.h"

namespace {

// Header and terminator in one object, so that chars() of the header reads
// the zero unit right behind it.
template <typename CharT>
struct StaticEmptyBlock {
  SStringBuffer<CharT> header;
  CharT terminator[4];
};

static_assert(sizeof(SAnsiBuffer) == 12, "block header is three 32-bit fields");
static_assert(offsetof(StaticEmptyBlock<char>, terminator) == sizeof(SAnsiBuffer),
              "terminator follows the header");
static_assert(offsetof(StaticEmptyBlock<wchar_t>, terminator) == sizeof(SWideBuffer),
              "terminator follows the header");

// Constant-initialised: in place before any dynamic initialiser runs, so a
// string built during static initialisation already finds them. Const, so
// that a stray write to an empty block faults at once instead of corrupting
// every empty string.
const StaticEmptyBlock<char> gEmptyAnsi = {{{-1}, 0, -1}, {0, 0, 0, 0}};
const StaticEmptyBlock<wchar_t> gEmptyWide = {{{-1}, 0, -1}, {0, 0, 0, 0}};

std::atomic<int> gFailCountdown{0};

class BadAllocation : public std::bad_alloc {
 public:
  const char* what() const noexcept override { return "bad allocation"; }
};

}  // namespace

// Never written through: every change first checks isStatic().
SAnsiBuffer* emptyAnsiBuffer() { return const_cast<SAnsiBuffer*>(&gEmptyAnsi.header); }
SWideBuffer* emptyWideBuffer() { return const_cast<SWideBuffer*>(&gEmptyWide.header); }

void sstringFailAllocationAt(int count) { gFailCountdown.store(count < 0 ? 0 : count); }

namespace sstring_detail {

void throwBadAlloc() { throw BadAllocation(); }

bool allocationMustFail() {
  int n = gFailCountdown.load(std::memory_order_relaxed);
  while (n > 0) {
    if (gFailCountdown.compare_exchange_weak(n, n - 1)) return n == 1;
  }
  return false;
}

void* heapAllocate(int64_t bytes) {
  if (allocationMustFail()) throwBadAlloc();
  void* p = std::malloc(static_cast<size_t>(bytes));
  if (!p) throwBadAlloc();
  return p;
}

void* heapReallocate(void* block, int64_t bytes) {
  if (allocationMustFail()) throwBadAlloc();
  void* p = std::realloc(block, static_cast<size_t>(bytes));
  if (!p) throwBadAlloc();
  return p;
}

void heapFree(void* block) { std::free(block); }

}  // namespace sstring_detail
