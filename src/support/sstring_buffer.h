// Block management shared by the 8-bit and wide string classes: allocation
// with 32 units of slack, in-place reallocation, reference counting, the
// static empty blocks, the growth rules of makeWritable and append, and the
// family's precondition check. Internal to the string family.
//
// Thread-safety: addRef/release/isUnique may run on any thread (atomic count);
// reallocate and every write need a unique block, i.e. one owner.
// Ownership: allocate hands the caller one reference; release gives it back
// and frees the block with the last one. Static blocks are never counted.
#ifndef KORVA_SUPPORT_SSTRING_BUFFER_H_
#define KORVA_SUPPORT_SSTRING_BUFFER_H_

#include <cstdint>
#include <cstring>
#include <functional>
#include <new>

#include "support/diagnostics.h"
#include "support/sstring.h"

// The string family's precondition check: the condition is evaluated first
// and only a failed one asks the diagnostics whether checking is on, so a
// check takes no lock on the normal path. The report carries the given text.
#define SSTRING_CHECK(cond, text, msg)                              \
  do {                                                              \
    if (!(cond) && SDiagnostics::isCheckingOn(__FILE__))            \
      SDiagnostics::reportAssertion(__FILE__, __LINE__, text, msg); \
  } while (0)

namespace sstring_detail {

// Slack every new block gets beyond the units asked for.
constexpr int64_t kSlack = 32;

// Throws bad_alloc ("bad allocation").
[[noreturn]] void throwBadAlloc();

// True when the test hook says this allocation must fail.
bool allocationMustFail();

void* heapAllocate(int64_t bytes);
void* heapReallocate(void* block, int64_t bytes);
void heapFree(void* block);

template <typename CharT>
SStringBuffer<CharT>* emptyBuffer();
template <>
inline SStringBuffer<char>* emptyBuffer<char>() {
  return emptyAnsiBuffer();
}
template <>
inline SStringBuffer<wchar_t>* emptyBuffer<wchar_t>() {
  return emptyWideBuffer();
}

// A new block requested for `units` code units: capacity units + 32, count 1,
// nothing used, terminator written.
template <typename CharT>
SStringBuffer<CharT>* allocateBlock(int64_t units) {
  int64_t capacity = units + kSlack;
  if (units < 0 || capacity > INT32_MAX) throwBadAlloc();
  void* raw = heapAllocate(static_cast<int64_t>(sizeof(SStringBuffer<CharT>)) +
                           capacity * static_cast<int64_t>(sizeof(CharT)));
  auto* b = static_cast<SStringBuffer<CharT>*>(raw);
  new (&b->refCount) std::atomic<int32_t>(1);
  b->nativeCharsUsed = 0;
  b->nativeCharsAllocated = static_cast<int32_t>(capacity);
  b->chars()[0] = CharT(0);
  return b;
}

// Resizes a unique block in place to exactly `capacity` units. On failure the
// old block is untouched and bad_alloc is thrown.
template <typename CharT>
SStringBuffer<CharT>* reallocateBlock(SStringBuffer<CharT>* b, int64_t capacity) {
  if (capacity < 1 || capacity > INT32_MAX) throwBadAlloc();
  void* raw = heapReallocate(b, static_cast<int64_t>(sizeof(SStringBuffer<CharT>)) +
                                    capacity * static_cast<int64_t>(sizeof(CharT)));
  b = static_cast<SStringBuffer<CharT>*>(raw);
  b->nativeCharsAllocated = static_cast<int32_t>(capacity);
  if (b->nativeCharsUsed >= capacity) b->nativeCharsUsed = static_cast<int32_t>(capacity - 1);
  b->chars()[b->nativeCharsUsed] = CharT(0);
  return b;
}

template <typename CharT>
inline void addRef(SStringBuffer<CharT>* b) {
  if (b && !b->isStatic()) b->refCount.fetch_add(1, std::memory_order_relaxed);
}

template <typename CharT>
inline void release(SStringBuffer<CharT>* b) {
  if (!b || b->isStatic()) return;
  if (b->refCount.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    b->refCount.~atomic();
    heapFree(b);
  }
}

template <typename CharT>
inline bool isUnique(const SStringBuffer<CharT>* b) {
  return !b->isStatic() && b->refCount.load(std::memory_order_acquire) == 1;
}

// Makes b the static empty block.
template <typename CharT>
inline void makeEmpty(SStringBuffer<CharT>*& b) {
  release(b);
  b = emptyBuffer<CharT>();
}

// Sets the used count and writes the terminator (needs a writable block).
template <typename CharT>
inline void setUsed(SStringBuffer<CharT>* b, int64_t used) {
  SSTRING_CHECK(used < b->nativeCharsAllocated, "nativeCharsUsed < buffer->nativeCharsAllocated",
                nullptr);
  b->nativeCharsUsed = static_cast<int32_t>(used);
  b->chars()[used] = CharT(0);
}

template <typename CharT>
inline void copyUnits(CharT* to, const CharT* from, int64_t n) {
  if (n > 0) std::memmove(to, from, static_cast<size_t>(n) * sizeof(CharT));
}

// True when p points into b's characters (terminator included).
template <typename CharT>
inline bool pointsInto(const SStringBuffer<CharT>* b, const CharT* p) {
  if (!p || b->isStatic()) return false;
  const CharT* first = b->chars();
  int64_t extent = b->nativeCharsAllocated > b->nativeCharsUsed ? b->nativeCharsAllocated
                                                                : b->nativeCharsUsed + 1;
  std::less_equal<const CharT*> le;
  std::less<const CharT*> lt;
  return le(first, p) && lt(p, first + extent);
}

// A new block holding len units of text.
template <typename CharT>
SStringBuffer<CharT>* blockFromUnits(const CharT* text, int64_t len) {
  SStringBuffer<CharT>* b = allocateBlock<CharT>(len + 1);
  copyUnits(b->chars(), text, len);
  setUsed(b, len);
  return b;
}

// Replaces a shared (or static) b by a new block requested for `units`,
// holding b's text followed by m units of text. The old reference is given
// back only after the copy: text may lie in the old block.
template <typename CharT>
void copyToNewBlock(SStringBuffer<CharT>*& b, int64_t units, const CharT* text = nullptr,
                    int64_t m = 0) {
  const int64_t u = b->nativeCharsUsed;
  SStringBuffer<CharT>* nb = allocateBlock<CharT>(units);
  copyUnits(nb->chars(), b->chars(), u);
  copyUnits(nb->chars() + u, text, m);
  setUsed(nb, u + m);
  release(b);
  b = nb;
}

// Makes b private and able to hold n units plus terminator.
template <typename CharT>
void makeWritable(SStringBuffer<CharT>*& b, int64_t n) {
  if (n < b->nativeCharsUsed) n = b->nativeCharsUsed;
  if (!isUnique(b)) {
    copyToNewBlock(b, n + 1);
  } else if (b->nativeCharsAllocated < n + 1) {
    b = reallocateBlock(b, n + 1 + kSlack);
  }
}

// Appends m units; text may point into b itself. Short of room the block
// grows to 2u + m + 1 (a new block asks for that much); a shared block with
// room is copied to a new one asked for u + m + 1.
template <typename CharT>
void appendUnits(SStringBuffer<CharT>*& b, const CharT* text, int64_t m) {
  if (m <= 0) return;
  const int64_t u = b->nativeCharsUsed;
  const bool shortOfRoom = b->nativeCharsAllocated < u + m + 1;
  if (!isUnique(b)) {
    copyToNewBlock(b, shortOfRoom ? 2 * u + m + 1 : u + m + 1, text, m);
    return;
  }
  if (shortOfRoom) {
    bool inside = pointsInto(b, text);
    int64_t offset = inside ? text - b->chars() : 0;
    b = reallocateBlock(b, 2 * u + m + 1);
    if (inside) text = b->chars() + offset;
  }
  copyUnits(b->chars() + u, text, m);
  setUsed(b, u + m);
}

// Inserts m units of text at unit offset at. The text must outlive b's
// change: a value inserting its own text holds a copy of it meanwhile.
template <typename CharT>
void insertUnits(SStringBuffer<CharT>*& b, int64_t at, const CharT* text, int64_t m) {
  const int64_t u = b->nativeCharsUsed;
  makeWritable(b, u + m);
  CharT* chars = b->chars();
  copyUnits(chars + at + m, chars + at, u - at);
  copyUnits(chars + at, text, m);
  setUsed(b, u + m);
}

// Removes count units from unit offset at.
template <typename CharT>
void eraseUnits(SStringBuffer<CharT>*& b, int64_t at, int64_t count) {
  const int64_t u = b->nativeCharsUsed;
  makeWritable(b, u);
  CharT* chars = b->chars();
  copyUnits(chars + at, chars + at + count, u - at - count);
  setUsed(b, u - count);
}

// Replaces the text with len units from text (which may lie inside b).
template <typename CharT>
void assignUnits(SStringBuffer<CharT>*& b, const CharT* text, int64_t len) {
  if (text == b->chars()) return;
  if (len == 0) return makeEmpty(b);
  // A unique block never moves here (it already holds more than len units);
  // a shared one stays alive through its other owners while text is copied.
  makeWritable(b, len);
  copyUnits(b->chars(), text, len);
  setUsed(b, len);
}

}  // namespace sstring_detail

#endif  // KORVA_SUPPORT_SSTRING_BUFFER_H_
