// Fuzz target: CParamLineArgs over argument vectors and command lines. The
// input is split at its zero bytes into the elements of an argument vector
// (the first is the program name); the first byte chooses the locale and
// whether the elements are also joined into one command line for the
// single-string constructor.
//
// Expectations: the table holds each name once, every name is found at its
// own index with its own value, and the program name is the first element.
// When every byte is ASCII the table must equal that of a plain model of the
// rules: options start with "-", leading dashes go (an element of dashes only
// keeps them), the next element that is not an option is the value, and a
// repeated name (letter case aside) moves to the end with its last value.
#include <clocale>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz/fuzz_util.h"
#include "support/param_line_args.h"

namespace {

struct ModelTable {
  std::vector<std::string> names;
  std::vector<std::string> values;
};

std::string lowerAscii(std::string s) {
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

bool isOption(const std::string& e) { return !e.empty() && e[0] == '-'; }

ModelTable model(const std::vector<std::string>& elements) {
  ModelTable t;
  for (size_t i = 1; i < elements.size(); ++i) {
    if (!isOption(elements[i])) continue;
    size_t skip = elements[i].find_first_not_of('-');
    std::string name = skip == std::string::npos ? elements[i] : elements[i].substr(skip);
    std::string value;
    if (i + 1 < elements.size() && !isOption(elements[i + 1])) value = elements[++i];
    for (size_t k = 0; k < t.names.size(); ++k) {
      if (lowerAscii(t.names[k]) == lowerAscii(name)) {
        t.names.erase(t.names.begin() + static_cast<long>(k));
        t.values.erase(t.values.begin() + static_cast<long>(k));
        break;
      }
    }
    t.names.push_back(name);
    t.values.push_back(value);
  }
  return t;
}

void checkTable(const CParamLineArgs& args, const std::vector<std::string>& elements,
                bool ascii) {
  const std::string program = elements.empty() ? std::string() : elements[0];
  FUZZ_CHECK(program == args.getProgramName().getBuffer(), "program name");
  const int count = args.getCount();
  for (int i = 0; i < count; ++i) {
    const SAnsiStringCI& name = args.getNameAt(i);
    FUZZ_CHECK(args.indexOf(name) == i,
               "name " + korva_fuzz::printable(std::string(name.getBuffer())) + " at " +
                   std::to_string(i) + " is found at " + std::to_string(args.indexOf(name)));
    SAnsiString value("unchanged");
    FUZZ_CHECK(args.getValue(name, &value), "getValue of a stored name");
    FUZZ_CHECK(std::strcmp(value.getBuffer(), args.getValueAt(i).getBuffer()) == 0, "value");
  }
  if (!ascii) return;
  ModelTable t = model(elements);
  FUZZ_CHECK(static_cast<size_t>(count) == t.names.size(),
             "count " + std::to_string(count) + ", model " + std::to_string(t.names.size()));
  for (int i = 0; i < count; ++i) {
    FUZZ_CHECK(t.names[static_cast<size_t>(i)] == args.getNameAt(i).getBuffer(),
               "name " + std::to_string(i) + ": " + korva_fuzz::printable(t.names[i]));
    FUZZ_CHECK(t.values[static_cast<size_t>(i)] == args.getValueAt(i).getBuffer(),
               "value " + std::to_string(i) + ": " + korva_fuzz::printable(t.values[i]));
  }
  SAnsiString absent("unchanged");
  FUZZ_CHECK(args.getValue(SAnsiStringCI("\x7f-never-a-name"), &absent) ==
                 (args.indexOf(SAnsiStringCI("\x7f-never-a-name")) >= 0),
             "getValue and indexOf disagree");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  korva_fuzz::FuzzInput in(data, size);
  const uint8_t mode = in.byte();
  const std::string body = in.rest();
  std::setlocale(LC_CTYPE, (mode & 1) ? "C" : "C.UTF-8");

  std::vector<std::string> elements;
  size_t start = 0;
  while (start <= body.size() && !body.empty()) {
    size_t zero = body.find('\0', start);
    if (zero == std::string::npos) {
      elements.push_back(body.substr(start));
      break;
    }
    elements.push_back(body.substr(start, zero - start));
    start = zero + 1;
  }
  bool ascii = true;
  for (unsigned char c : body) ascii = ascii && c < 0x80;

  std::vector<const char*> argv;
  for (const std::string& e : elements) argv.push_back(e.c_str());
  argv.push_back(nullptr);
  // The count is not the bound: a wrong one must change nothing.
  CParamLineArgs args(static_cast<int>(elements.size()) + (mode & 2 ? 7 : 0), argv.data());
  checkTable(args, elements, ascii);

  // Rebuilding the vector and reading it again gives the same table.
  SIArray<SAnsiString> rebuilt = args.buildArgumentArray();
  // (A name of dashes only comes back with one dash more, so it is left out.)
  bool dashesOnly = false;
  for (int i = 0; i < args.getCount(); ++i) {
    dashesOnly = dashesOnly || std::strspn(args.getNameAt(i).getBuffer(), "-") ==
                                   static_cast<size_t>(args.getNameAt(i).getNBytes());
  }
  if (!dashesOnly) {
    std::vector<const char*> again;
    for (int i = 0; i < rebuilt.getCount(); ++i) again.push_back(rebuilt[i].getBuffer());
    again.push_back(nullptr);
    CParamLineArgs reread(0, again.data());
    FUZZ_CHECK(reread.getCount() == args.getCount(), "rebuilt vector gives another count");
    for (int i = 0; i < args.getCount(); ++i) {
      FUZZ_CHECK(std::strcmp(reread.getNameAt(i).getBuffer(), args.getNameAt(i).getBuffer()) == 0 &&
                     std::strcmp(reread.getValueAt(i).getBuffer(),
                                 args.getValueAt(i).getBuffer()) == 0,
                 "rebuilt vector gives another option at " + std::to_string(i));
    }
  }

  if (mode & 4) {
    // One command line: the elements joined with blanks, split again at them.
    std::string line;
    for (size_t i = 0; i < elements.size(); ++i) {
      if (i) line += ' ';
      line += elements[i];
    }
    CParamLineArgs fromLine(line.c_str());
    std::vector<std::string> tokens;
    size_t p = 0;
    const char* blanks = " \t\r\n";
    while (true) {
      p = line.find_first_not_of(blanks, p);
      if (p == std::string::npos) break;
      size_t e = line.find_first_of(blanks, p);
      tokens.push_back(line.substr(p, e == std::string::npos ? std::string::npos : e - p));
      if (e == std::string::npos) break;
      p = e;
    }
    checkTable(fromLine, tokens, ascii);
  }
  return 0;
}
