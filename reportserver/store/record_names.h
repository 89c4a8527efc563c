// The names of the numbers a record holds, as korvaserver's views, the
// history and the console write them: a right's role and a user's licence
// type.
//
// Thread-safety: pure functions.
#ifndef KORVA_REPORTSERVER_STORE_RECORD_NAMES_H_
#define KORVA_REPORTSERVER_STORE_RECORD_NAMES_H_

#include <cstdint>

namespace korva {

// "NoAccess", "View", "Schedule", "ViewOnDemand", "FullControl" for roles 1
// to 5, "Unknown" for any other.
const char* roleName(int32_t role);
// "named" for licence type 0, "concurrent" for any other.
const char* licenceTypeName(int32_t licenseType);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_RECORD_NAMES_H_
