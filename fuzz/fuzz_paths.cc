// Fuzz target: the path helpers and the tokenizer. From the input come a
// path, the parts of a path to build, a separator and a text to split; the
// first byte chooses the locale.
//
// Expectations, each against a plain model: splitPath (both forms) cuts at
// the last "/" and at the last "." after it, the buffer form never writes
// past its buffers and cuts only what does not fit; makePath, joinPath and
// the separator helpers build what their rules say; SStrTok hands out tokens
// that, joined with the separator, give back the text (a separator at the
// very end is dropped), and with ASCII text exactly the tokens of a plain
// split.
#include <clocale>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_util.h"
#include "support/path_util.h"
#include "support/str_tok.h"

namespace {

using korva_fuzz::printable;

std::string takeText(korva_fuzz::FuzzInput& in, size_t max) {
  std::string t = in.text(max);
  for (char& c : t) {
    if (c == 0) c = '/';
  }
  return t;
}

bool isAscii(const std::string& t) {
  for (unsigned char c : t) {
    if (c >= 0x80) return false;
  }
  return true;
}

void checkSplit(const std::string& path) {
  const size_t slash = path.rfind('/');
  const size_t dirEnd = slash == std::string::npos ? 0 : slash + 1;
  const size_t dot = path.rfind('.');
  const size_t nameEnd = dot == std::string::npos || dot < dirEnd ? path.size() : dot;
  const std::string dir = path.substr(0, dirEnd);
  const std::string name = path.substr(dirEnd, nameEnd - dirEnd);
  const std::string ext = path.substr(nameEnd);

  // The buffer form, in buffers of exactly the documented sizes.
  std::vector<char> drive(kMaxDrive, 'x'), dirBuf(kMaxDir, 'x'), nameBuf(kMaxFname, 'x'),
      extBuf(kMaxExt, 'x');
  splitPath(path.c_str(), drive.data(), dirBuf.data(), nameBuf.data(), extBuf.data());
  FUZZ_CHECK(drive[0] == '\0', "drive");
  struct Part {
    const std::vector<char>& buffer;
    const std::string& expected;
    const char* what;
  } parts[] = {{dirBuf, dir, "dir"}, {nameBuf, name, "name"}, {extBuf, ext, "ext"}};
  for (const Part& part : parts) {
    const void* end = std::memchr(part.buffer.data(), 0, part.buffer.size());
    FUZZ_CHECK(end != nullptr, std::string(part.what) + " buffer not terminated");
    const std::string got(part.buffer.data());
    if (part.expected.size() < part.buffer.size()) {
      FUZZ_CHECK(got == part.expected, std::string(part.what) + " of " + printable(path) + ": " +
                                           printable(got));
    } else {
      FUZZ_CHECK(part.expected.compare(0, got.size(), got) == 0,
                 std::string(part.what) + ": a cut part is not a prefix");
    }
  }
  splitPath(path.c_str(), nullptr, nullptr, nullptr, nullptr);

  // The string form: dir is appended to, empty parts leave their strings.
  SAnsiString d("PRE"), n("N0"), e("E0");
  splitPath(SAnsiString(path.c_str()), nullptr, &d, &n, &e);
  FUZZ_CHECK(std::string(d.getBuffer()) == "PRE" + dir, "dir of " + printable(path));
  FUZZ_CHECK(std::string(n.getBuffer()) == (name.empty() ? "N0" : name), "name of " + printable(path));
  FUZZ_CHECK(std::string(e.getBuffer()) == (ext.empty() ? "E0" : ext), "ext of " + printable(path));
  // The output may be the path itself.
  SAnsiString self(path.c_str());
  splitPath(self, nullptr, nullptr, &self, nullptr);
  FUZZ_CHECK(std::string(self.getBuffer()) == (name.empty() ? path : name), "split into itself");
}

void checkBuild(const std::string& dir, const std::string& name, const std::string& ext) {
  std::string expected = dir;
  if (!dir.empty() && dir.back() != '/') expected += '/';
  expected += name;
  if (!ext.empty()) {
    if (ext[0] != '.') expected += '.';
    expected += ext;
  }
  SAnsiString built = makePath(nullptr, dir.c_str(), name.c_str(), ext.c_str());
  FUZZ_CHECK(expected == built.getBuffer(), "makePath " + printable(built.getBuffer()));
  (void)makePath("C:", nullptr, nullptr, nullptr);

  std::string joined;
  if (dir.empty()) {
    joined = name;
  } else {
    size_t keep = dir.find_last_not_of('/');
    joined = (keep == std::string::npos ? std::string() : dir.substr(0, keep + 1)) + "/";
    size_t from = name.find_first_not_of('/');
    joined += from == std::string::npos ? std::string() : name.substr(from);
  }
  SAnsiString j = joinPath(SAnsiString(dir.c_str()), SAnsiString(name.c_str()));
  FUZZ_CHECK(joined == j.getBuffer(), "joinPath " + printable(dir) + " + " + printable(name) +
                                          " gave " + printable(j.getBuffer()));

  for (char c : {'/', '\\'}) {
    SAnsiString p(dir.c_str());
    ensureTrailingSeparator(p, c);
    std::string want = dir;
    if (!want.empty() && want.back() != c) want += c;
    FUZZ_CHECK(want == p.getBuffer(), "ensureTrailingSeparator");

    SAnsiString q(dir.c_str());
    removeTrailingSeparator(q, c);
    want = dir;
    if (want.size() >= 2 && want.back() == c && !(c == '\\' && want[want.size() - 2] == ':')) {
      want.pop_back();
    }
    FUZZ_CHECK(want == q.getBuffer(), "removeTrailingSeparator");

    SAnsiString r(dir.c_str());
    removeLeadingSeparator(r, c);
    want = dir;
    if (want.size() >= 2 && want[0] == c) want.erase(0, 1);
    FUZZ_CHECK(want == r.getBuffer(), "removeLeadingSeparator");
  }
}

void checkTokens(const std::string& text, const std::string& separator) {
  SStrTok tok(SAnsiString(text.c_str()), SAnsiString(separator.c_str()));
  std::vector<std::string> tokens;
  // Each token shortens the text, so this many rounds always suffice.
  for (size_t round = 0; round <= text.size() + 1; ++round) {
    if (tok.getRemaining().isEmpty()) break;
    tokens.emplace_back(tok.nextToken().getBuffer());
  }
  FUZZ_CHECK(tok.getRemaining().isEmpty(), "the tokenizer does not come to an end");
  FUZZ_CHECK(tok.nextToken().isEmpty(), "a token after the end");

  std::string joined;
  for (size_t i = 0; i < tokens.size(); ++i) {
    if (i) joined += separator;
    joined += tokens[i];
  }
  FUZZ_CHECK(joined == text || (!separator.empty() && joined + separator == text),
             "tokens of " + printable(text) + " at " + printable(separator) + " join to " +
                 printable(joined));

  if (isAscii(text) && isAscii(separator) && !separator.empty()) {
    std::vector<std::string> expected;
    size_t start = 0;
    while (start < text.size()) {
      size_t at = text.find(separator, start);
      if (at == std::string::npos) {
        expected.push_back(text.substr(start));
        break;
      }
      expected.push_back(text.substr(start, at - start));
      start = at + separator.size();
    }
    FUZZ_CHECK(tokens == expected, "tokens of " + printable(text));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  korva_fuzz::FuzzInput in(data, size);
  const uint8_t mode = in.byte();
  std::setlocale(LC_CTYPE, (mode & 1) ? "C" : "C.UTF-8");
  // Long paths reach past the 256-byte buffers of the split.
  const std::string path = (mode & 2) ? takeText(in, 255) + takeText(in, 255) : takeText(in, 64);
  const std::string dir = takeText(in, 32);
  const std::string name = takeText(in, 32);
  const std::string ext = takeText(in, 8);
  const std::string separator = takeText(in, 3);
  const std::string text = takeText(in, 64);

  checkSplit(path);
  checkBuild(dir, name, ext);
  checkTokens(text, separator);
  checkTokens(path, "/");
  return 0;
}
