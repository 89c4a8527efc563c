// Byte-to-character tables of single-byte encodings, built with the C
// library's iconv, for expat's unknown-encoding handler (see the header).
// Each byte is converted on its own from the converter's initial state into
// UTF-32LE, then the converter is flushed: some converters (windows-1255,
// windows-1258) hold a character back to combine it with the next one.
//
// Thread-safety: no shared state; a converter lives for one table.
// Ownership: the converter is closed by its owner on every path.
#include "platform/posix/expat_encodings.h"

#include <iconv.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace korva {
namespace posix {
namespace {

constexpr size_t kMaxNameLength = 64;
constexpr size_t kUtf32Bytes = 4;

// Letters, digits, '.', '_' and '-', as an encoding declaration writes a
// name; anything else (a converter option such as "//TRANSLIT") is refused.
bool isEncodingName(const char* name) {
  size_t length = 0;
  for (const char* c = name; *c; ++c) {
    if (++length > kMaxNameLength) return false;
    const unsigned char u = static_cast<unsigned char>(*c);
    const bool allowed = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') ||
                         (u >= '0' && u <= '9') || u == '.' || u == '_' || u == '-';
    if (!allowed) return false;
  }
  return length > 0;
}

// Owns an iconv converter from the named encoding to UTF-32LE.
class Converter {
 public:
  explicit Converter(const char* from) : cd_(iconv_open("UTF-32LE", from)) {}
  ~Converter() {
    if (valid()) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

enum class ByteMeaning { Character, Undefined, NotSingleByte };

ByteMeaning convertByte(iconv_t cd, unsigned char byte, int* value) {
  iconv(cd, nullptr, nullptr, nullptr, nullptr);  // back to the initial state
  char in = static_cast<char>(byte);
  char* inPtr = &in;
  size_t inLeft = 1;
  // Room for several characters, so that a byte standing for more than one
  // is seen as such rather than as a full buffer.
  char out[4 * kUtf32Bytes];
  char* outPtr = out;
  size_t outLeft = sizeof out;
  if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
    // EILSEQ: the encoding leaves the byte undefined. EINVAL: the byte only
    // starts a longer sequence.
    return errno == EILSEQ ? ByteMeaning::Undefined : ByteMeaning::NotSingleByte;
  }
  if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
    return ByteMeaning::NotSingleByte;
  }
  // A byte taken without a character out (a shift into another state), or
  // standing for several characters, is not a single-byte encoding.
  if (inLeft != 0 || static_cast<size_t>(outPtr - out) != kUtf32Bytes) {
    return ByteMeaning::NotSingleByte;
  }
  const unsigned char* u = reinterpret_cast<const unsigned char*>(out);
  const uint32_t code = static_cast<uint32_t>(u[0]) | static_cast<uint32_t>(u[1]) << 8 |
                        static_cast<uint32_t>(u[2]) << 16 | static_cast<uint32_t>(u[3]) << 24;
  if (code > 0x10FFFF) return ByteMeaning::NotSingleByte;
  *value = static_cast<int>(code);
  return ByteMeaning::Character;
}

}  // namespace

bool buildSingleByteTable(const char* name, int (&map)[256]) {
  if (!name || !isEncodingName(name)) return false;
  Converter converter(name);
  if (!converter.valid()) return false;
  int table[256];
  for (int byte = 0; byte < 256; ++byte) {
    int value = -1;
    switch (convertByte(converter.get(), static_cast<unsigned char>(byte), &value)) {
      case ByteMeaning::Character:
        table[byte] = value;
        break;
      case ByteMeaning::Undefined:
        table[byte] = -1;  // expat's mark of a byte that never appears
        break;
      case ByteMeaning::NotSingleByte:
        return false;
    }
  }
  std::memcpy(map, table, sizeof table);
  return true;
}

int XMLCALL onUnknownEncoding(void*, const XML_Char* name, XML_Encoding* info) {
  if (!info || !buildSingleByteTable(name, info->map)) return XML_STATUS_ERROR;
  info->data = nullptr;
  info->convert = nullptr;
  info->release = nullptr;
  return XML_STATUS_OK;
}

}  // namespace posix
}  // namespace korva
