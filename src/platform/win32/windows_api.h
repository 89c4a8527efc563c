// The Windows headers as every file of the Win32 platform layer includes
// them: Winsock 2 before windows.h, without the rarely used parts of
// windows.h and without its min/max macros.
//
// Thread-safety and ownership: declarations only.
#ifndef KORVA_PLATFORM_WIN32_WINDOWS_API_H_
#define KORVA_PLATFORM_WIN32_WINDOWS_API_H_

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>
// winsock2.h first: windows.h would otherwise bring the old winsock.h.
#include <windows.h>

#endif  // KORVA_PLATFORM_WIN32_WINDOWS_API_H_
