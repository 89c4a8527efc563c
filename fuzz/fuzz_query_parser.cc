// Fuzz target: the embedded server's query parser. The input is decoded as
// UTF-8 (stray bytes standing for themselves) into the wide query text.
//
// Expectations: a refused text has a description that names the text and a
// position inside it (or just past its end); an accepted text, written out
// again in the canonical form, is accepted with the same table and terms.
#include <string>

#include "fuzz/fuzz_util.h"
#include "reportserver/store/query_parser.h"

namespace {

const char* fieldName(korva::QueryTerm::Field f) {
  switch (f) {
    case korva::QueryTerm::Field::Id:
      return "SI_ID";
    case korva::QueryTerm::Field::ParentId:
      return "SI_PARENTID";
    case korva::QueryTerm::Field::ObjectType:
      return "SI_OBTYPE";
  }
  return "?";
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring text =
      korva_fuzz::decodeUtf8Lenient(std::string(reinterpret_cast<const char*>(data), size));
  korva::ParsedQuery parsed;
  std::string error;
  if (!korva::parseQuery(text, &parsed, &error)) {
    FUZZ_CHECK(error.find("is not understood: expected ") != std::string::npos, error);
    const size_t at = error.rfind(" at position ");
    FUZZ_CHECK(at != std::string::npos, error);
    const unsigned long position = std::stoul(error.substr(at + 13));
    FUZZ_CHECK(position >= 1 && position <= text.size() + 1, error);
    FUZZ_CHECK(parsed.terms.empty() && !parsed.systemObjects, "a refused query changed the result");
    return 0;
  }
  std::wstring canonical = L"SELECT * FROM ";
  canonical += parsed.systemObjects ? L"CI_SYSTEMOBJECTS" : L"CI_INFOOBJECTS";
  for (size_t i = 0; i < parsed.terms.size(); ++i) {
    canonical += i == 0 ? L" WHERE " : L" AND ";
    const std::string term =
        std::string(fieldName(parsed.terms[i].field)) + "=" + std::to_string(parsed.terms[i].value);
    canonical += std::wstring(term.begin(), term.end());
  }
  korva::ParsedQuery again;
  std::string againError;
  FUZZ_CHECK(korva::parseQuery(canonical, &again, &againError), againError);
  FUZZ_CHECK(again.systemObjects == parsed.systemObjects, "table");
  FUZZ_CHECK(again.terms.size() == parsed.terms.size(), "number of terms");
  for (size_t i = 0; i < again.terms.size(); ++i) {
    FUZZ_CHECK(again.terms[i].field == parsed.terms[i].field &&
                   again.terms[i].value == parsed.terms[i].value,
               "term " + std::to_string(i));
  }
  return 0;
}
