// How the deliverables' exported entry points are declared, for the library
// that exports them and for every caller that binds to them at run time:
//   KORVA_ENTRY_EXPORT  C linkage and visible outside the library;
//   KORVA_ENTRY_CALL    the calling convention of the entry points.
// On 32-bit Windows the entry points are __stdcall (the callee removes the
// arguments) and marked for export, which keeps the linker from exporting
// anything else; the linker's --kill-at drops the "@<argument bytes>" of
// their decorated names, and korvalink.dll's .def file lists its six.
// Elsewhere they use the platform's default convention and the default
// symbol visibility.
//
// Thread-safety and ownership: declarations only.
#ifndef KORVA_PLATFORM_ENTRY_ABI_H_
#define KORVA_PLATFORM_ENTRY_ABI_H_

#if defined(_WIN32)
#define KORVA_ENTRY_EXPORT extern "C" __declspec(dllexport)
#define KORVA_ENTRY_CALL __stdcall
#else
#define KORVA_ENTRY_EXPORT extern "C" __attribute__((visibility("default")))
#define KORVA_ENTRY_CALL
#endif

#endif  // KORVA_PLATFORM_ENTRY_ABI_H_
