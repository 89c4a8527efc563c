// Factories of the classes the platform layer itself provides through the
// class registry. The registry (com_posix.cc) enters them when its table is
// first built: a static registration object in an archive member could be
// dropped by the linker, a direct reference cannot.
//
// Thread-safety: each factory may be called on any thread.
// Ownership: a factory's *out holds a reference owned by the caller.
#ifndef KORVA_PLATFORM_POSIX_PLATFORM_CLASSES_H_
#define KORVA_PLATFORM_POSIX_PLATFORM_CLASSES_H_

#include "platform/com.h"

namespace korva {
namespace posix {

// The XML reader over expat (class kCLSID_SAXXMLReader).
HRESULT createSaxXmlReader(const Guid& iid, void** out);

}  // namespace posix
}  // namespace korva

#endif  // KORVA_PLATFORM_POSIX_PLATFORM_CLASSES_H_
