// Exit status on POSIX: the parent reads the low byte of what a program
// returns, so a failure whose low byte is zero leaves as 1.
#include "platform/exit_status.h"

namespace korva {

int exitStatusFor(int result) { return (result != 0 && (result & 0xFF) == 0) ? 1 : result; }

}  // namespace korva
