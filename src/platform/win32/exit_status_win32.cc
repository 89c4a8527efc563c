// Exit status on Windows: a 32-bit number that the parent reads whole
// (GetExitCodeProcess), so the result passes through unchanged.
#include "platform/exit_status.h"

namespace korva {

int exitStatusFor(int result) { return result; }

}  // namespace korva
