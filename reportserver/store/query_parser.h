// The query language the InfoStore understands:
//   SELECT * FROM CI_INFOOBJECTS|CI_SYSTEMOBJECTS [WHERE p AND p ...]
// with p one of SI_ID=n, SI_PARENTID=n, SI_OBTYPE=n (n a signed 32-bit
// decimal number). Keywords and names are matched without regard to case;
// blanks may stand between any two tokens. Anything else is refused with a
// description.
//
// Thread-safety: pure function.
#ifndef KORVA_REPORTSERVER_STORE_QUERY_PARSER_H_
#define KORVA_REPORTSERVER_STORE_QUERY_PARSER_H_

#include <string>
#include <vector>

#include "reportserver/store/store_records.h"

namespace korva {

struct ParsedQuery {
  bool systemObjects = false;  // CI_SYSTEMOBJECTS: the users
  std::vector<QueryTerm> terms;
};

// False with *error set ("... is not understood: ...") when the text is
// outside the grammar.
bool parseQuery(const std::wstring& text, ParsedQuery* out, std::string* error);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_QUERY_PARSER_H_
