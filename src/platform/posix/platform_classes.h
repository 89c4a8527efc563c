// Class factories of the classes the platform layer itself provides through
// the class registry. The registry (com_posix.cc) enters them when its table
// is first built: a static registration object in an archive member could be
// dropped by the linker, a direct reference cannot.
//
// Thread-safety: each factory may be called on any thread.
// Ownership: the factories are process-wide objects that count nothing; what
// CreateInstance hands out belongs to the caller.
#ifndef KORVA_PLATFORM_POSIX_PLATFORM_CLASSES_H_
#define KORVA_PLATFORM_POSIX_PLATFORM_CLASSES_H_

#include "platform/com.h"

namespace korva {
namespace posix {

// The XML reader over expat (class CLSID_SAXXMLReader).
IClassFactory* saxXmlReaderFactory();

}  // namespace posix
}  // namespace korva

#endif  // KORVA_PLATFORM_POSIX_PLATFORM_CLASSES_H_
