// A hand-written scanner and parser for the small query language.
#include "reportserver/store/query_parser.h"

#include <cstdint>

#include "reportserver/text/utf8.h"

namespace korva {
namespace {

class Scanner {
 public:
  explicit Scanner(const std::wstring& text) : text_(text) {}

  void skipBlanks() {
    while (pos_ < text_.size() && (text_[pos_] == L' ' || text_[pos_] == L'\t' ||
                                   text_[pos_] == L'\r' || text_[pos_] == L'\n')) {
      ++pos_;
    }
  }
  bool atEnd() {
    skipBlanks();
    return pos_ >= text_.size();
  }
  // A word of letters, digits and "_", upper-cased; "" when none is next.
  std::string word() {
    skipBlanks();
    std::string w;
    while (pos_ < text_.size()) {
      wchar_t c = text_[pos_];
      if ((c >= L'a' && c <= L'z')) {
        w.push_back(static_cast<char>(c - L'a' + 'A'));
      } else if ((c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'_') {
        w.push_back(static_cast<char>(c));
      } else {
        break;
      }
      ++pos_;
    }
    return w;
  }
  bool symbol(wchar_t s) {
    skipBlanks();
    if (pos_ < text_.size() && text_[pos_] == s) {
      ++pos_;
      return true;
    }
    return false;
  }
  // A signed decimal number that fits 32 bits.
  bool number(int32_t* out) {
    skipBlanks();
    size_t start = pos_;
    bool negative = false;
    if (pos_ < text_.size() && (text_[pos_] == L'-' || text_[pos_] == L'+')) {
      negative = text_[pos_] == L'-';
      ++pos_;
    }
    int64_t value = 0;
    size_t digits = 0;
    while (pos_ < text_.size() && text_[pos_] >= L'0' && text_[pos_] <= L'9') {
      value = value * 10 + (text_[pos_] - L'0');
      ++pos_;
      if (++digits > 10) break;
    }
    bool glued = pos_ < text_.size() && (iswordChar(text_[pos_]));
    if (digits == 0 || digits > 10 || glued) {
      pos_ = start;
      return false;
    }
    if (negative) value = -value;
    if (value < INT32_MIN || value > INT32_MAX) {
      pos_ = start;
      return false;
    }
    *out = static_cast<int32_t>(value);
    return true;
  }
  // 1-based position of the next token.
  size_t position() {
    skipBlanks();
    return pos_ + 1;
  }

 private:
  static bool iswordChar(wchar_t c) {
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
           c == L'_';
  }

 public:
 private:
  const std::wstring& text_;
  size_t pos_ = 0;
};

}  // namespace

bool parseQuery(const std::wstring& text, ParsedQuery* out, std::string* error) {
  Scanner s(text);
  size_t at = 1;  // where the token being read starts
  auto refuse = [&](const std::string& expected) {
    if (error) {
      *error = "The query \"" + toUtf8(text) + "\" is not understood: expected " + expected +
               " at position " + std::to_string(at) + ".";
    }
    return false;
  };
  ParsedQuery q;
  at = s.position();
  if (s.word() != "SELECT") return refuse("SELECT");
  at = s.position();
  if (!s.symbol(L'*')) return refuse("\"*\"");
  at = s.position();
  if (s.word() != "FROM") return refuse("FROM");
  at = s.position();
  std::string table = s.word();
  if (table == "CI_INFOOBJECTS") {
    q.systemObjects = false;
  } else if (table == "CI_SYSTEMOBJECTS") {
    q.systemObjects = true;
  } else {
    return refuse("CI_INFOOBJECTS or CI_SYSTEMOBJECTS");
  }
  if (!s.atEnd()) {
    at = s.position();
    if (s.word() != "WHERE") return refuse("WHERE or the end");
    while (true) {
      at = s.position();
      std::string name = s.word();
      QueryTerm term{QueryTerm::Field::Id, 0};
      if (name == "SI_ID") {
        term.field = QueryTerm::Field::Id;
      } else if (name == "SI_PARENTID") {
        term.field = QueryTerm::Field::ParentId;
      } else if (name == "SI_OBTYPE") {
        term.field = QueryTerm::Field::ObjectType;
      } else {
        return refuse("SI_ID, SI_PARENTID or SI_OBTYPE");
      }
      at = s.position();
      if (!s.symbol(L'=')) return refuse("\"=\"");
      at = s.position();
      if (!s.number(&term.value)) return refuse("a 32-bit integer");
      q.terms.push_back(term);
      if (s.atEnd()) break;
      at = s.position();
      if (s.word() != "AND") return refuse("AND or the end");
    }
  }
  *out = q;
  return true;
}

}  // namespace korva
