// Test controls of the embedded server: injected faults and a changed
// Desktop plugin list.
//
// A fault plan is a comma-separated list of entries; an entry is an
// operation name ("logon", "commit", "addFile", ...), "queryInterface:<Interface>"
// ("queryInterface:UserObject") or "create:<Class>" ("create:SessionManager",
// "create:ErrorSource"), optionally followed by "#n". A listed operation fails
// on every call with the description "Injected fault in <operation>."; with
// "#n" it fails only on its n-th call counted since the plan took effect.
// Operations fail with E_FAIL, queryInterface with E_NOINTERFACE.
//
// In `korvaserver serve` an entry "serve:<operation>" ("serve:commit#3";
// the operations are logon, query, commit and logoff) holds that request
// once its body is read: the server notes "Holding the commit request
// (injected fault)." on its log and never answers it, so that a test knows
// the client waits there and can kill (or kill and restart) the server at
// that point. Such a server is ended with SIGKILL: a stop waits for the
// held request.
//
// A plugin plan is a comma-separated list of plugin names, each optionally
// followed by "*n": a bare name is left out of the Desktop list, "Name*n"
// lists it n times.
//
// The environment variables KORVA_SERVER_FAULTS and KORVA_SERVER_PLUGINS hold
// plans too; they are read whenever a SessionManager (or ErrorSource) is
// created and when `korvaserver serve` starts, and a changed fault plan there
// restarts the call counts. A plan set here wins over the environment until
// it is cleared.
//
// An operation hook is a function called with the operation's name each time
// an operation (or an inner step that asks for faults, such as
// "stageReportContent") begins, before its fault check: a test uses it to let
// another session work at a chosen point of this one. It runs on the calling
// thread without any lock held, so it may call the server itself.
//
// Thread-safety: the plans, counters and hook are process-wide and locked.
#ifndef KORVA_REPORTSERVER_TESTING_FAULT_PLAN_H_
#define KORVA_REPORTSERVER_TESTING_FAULT_PLAN_H_

#include <functional>
#include <string>

namespace korva {

// Sets the fault plan and restarts every call count.
void setServerFaultPlan(const std::string& plan);
// Goes back to the environment's plan (counts restart).
void clearServerFaultPlan();

// Sets the plugin plan for SessionManagers created from now on.
void setServerPluginPlan(const std::string& plan);
void clearServerPluginPlan();

// Sets the operation hook; an empty function clears it.
void setServerOperationHook(std::function<void(const std::string& operation)> hook);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_TESTING_FAULT_PLAN_H_
