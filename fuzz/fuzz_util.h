// Helpers shared by the fuzz targets: a reader that takes bytes, numbers and
// texts off the fuzzer's input, a lenient UTF-8 decoder, and the check that
// stops a target on a broken expectation so that the fuzzer records the input.
//
// Thread-safety: each target runs on one thread. Ownership: a FuzzInput only
// points into the fuzzer's buffer, which outlives it.
#ifndef KORVA_FUZZ_FUZZ_UTIL_H_
#define KORVA_FUZZ_FUZZ_UTIL_H_

#include <cstddef>
#include <cstdint>
#include <string>

namespace korva_fuzz {

// Prints the broken expectation with its place and aborts.
[[noreturn]] void checkFailed(const char* file, int line, const char* condition,
                              const std::string& detail);

#define FUZZ_CHECK(cond, detail)                                           \
  do {                                                                     \
    if (!(cond)) ::korva_fuzz::checkFailed(__FILE__, __LINE__, #cond, (detail)); \
  } while (0)

class FuzzInput {
 public:
  FuzzInput(const uint8_t* data, size_t size) : data_(data), size_(size) {}

  bool empty() const { return pos_ >= size_; }
  size_t remaining() const { return size_ - pos_; }
  // The next byte, or 0 at the end.
  uint8_t byte();
  // A number in [0, bound) taken from one or two bytes; 0 for bound 0.
  int below(int bound);
  // Up to maxLength bytes: a length byte, then that many bytes.
  std::string text(size_t maxLength);
  // Everything left.
  std::string rest();

 private:
  const uint8_t* data_;
  size_t size_;
  size_t pos_ = 0;
};

// Decodes UTF-8; a byte that starts no valid sequence stands for itself
// (as U+0000..U+00FF), so every input gives some text.
std::wstring decodeUtf8Lenient(const std::string& bytes);

// A readable rendering of bytes for failure messages.
std::string printable(const std::string& bytes);
std::string printable(const std::wstring& text);

}  // namespace korva_fuzz

#endif  // KORVA_FUZZ_FUZZ_UTIL_H_
