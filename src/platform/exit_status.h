// The exit status a program leaves with for an entry point's result (0, 14,
// 1603 or any other number the library answered). On Windows the status is a
// 32-bit number and carries the result whole. On POSIX the parent sees only
// the low byte; a failure whose low byte is zero would read as success, so it
// leaves as 1 instead.
//
// Thread-safety: a pure function.
#ifndef KORVA_PLATFORM_EXIT_STATUS_H_
#define KORVA_PLATFORM_EXIT_STATUS_H_

namespace korva {

int exitStatusFor(int result);

}  // namespace korva

#endif  // KORVA_PLATFORM_EXIT_STATUS_H_
