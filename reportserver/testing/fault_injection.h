// The server's side of the test controls declared in fault_plan.h: every
// operation asks injectFault() first; SessionManager creation refreshes the
// plans from the environment and takes the plugin plan.
//
// Thread-safety: process-wide state behind one lock.
#ifndef KORVA_REPORTSERVER_TESTING_FAULT_INJECTION_H_
#define KORVA_REPORTSERVER_TESTING_FAULT_INJECTION_H_

#include <map>
#include <string>

namespace korva {

// Counts a call of the operation; when the plan makes this call fail, sets the
// calling thread's error description and answers true.
bool injectFault(const std::string& operation);
bool injectFault(const char* operation);

// Re-reads KORVA_SERVER_FAULTS and KORVA_SERVER_PLUGINS (unless plans were set
// in-process).
void refreshPlansFromEnvironment();

// The plugin plan in force: plugin name -> how many times it is listed (names
// not in the map are listed once).
std::map<std::string, int> currentPluginPlan();

}  // namespace korva

#endif  // KORVA_REPORTSERVER_TESTING_FAULT_INJECTION_H_
