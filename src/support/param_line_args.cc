// CParamLineArgs. "-" and the blanks are single bytes that never occur inside
// a multibyte character of the encodings in use (they are below every lead
// and trail byte), so they are compared as bytes, which is comparing them as
// whole characters.
#include "support/param_line_args.h"

#include <cstring>

namespace {

bool isOption(const SAnsiString& element) { return element.getBuffer()[0] == '-'; }

}  // namespace

CParamLineArgs::CParamLineArgs() = default;

CParamLineArgs::CParamLineArgs(int /*argc*/, const char* const* argv) {
  SIArray<SAnsiString> elements;
  if (argv != nullptr) {
    for (int i = 0; argv[i] != nullptr; ++i) elements.add(SAnsiString(argv[i]));
  }
  parse(elements);
}

CParamLineArgs::CParamLineArgs(int argc, char** argv)
    : CParamLineArgs(argc, const_cast<const char* const*>(argv)) {}

CParamLineArgs::CParamLineArgs(const char* commandLine) {
  static const char kBlanks[] = " \t\r\n";
  SIArray<SAnsiString> elements;
  const char* p = commandLine ? commandLine : "";
  for (;;) {
    p += std::strspn(p, kBlanks);
    if (*p == '\0') break;
    size_t length = std::strcspn(p, kBlanks);
    elements.add(SAnsiString(p, static_cast<int>(length)));
    p += length;
  }
  parse(elements);
}

CParamLineArgs::~CParamLineArgs() = default;

void CParamLineArgs::parse(const SIArray<SAnsiString>& elements) {
  names_.removeAll();
  values_.removeAll();
  int count = elements.getCount();
  programName_ = count > 0 ? elements[0] : SAnsiString();
  for (int i = 1; i < count; ++i) {
    if (!isOption(elements[i])) continue;
    const char* text = elements[i].getBuffer();
    const char* name = text;
    while (*name == '-') ++name;
    // An element of dashes only keeps them all as its name.
    SAnsiStringCI optionName(*name == '\0' ? text : name);
    SAnsiStringCI value;
    if (i + 1 < count && !isOption(elements[i + 1])) {
      value = SAnsiStringCI(elements[i + 1]);
      ++i;
    }
    add(optionName, value);
  }
}

bool CParamLineArgs::getValue(const SAnsiStringCI& name, SAnsiString* out) const {
  int index = indexOf(name);
  if (index < 0) return false;
  if (out != nullptr) *out = values_[index];
  return true;
}

int CParamLineArgs::indexOf(const SAnsiStringCI& name) const {
  for (int i = 0; i < names_.getCount(); ++i) {
    if (names_[i] == name) return i;
  }
  return -1;
}

void CParamLineArgs::add(const SAnsiStringCI& name, const SAnsiStringCI& value) {
  // Copies first: name or value may be an element of the arrays changed below.
  SAnsiStringCI newName(name);
  SAnsiStringCI newValue(value);
  remove(newName);
  names_.add(newName);
  values_.add(newValue);
}

bool CParamLineArgs::remove(const SAnsiStringCI& name) {
  int index = indexOf(name);
  if (index < 0) return false;
  SIArray<SAnsiStringCI> names;
  SIArray<SAnsiStringCI> values;
  for (int i = 0; i < names_.getCount(); ++i) {
    if (i == index) continue;
    names.add(names_[i]);
    values.add(values_[i]);
  }
  names_ = names;
  values_ = values;
  return true;
}

SIArray<SAnsiString> CParamLineArgs::buildArgumentArray() const {
  SIArray<SAnsiString> out;
  out.add(programName_);
  for (int i = 0; i < names_.getCount(); ++i) {
    out.add(SAnsiString("-") + names_[i]);
    if (!values_[i].isEmpty()) out.add(values_[i]);
  }
  return out;
}

SAnsiString CParamLineArgs::buildCommandLine() const {
  SIArray<SAnsiString> parts = buildArgumentArray();
  SAnsiString out;
  for (int i = 0; i < parts.getCount(); ++i) {
    if (i > 0) out += " ";
    out += parts[i];
  }
  return out;
}
