// Names of roles and licence types.
#include "reportserver/store/record_names.h"

namespace korva {

const char* roleName(int32_t role) {
  static const char* const kNames[] = {"NoAccess", "View", "Schedule", "ViewOnDemand",
                                       "FullControl"};
  return role >= 1 && role <= 5 ? kNames[role - 1] : "Unknown";
}

const char* licenceTypeName(int32_t licenseType) {
  return licenseType == 0 ? "named" : "concurrent";
}

}  // namespace korva
