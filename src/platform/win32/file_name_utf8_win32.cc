// A Windows file name between the file functions' code page (the ANSI one
// unless SetFileApisToOEM changed it) and UTF-8, through UTF-16.
//
// Thread-safety: pure functions.
#include <vector>

#include "platform/file_name_utf8.h"
#include "platform/win32/windows_api.h"

namespace korva {
namespace {

// By number, so that a code page that is UTF-8 itself is known as such.
UINT fileCodePage() { return AreFileApisANSI() ? GetACP() : GetOEMCP(); }

// Text of one code page in another, through UTF-16; false when a character
// does not convert exactly.
bool convert(UINT from, UINT to, const std::string& in, std::string* out) {
  if (in.empty()) {
    out->clear();
    return true;
  }
  const int length = static_cast<int>(in.size());
  const int units = MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in.data(), length, nullptr, 0);
  if (units <= 0) return false;
  std::vector<wchar_t> wide(static_cast<size_t>(units));
  if (MultiByteToWideChar(from, MB_ERR_INVALID_CHARS, in.data(), length, wide.data(), units) !=
      units) {
    return false;
  }
  // UTF-8 takes neither flag nor default-character check; every other code
  // page is asked for exact characters only (no best-fit look-alikes).
  const bool utf8 = to == CP_UTF8;
  BOOL usedDefault = FALSE;
  const DWORD flags = utf8 ? 0 : WC_NO_BEST_FIT_CHARS;
  BOOL* defaultUsed = utf8 ? nullptr : &usedDefault;
  const int bytes =
      WideCharToMultiByte(to, flags, wide.data(), units, nullptr, 0, nullptr, defaultUsed);
  if (bytes <= 0 || usedDefault) return false;
  std::string result(static_cast<size_t>(bytes), '\0');
  if (WideCharToMultiByte(to, flags, wide.data(), units, &result[0], bytes, nullptr, defaultUsed) !=
          bytes ||
      usedDefault) {
    return false;
  }
  *out = std::move(result);
  return true;
}

}  // namespace

bool fileNameAsUtf8(const std::string& local, std::string* utf8) {
  return convert(fileCodePage(), CP_UTF8, local, utf8);
}

bool fileNameFromUtf8(const std::string& utf8, std::string* local) {
  return convert(CP_UTF8, fileCodePage(), utf8, local);
}

}  // namespace korva
