// How the deliverables' exported entry points are declared, for the library
// that exports them and for every caller that binds to them at run time:
//   KORVA_ENTRY_EXPORT  C linkage and visible outside the library;
//   KORVA_ENTRY_CALL    the calling convention of the entry points.
// The convention is the public header's (include/korvalink.h): __stdcall on
// Windows (the callee removes the arguments on 32-bit Windows), the
// platform's default elsewhere. On Windows the entry points are marked for
// export, which keeps the linker from exporting anything else; the linker's
// --kill-at drops the "@<argument bytes>" of their decorated names, and
// korvalink.dll's .def file (made from cmake/korvalink_exports.cmake) lists
// its six. Elsewhere they have the default symbol visibility.
//
// Thread-safety and ownership: declarations only.
#ifndef KORVA_PLATFORM_ENTRY_ABI_H_
#define KORVA_PLATFORM_ENTRY_ABI_H_

#include "korvalink.h"

#define KORVA_ENTRY_CALL KORVALINK_CALL
#if defined(_WIN32)
#define KORVA_ENTRY_EXPORT extern "C" __declspec(dllexport)
#else
#define KORVA_ENTRY_EXPORT extern "C" __attribute__((visibility("default")))
#endif

#endif  // KORVA_PLATFORM_ENTRY_ABI_H_
