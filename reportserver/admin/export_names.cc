// The safe names of an export's tree (see export_names.h).
#include "reportserver/admin/export_names.h"

#include <cstring>
#include <vector>

#include "platform/file_name_utf8.h"
#include "reportserver/text/utf8.h"

namespace korva {
namespace {

constexpr size_t kMaxNameBytes = 200;

// Whether a file name may hold the character.
bool nameMayHold(char32_t c) {
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return false;
  if (c < 0x80) return std::strchr("\\/:*?\"<>|", static_cast<int>(c)) == nullptr;
  std::string local;
  return fileNameFromUtf8(utf8Of(c), &local);
}

bool isDeviceName(std::string part) {
  for (char& c : part) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  static const char* const kNames[] = {"CON", "PRN", "AUX", "NUL"};
  for (const char* name : kNames) {
    if (part == name) return true;
  }
  return part.size() == 4 && (part.compare(0, 3, "COM") == 0 || part.compare(0, 3, "LPT") == 0) &&
         part[3] >= '1' && part[3] <= '9';
}

std::string joinedWords(const std::vector<const char*>& parts) {
  std::string out;
  for (size_t i = 0; i < parts.size(); ++i) {
    if (i) out += i + 1 == parts.size() ? " and " : ", ";
    out += parts[i];
  }
  return out;
}

}  // namespace

SafeName safeName(const std::string& stem, const std::string& extension) {
  std::vector<const char*> how;
  std::string s;
  const size_t room = kMaxNameBytes > extension.size() ? kMaxNameBytes - extension.size() : 0;
  bool cut = false, replaced = false;
  for (char32_t c : charactersOf(stem)) {
    const bool held = nameMayHold(c);
    const std::string bytes = held ? utf8Of(c) : "_";
    if (s.size() + bytes.size() > room) {
      cut = true;
      break;
    }
    s += bytes;
    if (!held) replaced = true;
  }
  if (replaced) how.push_back("each character that a file name cannot hold made \"_\"");
  if (extension.empty()) {
    bool trailing = false;
    for (size_t i = s.size(); i > 0 && (s[i - 1] == '.' || s[i - 1] == ' '); --i) {
      s[i - 1] = '_';
      trailing = true;
    }
    if (trailing) how.push_back("the dots and spaces at its end made \"_\"");
  }
  const size_t dot = s.find('.');
  if (isDeviceName(dot == std::string::npos ? s : s.substr(0, dot))) {
    s.insert(dot == std::string::npos ? s.size() : dot, "_");
    how.push_back("\"_\" put after the device name");
  }
  if (s.empty()) {
    s = "_";
    how.push_back("\"_\" for the empty name");
  }
  if (cut) how.push_back("its length cut to 200 bytes");
  return {s, how.empty() ? "" : "with " + joinedWords(how)};
}

std::string foldedName(const std::string& name) {
  std::string out = name;
  for (size_t i = 0; i < out.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(out[i]);
    if (c >= 'A' && c <= 'Z') {
      out[i] = static_cast<char>(c - 'A' + 'a');
    } else if (c == 0xC3 && i + 1 < out.size()) {
      // U+00C0 to U+00DE but U+00D7: the Latin-1 capitals, 0x20 below their
      // small letters.
      const unsigned char next = static_cast<unsigned char>(out[i + 1]);
      if (next >= 0x80 && next <= 0x9E && next != 0x97) out[i + 1] = static_cast<char>(next + 0x20);
      ++i;
    }
  }
  return out;
}

std::string numberedName(const std::string& stem, int n) {
  return n < 2 ? stem : stem + " (" + std::to_string(n) + ")";
}

}  // namespace korva
