// Fuzz target: the string family. The input is a program for a small
// interpreter over four SAnsiString and four SWCharString slots: assign,
// construct with a count, copy (so that slots share blocks), append
// (also a value to itself and text from its own block), insertAt, deleteAt,
// setAt, trim, makeUpper/makeLower, left/right/mid, find, comparisons,
// conversions between the two kinds and copyTo.
//
// The first byte chooses the mode. In the model mode every 8-bit text is
// ASCII, so that characters are bytes, and every slot is checked after every
// step against a std::string / std::wstring model of the plain behaviour. In
// the free mode texts are any bytes (in the "C" or the UTF-8 locale); steps
// whose effect depends on how the locale walks characters are checked for
// what holds anyway (sizes, substrings) and the model takes the result over.
// In both modes a change must never show in another slot (copy on write),
// and every block keeps its terminator and its used count below capacity.
#include <algorithm>
#include <clocale>
#include <cstring>
#include <cwctype>
#include <string>
#include <vector>

#include "fuzz/fuzz_util.h"
#include "support/mbcs.h"
#include "support/sstring.h"

namespace {

using korva_fuzz::FuzzInput;
using korva_fuzz::printable;

constexpr int kSlots = 4;
// Slots are emptied beyond this size so that self-appends cannot grow
// without bound.
constexpr int kMaxBytes = 4096;

struct State {
  bool modelMode = true;
  SAnsiString a[kSlots];
  std::string m[kSlots];
  SWCharString w[kSlots];
  std::wstring wm[kSlots];
  int step = 0;
};

std::string where(const State& s, int slot) {
  return "step " + std::to_string(s.step) + ", slot " + std::to_string(slot);
}

// An 8-bit text from the input: ASCII without zero bytes in the model mode,
// any bytes but zero in the free mode (a zero ends a terminated text).
std::string takeText(State& s, FuzzInput& in, size_t max = 24) {
  std::string t = in.text(max);
  for (char& c : t) {
    if (s.modelMode) c = static_cast<char>((static_cast<unsigned char>(c) % 127) + 1);
    if (c == 0) c = 'z';
  }
  return t;
}

// Wide text from a small alphabet with ASCII, Latin and Greek letters,
// blanks of both kinds and, in the free mode, surrogates and values that
// no encoding holds.
std::wstring takeWide(State& s, FuzzInput& in) {
  static const wchar_t kAlphabet[] = {L'a', L'B', L'z', L' ', L'\t', L'\n', L'-', L'0',
                                      0x00E9, 0x00DF, 0x03A3, 0x03C3, 0x00A0, 0x3000, 0xFB00,
                                      0x1F600};
  static const wchar_t kHostile[] = {0xD800, 0xDFFF, 0x110000, 0x7FFFFFFF};
  size_t n = in.byte() % 20;
  std::wstring t;
  for (size_t i = 0; i < n && !in.empty(); ++i) {
    uint8_t b = in.byte();
    if (!s.modelMode && b >= 250) {
      t.push_back(kHostile[b % 4]);
    } else {
      t.push_back(kAlphabet[b % (sizeof kAlphabet / sizeof kAlphabet[0])]);
    }
  }
  return t;
}

std::string bytesOf(const SAnsiString& v) { return std::string(v.getBuffer(), v.getNBytes()); }
std::wstring unitsOf(const SWCharString& v) {
  return std::wstring(v.getBuffer(), static_cast<size_t>(v.getNBytes()));
}

// The text up to its first zero byte: what a terminated-text operation sees.
std::string terminated(const std::string& t) { return t.substr(0, t.find('\0')); }

void checkBlock(const SAnsiString& v, const std::string& where) {
  const int used = v.getNBytes();
  FUZZ_CHECK(used >= 0, where);
  if (v.capacity() == -1) {
    FUZZ_CHECK(used == 0, where + ": a static block with text");
  } else {
    FUZZ_CHECK(used < v.capacity(), where + ": used " + std::to_string(used) + " >= capacity");
  }
  FUZZ_CHECK(v.getBuffer()[used] == '\0', where + ": no terminator");
}

void checkBlock(const SWCharString& v, const std::string& where) {
  const int used = v.getNBytes();
  FUZZ_CHECK(used >= 0, where);
  if (v.capacity() == -1) {
    FUZZ_CHECK(used == 0, where + ": a static block with text");
  } else {
    FUZZ_CHECK(used < v.capacity(), where + ": used >= capacity");
  }
  FUZZ_CHECK(v.getBuffer()[used] == L'\0', where + ": no terminator");
}

void checkAll(const State& s) {
  for (int i = 0; i < kSlots; ++i) {
    checkBlock(s.a[i], where(s, i));
    FUZZ_CHECK(bytesOf(s.a[i]) == s.m[i],
               where(s, i) + ": " + printable(bytesOf(s.a[i])) + " but model " + printable(s.m[i]));
    if (s.modelMode) {
      FUZZ_CHECK(s.a[i].getNChars() == static_cast<int>(terminated(s.m[i]).size()),
                 where(s, i) + ": getNChars " + std::to_string(s.a[i].getNChars()));
    }
    checkBlock(s.w[i], where(s, i) + " (wide)");
    FUZZ_CHECK(unitsOf(s.w[i]) == s.wm[i], where(s, i) + " (wide): " + printable(unitsOf(s.w[i])) +
                                               " but model " + printable(s.wm[i]));
  }
}

int sign(int v) { return (v > 0) - (v < 0); }

std::string lowerAscii(std::string t) {
  for (char& c : t) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return t;
}

// Model positions: a character index clamped into the text.
size_t clampIndex(int i, size_t size) {
  if (i < 0) return 0;
  return std::min(static_cast<size_t>(i), size);
}

std::wstring trimWide(std::wstring t, bool left, bool right) {
  auto space = [](wchar_t c) { return mbcs::isWhiteSpace(c); };
  if (right) {
    while (!t.empty() && space(t.back())) t.pop_back();
  }
  if (left) {
    size_t k = 0;
    while (k < t.size() && space(t[k])) ++k;
    t.erase(0, k);
  }
  return t;
}

void ansiStep(State& s, FuzzInput& in, int op) {
  const int i = in.below(kSlots);
  const int j = in.below(kSlots);
  SAnsiString& a = s.a[i];
  std::string& m = s.m[i];
  const int size = static_cast<int>(m.size());
  switch (op) {
    case 0: {  // assign terminated text
      std::string t = takeText(s, in);
      a = t.c_str();
      m = t;
      break;
    }
    case 1: {  // construct from text and a count of units
      std::string t = takeText(s, in);
      int count = in.below(static_cast<int>(t.size()) + 8);
      a = SAnsiString(t.c_str(), count);
      std::string expected = t.substr(0, std::min<size_t>(t.size(), count));
      expected.resize(static_cast<size_t>(count), '\0');
      FUZZ_CHECK(bytesOf(a) == expected, where(s, i) + ": counted construction");
      if (s.modelMode) {
        // The model mode keeps terminated texts only.
        a = SAnsiString(a.getBuffer());
        expected = terminated(expected);
      }
      m = expected;
      break;
    }
    case 2:  // copy: the two slots share a block
      s.a[j] = a;
      s.m[j] = m;
      break;
    case 3:  // append a value, possibly itself
      if (size + static_cast<int>(s.m[j].size()) > kMaxBytes) break;
      a += s.a[j];
      m += s.m[j];
      break;
    case 4: {  // append terminated text, or a single character
      std::string t = takeText(s, in);
      if (in.byte() & 1) {
        a += t.c_str();
        m += t;
      } else if (!t.empty()) {
        a += t[0];
        m += t[0];
      }
      break;
    }
    case 5: {  // append part of the value's own block
      const int off = in.below(size + 1);
      const int n = in.below(size - off + 2);
      const std::string part = terminated(m.substr(static_cast<size_t>(off))).substr(
          0, static_cast<size_t>(std::max(n, 0)));
      a.append(a.getBuffer() + off, n);
      m += part;
      break;
    }
    case 6: {  // assign text that lies in the value's own block
      const int off = in.below(size + 1);
      a = a.getBuffer() + off;
      // Its own characters (off 0) change nothing.
      if (off != 0) m = terminated(m.substr(static_cast<size_t>(off)));
      break;
    }
    case 7: {  // insertAt a value, possibly itself
      if (size + static_cast<int>(s.m[j].size()) > kMaxBytes) break;
      const int at = in.below(size + 6) - 3;
      const std::string inserted = s.m[j];
      a.insertAt(at, s.a[j]);
      if (s.modelMode) {
        if (!inserted.empty()) m.insert(clampIndex(at, m.size()), inserted);
      } else {
        FUZZ_CHECK(a.getNBytes() == size + static_cast<int>(inserted.size()), where(s, i));
        m = bytesOf(a);
      }
      break;
    }
    case 8: {  // insertAt a character
      std::string t = takeText(s, in, 6);
      SAnsiChar c(t.c_str());
      const int at = in.below(size + 6) - 3;
      a.insertAt(at, c);
      if (s.modelMode) {
        if (!t.empty()) m.insert(clampIndex(at, m.size()), 1, t[0]);
      } else {
        m = bytesOf(a);
      }
      break;
    }
    case 9: {  // deleteAt
      const int at = in.below(size + 6) - 3;
      const int n = in.below(size + 6) - 3;
      a.deleteAt(at, n);
      if (s.modelMode) {
        if (at >= 0 && n > 0 && at < size) m.erase(static_cast<size_t>(at), static_cast<size_t>(n));
      } else {
        FUZZ_CHECK(a.getNBytes() <= size, where(s, i) + ": deleteAt grew the text");
        m = bytesOf(a);
      }
      break;
    }
    case 10: {  // setAt
      std::string t = takeText(s, in, 6);
      SAnsiChar c(t.c_str());
      const int at = in.below(size + 6) - 3;
      a.setAt(at, c);
      if (s.modelMode) {
        if (at >= 0 && at < size && !t.empty()) m[static_cast<size_t>(at)] = t[0];
      } else {
        m = bytesOf(a);
      }
      break;
    }
    case 11: {  // trimming
      const int kind = in.below(3);
      if (kind == 0) a.trimLeft();
      if (kind == 1) a.trimRight();
      if (kind == 2) a.trim();
      if (s.modelMode) {
        const char* blanks = " \t\n\v\f\r";
        if (kind != 0) {
          size_t e = m.find_last_not_of(blanks);
          m = e == std::string::npos ? std::string() : m.substr(0, e + 1);
        }
        if (kind != 1) {
          size_t b = m.find_first_not_of(blanks);
          m = b == std::string::npos ? std::string() : m.substr(b);
        }
      } else {
        FUZZ_CHECK(a.getNBytes() <= size, where(s, i) + ": trimming grew the text");
        FUZZ_CHECK(m.find(bytesOf(a)) != std::string::npos, where(s, i) + ": trim result");
        m = bytesOf(a);
      }
      break;
    }
    case 12: {  // case mapping
      const bool upper = in.byte() & 1;
      if (upper) a.makeUpper();
      else a.makeLower();
      if (s.modelMode) {
        for (char& c : m) {
          c = static_cast<char>(upper ? std::toupper(static_cast<unsigned char>(c))
                                      : std::tolower(static_cast<unsigned char>(c)));
        }
      } else {
        m = bytesOf(a);
      }
      break;
    }
    case 13: {  // left, right, mid into another slot
      const int kind = in.below(4);
      const int p = in.below(size + 6) - 3;
      const int n = in.below(size + 6) - 3;
      SAnsiString r = kind == 0 ? a.left(p) : kind == 1 ? a.right(p) : kind == 2 ? a.mid(p)
                                                                      : a.mid(p, n);
      const std::string text = terminated(m);
      const int chars = static_cast<int>(text.size());
      std::string expected;
      if (s.modelMode) {
        if (kind == 0) expected = p <= 0 ? "" : text.substr(0, static_cast<size_t>(p));
        if (kind == 1) expected = p >= chars ? m : p <= 0 ? "" : text.substr(chars - p);
        if (kind == 2) expected = text.substr(clampIndex(p, text.size()));
        if (kind == 3) {
          expected = n <= 0 ? "" : text.substr(clampIndex(p, text.size()), static_cast<size_t>(n));
        }
        FUZZ_CHECK(bytesOf(r) == expected, where(s, i) + ": left/right/mid kind " +
                                               std::to_string(kind) + " gave " + printable(bytesOf(r)));
      } else {
        FUZZ_CHECK(r.getNBytes() <= size, where(s, i) + ": a part longer than the whole");
        FUZZ_CHECK(m.find(bytesOf(r)) != std::string::npos, where(s, i) + ": not a part");
      }
      checkBlock(r, where(s, i) + " part");
      s.a[j] = r;
      s.m[j] = bytesOf(r);
      break;
    }
    case 14: {  // searching
      std::string t = takeText(s, in, 4);
      const std::string text = terminated(m);
      const int found = a.findString(t.c_str());
      if (s.modelMode) {
        size_t e = text.find(t);
        FUZZ_CHECK(found == (e == std::string::npos ? SAnsiString::npos : static_cast<int>(e)),
                   where(s, i) + ": findString " + printable(t));
        if (!t.empty()) {
          size_t f = text.find(t[0]);
          size_t r = text.rfind(t[0]);
          FUZZ_CHECK(a.find(SAnsiChar(t[0])) ==
                         (f == std::string::npos ? SAnsiString::npos : static_cast<int>(f)),
                     where(s, i) + ": find");
          FUZZ_CHECK(a.reverseFind(SAnsiChar(t[0])) ==
                         (r == std::string::npos ? SAnsiString::npos : static_cast<int>(r)),
                     where(s, i) + ": reverseFind");
        }
      } else {
        FUZZ_CHECK(found == SAnsiString::npos || (found >= 0 && found <= size), where(s, i));
        (void)a.find(SAnsiChar(t.c_str()));
        (void)a.reverseFind(SAnsiChar(t.c_str()));
        (void)a.getAt(in.below(size + 4) - 2);
        (void)a.getNChars();
      }
      break;
    }
    case 15: {  // comparisons
      const int c = a.compare(s.a[j].getBuffer());
      const int ci = SAnsiStringCI(a).compare(s.a[j].getBuffer());
      FUZZ_CHECK(sign(c) == -sign(s.a[j].compare(a.getBuffer())), where(s, i) + ": not antisymmetric");
      if (s.modelMode) {
        const std::string x = terminated(m);
        const std::string y = terminated(s.m[j]);
        FUZZ_CHECK(sign(c) == sign(x.compare(y)), where(s, i) + ": compare");
        FUZZ_CHECK(ci == sign(lowerAscii(x).compare(lowerAscii(y))), where(s, i) + ": compare CI");
      }
      FUZZ_CHECK(ci >= -1 && ci <= 1, where(s, i));
      break;
    }
    case 16: {  // makeWritable keeps the text
      a.makeWritable(in.below(300) - 20);
      break;
    }
    case 17: {  // copyTo an 8-bit and a wide buffer of a chosen size
      const int bytes = in.below(size + 8);
      std::vector<char> buffer(static_cast<size_t>(bytes) + 1, 'x');
      const int r = a.copyTo(buffer.data(), bytes);
      if (bytes < size + 1) {
        FUZZ_CHECK(r == -1, where(s, i) + ": copyTo into a short buffer");
      } else {
        FUZZ_CHECK(r == size + 1 && std::memcmp(buffer.data(), m.data(), m.size() + 1) == 0,
                   where(s, i) + ": copyTo");
      }
      const int units = in.below(size + 4);
      std::vector<wchar_t> wide(static_cast<size_t>(units));
      const int wr = a.copyTo(wide.data(), units * static_cast<int>(sizeof(wchar_t)));
      FUZZ_CHECK(wr == -1 || (wr >= 1 && wr <= units && wide[static_cast<size_t>(wr - 1)] == 0),
                 where(s, i) + ": wide copyTo answered " + std::to_string(wr));
      break;
    }
    case 18: {  // sizes
      FUZZ_CHECK(a.getAnsiSize() == size + 1, where(s, i));
      const int ws = a.getWideSize();
      if (s.modelMode) {
        FUZZ_CHECK(ws == static_cast<int>((terminated(m).size() + 1) * sizeof(wchar_t)),
                   where(s, i) + ": getWideSize");
      }
      long value = 0;
      (void)a.toInteger(&value, in.below(37));
      break;
    }
    default:
      break;
  }
  if (static_cast<int>(s.m[i].size()) > kMaxBytes) {
    s.a[i] = SAnsiString();
    s.m[i].clear();
  }
}

void wideStep(State& s, FuzzInput& in, int op) {
  const int i = in.below(kSlots);
  const int j = in.below(kSlots);
  SWCharString& w = s.w[i];
  std::wstring& m = s.wm[i];
  const int size = static_cast<int>(m.size());
  switch (op) {
    case 0: {
      std::wstring t = takeWide(s, in);
      w = t.c_str();
      m = t;
      break;
    }
    case 1:
      s.w[j] = w;
      s.wm[j] = m;
      break;
    case 2:
      if (size + static_cast<int>(s.wm[j].size()) > kMaxBytes) break;
      w += s.w[j];
      m += s.wm[j];
      break;
    case 3: {
      if (size + static_cast<int>(s.wm[j].size()) > kMaxBytes) break;
      const int at = in.below(size + 6) - 3;
      const std::wstring inserted = s.wm[j];
      w.insertAt(at, s.w[j]);
      if (!inserted.empty()) m.insert(clampIndex(at, m.size()), inserted);
      break;
    }
    case 4: {
      const int at = in.below(size + 6) - 3;
      const int n = in.below(size + 6) - 3;
      w.deleteAt(at, n);
      if (at >= 0 && n > 0 && at < size) m.erase(static_cast<size_t>(at), static_cast<size_t>(n));
      break;
    }
    case 5: {
      std::wstring t = takeWide(s, in);
      const int at = in.below(size + 6) - 3;
      const wchar_t c = t.empty() ? L'q' : t[0];
      w.setAt(at, c);
      if (at >= 0 && at < size) m[static_cast<size_t>(at)] = c;
      break;
    }
    case 6: {
      const int kind = in.below(3);
      if (kind == 0) w.trimLeft();
      if (kind == 1) w.trimRight();
      if (kind == 2) w.trim();
      m = trimWide(m, kind != 1, kind != 0);
      break;
    }
    case 7: {
      const bool upper = in.byte() & 1;
      if (upper) w.makeUpper();
      else w.makeLower();
      for (wchar_t& c : m) {
        c = static_cast<wchar_t>(upper ? std::towupper(static_cast<wint_t>(c))
                                       : std::towlower(static_cast<wint_t>(c)));
      }
      break;
    }
    case 8: {
      const int kind = in.below(4);
      const int p = in.below(size + 6) - 3;
      const int n = in.below(size + 6) - 3;
      SWCharString r = kind == 0 ? w.left(p) : kind == 1 ? w.right(p) : kind == 2 ? w.mid(p)
                                                                      : w.mid(p, n);
      std::wstring expected;
      if (kind == 0) expected = p <= 0 ? L"" : m.substr(0, static_cast<size_t>(p));
      if (kind == 1) expected = p >= size ? m : p <= 0 ? L"" : m.substr(size - p);
      if (kind == 2) expected = m.substr(clampIndex(p, m.size()));
      if (kind == 3) expected = n <= 0 ? L"" : m.substr(clampIndex(p, m.size()), static_cast<size_t>(n));
      FUZZ_CHECK(unitsOf(r) == expected, where(s, i) + " (wide): part kind " + std::to_string(kind));
      s.w[j] = r;
      s.wm[j] = expected;
      break;
    }
    case 9: {  // wide to 8-bit and back
      const std::string before = s.m[j];
      const bool ok = s.a[j].assign(w.getBuffer());
      if (!ok) {
        FUZZ_CHECK(bytesOf(s.a[j]) == before, where(s, j) + ": a failed conversion changed the value");
      } else {
        s.m[j] = bytesOf(s.a[j]);
        SWCharString back;
        FUZZ_CHECK(back.assign(s.a[j].getBuffer()), where(s, j) + ": converted text does not convert back");
        FUZZ_CHECK(unitsOf(back) == m, where(s, j) + ": round trip through 8-bit text");
        if (s.modelMode && !std::all_of(s.m[j].begin(), s.m[j].end(),
                                        [](char c) { return (c & 0x80) == 0; })) {
          // The model mode keeps its 8-bit slots ASCII.
          s.a[j] = SAnsiString();
          s.m[j].clear();
        }
      }
      break;
    }
    case 10: {  // 8-bit to wide
      const std::wstring before = s.wm[j];
      const bool ok = s.w[j].assign(s.a[i].getBuffer());
      if (!ok) {
        FUZZ_CHECK(unitsOf(s.w[j]) == before, where(s, j) + ": a failed conversion changed the value");
      } else {
        s.wm[j] = unitsOf(s.w[j]);
        if (s.modelMode) {
          const std::string t = terminated(s.m[i]);
          FUZZ_CHECK(s.wm[j] == std::wstring(t.begin(), t.end()), where(s, j) + ": ASCII to wide");
        }
      }
      break;
    }
    case 11: {
      const wchar_t c = takeWide(s, in).c_str()[0];
      const size_t f = m.find(c);
      const size_t r = m.rfind(c);
      if (c != 0) {
        FUZZ_CHECK(w.find(c) == (f == std::wstring::npos ? SWCharString::npos : static_cast<int>(f)),
                   where(s, i) + " (wide): find");
        FUZZ_CHECK(w.reverseFind(c) ==
                       (r == std::wstring::npos ? SWCharString::npos : static_cast<int>(r)),
                   where(s, i) + " (wide): reverseFind");
      }
      const std::wstring t = takeWide(s, in);
      const size_t e = m.find(t);
      FUZZ_CHECK(w.findString(t.c_str()) ==
                     (e == std::wstring::npos ? SWCharString::npos : static_cast<int>(e)),
                 where(s, i) + " (wide): findString");
      break;
    }
    case 12: {
      const int bytes = in.below(4 * size + 16);
      std::vector<char> buffer(static_cast<size_t>(bytes) + 1);
      const int r = w.copyTo(buffer.data(), bytes);
      FUZZ_CHECK(r == -1 || (r >= 1 && r <= bytes && buffer[static_cast<size_t>(r - 1)] == 0),
                 where(s, i) + " (wide): copyTo answered " + std::to_string(r));
      (void)w.getAnsiSize();
      (void)w.getWideSize();
      break;
    }
    default:
      break;
  }
  if (static_cast<int>(s.wm[i].size()) > kMaxBytes) {
    s.w[i] = SWCharString();
    s.wm[i].clear();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const uint8_t mode = in.byte();
  State s;
  s.modelMode = !(mode & 1);
  std::setlocale(LC_CTYPE, (!s.modelMode && (mode & 2)) ? "C" : "C.UTF-8");
  while (!in.empty() && s.step < 200) {
    ++s.step;
    const uint8_t op = in.byte();
    if (op < 160) {
      ansiStep(s, in, op % 19);
    } else {
      wideStep(s, in, op % 13);
    }
    checkAll(s);
  }
  return 0;
}
