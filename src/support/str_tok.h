// SStrTok: splits a text at a separator of any length, one token at a time.
// Two separators in a row give an empty token; callers that want no empty
// parts skip them.
//
// Thread-safety: one object is used by one thread.
// Ownership: holds its own copies of the text and the separator.
#ifndef KORVA_SUPPORT_STR_TOK_H_
#define KORVA_SUPPORT_STR_TOK_H_

#include "support/sstring.h"

class SStrTok {
 public:
  SStrTok(const SAnsiString& text, const SAnsiString& separator);
  SStrTok(const char* text, const char* separator);
  virtual ~SStrTok();

  // The text before the first separator, dropping it and the separator from
  // the remaining text; the whole remaining text when there is no separator
  // (or it is empty); "" once the remaining text is empty.
  SAnsiString nextToken();
  SAnsiString getRemaining() const { return remaining_; }

 private:
  SAnsiString separator_;
  SAnsiString remaining_;
};

#endif  // KORVA_SUPPORT_STR_TOK_H_
