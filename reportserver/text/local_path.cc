// Local paths through the platform's multibyte conversion (the inverse of
// what the client did: platform/crt_text.h).
#include "reportserver/text/local_path.h"

#include <utility>

#include "platform/crt_path.h"
#include "platform/crt_text.h"
#include "reportserver/text/utf8.h"

namespace korva {

bool localPathFromWide(const std::wstring& wide, std::string* out) {
  if (wide.find(L'\0') != std::wstring::npos) return false;
  const size_t bytes = crt::textFromWide(nullptr, wide.c_str(), 0);
  if (bytes == static_cast<size_t>(-1)) return false;
  std::string local(bytes + 1, '\0');
  if (crt::textFromWide(&local[0], wide.c_str(), bytes + 1) != bytes) return false;
  local.resize(bytes);
  *out = std::move(local);
  return true;
}

std::string localPathAsUtf8(const std::string& path) {
  std::wstring wide;
  size_t i = 0;
  while (i < path.size()) {
    const char* p = path.data() + i;
    const int n = crt::charLength(p, path.size() - i);
    wchar_t c = 0;
    if (n <= 0 || !crt::charToWide(p, static_cast<size_t>(n), &c)) {
      // A byte that starts no character, or a null byte.
      wide.push_back(n == 0 ? L'\0' : static_cast<wchar_t>(0xFFFD));
      ++i;
      continue;
    }
    wide.push_back(c);
    i += static_cast<size_t>(n);
  }
  return toUtf8(wide);
}

std::string localBaseName(const std::string& path) {
  const crt::PathParts parts = crt::splitPath(path.c_str());
  return parts.name + parts.ext;
}

}  // namespace korva
