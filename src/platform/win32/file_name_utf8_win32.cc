// A Windows file name from the file functions' code page (the ANSI one
// unless SetFileApisToOEM changed it) to UTF-16, and from there to UTF-8.
//
// Thread-safety: a pure function.
#include <vector>

#include "platform/file_name_utf8.h"
#include "platform/win32/windows_api.h"

namespace korva {

bool fileNameAsUtf8(const std::string& local, std::string* utf8) {
  if (local.empty()) {
    utf8->clear();
    return true;
  }
  const UINT codePage = AreFileApisANSI() ? CP_ACP : CP_OEMCP;
  const int length = static_cast<int>(local.size());
  const int units =
      MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, local.data(), length, nullptr, 0);
  if (units <= 0) return false;
  std::vector<wchar_t> wide(static_cast<size_t>(units));
  if (MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, local.data(), length, wide.data(),
                          units) != units) {
    return false;
  }
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return false;
  std::string out(static_cast<size_t>(bytes), '\0');
  if (WideCharToMultiByte(CP_UTF8, 0, wide.data(), units, &out[0], bytes, nullptr, nullptr) !=
      bytes) {
    return false;
  }
  *utf8 = std::move(out);
  return true;
}

}  // namespace korva
