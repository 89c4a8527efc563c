// SStrTok over the character-aware search of SAnsiString.
#include "support/str_tok.h"

SStrTok::SStrTok(const SAnsiString& text, const SAnsiString& separator)
    : separator_(separator), remaining_(text) {}

SStrTok::SStrTok(const char* text, const char* separator)
    : separator_(separator), remaining_(text) {}

SStrTok::~SStrTok() = default;

SAnsiString SStrTok::nextToken() {
  if (remaining_.isEmpty()) return SAnsiString();
  // An empty separator occurs nowhere: splitting at it would hand out empty
  // tokens for ever and never shorten the text.
  int at = separator_.isEmpty() ? SAnsiString::npos : remaining_.findString(separator_.getBuffer());
  if (at == SAnsiString::npos) {
    SAnsiString token = remaining_;
    remaining_ = SAnsiString();
    return token;
  }
  SAnsiString token = remaining_.left(at);
  // The separator's own bytes are dropped, however the text around them
  // divides into characters: counting its characters instead could swallow
  // text when its bytes start a longer character of the text.
  remaining_ = SAnsiString(remaining_.getBuffer() + token.getNBytes() + separator_.getNBytes());
  return token;
}
