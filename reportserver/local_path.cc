// Local paths through the C library's multibyte conversion (the inverse of
// what the client did), one character at a time with an explicit state.
#include "reportserver/local_path.h"

#include <climits>
#include <cwchar>
#include <utility>

#include "reportserver/utf8.h"

namespace korva {

bool localPathFromWide(const std::wstring& wide, std::string* out) {
  std::string local;
  std::mbstate_t state{};
  char buffer[MB_LEN_MAX];
  for (wchar_t c : wide) {
    if (c == L'\0') return false;
    size_t n = std::wcrtomb(buffer, c, &state);
    if (n == static_cast<size_t>(-1)) return false;
    local.append(buffer, n);
  }
  // A stateful encoding ends in its initial shift state.
  size_t n = std::wcrtomb(buffer, L'\0', &state);
  if (n == static_cast<size_t>(-1)) return false;
  if (n > 1) local.append(buffer, n - 1);
  *out = std::move(local);
  return true;
}

std::string localPathAsUtf8(const std::string& path) {
  std::wstring wide;
  std::mbstate_t state{};
  size_t i = 0;
  while (i < path.size()) {
    wchar_t c = 0;
    size_t n = std::mbrtowc(&c, path.data() + i, path.size() - i, &state);
    if (n == static_cast<size_t>(-1) || n == static_cast<size_t>(-2)) {
      wide.push_back(static_cast<wchar_t>(0xFFFD));
      state = std::mbstate_t{};
      ++i;
      continue;
    }
    wide.push_back(c);
    i += n == 0 ? 1 : n;  // 0: a null byte
  }
  return toUtf8(wide);
}

}  // namespace korva
