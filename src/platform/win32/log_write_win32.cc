// The action log's write on Windows: one whole line written and flushed. A
// pipe whose reader went away fails the write with an error and raises no
// signal, so there is nothing to guard; a failed write is ignored and the
// stream's error cleared, so that later lines are tried again.
//
// Thread-safety: as the C stream's own functions. Ownership: the caller's
// stream.
#include <cstdio>

#include "platform/log_file.h"

namespace korva {

void writeLogText(std::FILE* stream, const char* text, std::size_t length) {
  if (!stream) return;
  std::fwrite(text, 1, length, stream);
  std::fflush(stream);
  std::clearerr(stream);
}

}  // namespace korva
