// What one logged-on session shares with the objects it hands out: its own
// connection to the repository, who is logged on, the plugins, and the query
// answers it keeps. The session's objects that reach the repository (the
// InfoStore, collections, the plugin manager) hold it through shared_ptr, so
// the connection lives as long as any of them.
//
// Thread-safety: used by one thread at a time, like the session.
#ifndef KORVA_REPORTSERVER_STORE_SESSION_CONTEXT_H_
#define KORVA_REPORTSERVER_STORE_SESSION_CONTEXT_H_

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "reportserver/store/query_answers.h"
#include "reportserver/store/repository.h"
#include "reportserver/store/sqlite_db.h"

namespace korva {

struct SessionContext {
  Database db;
  std::string apsName;  // lower-cased
  std::string path;
  int32_t userId = 0;
  std::string userName;
  bool administrator = false;
  int32_t administratorId = 0;
  std::vector<PluginInfo> plugins;        // every plugin of the repository, in list order
  std::map<std::string, int> pluginPlan;  // test control: how often each is listed
  QueryAnswers answers;

  const PluginInfo* pluginByType(int16_t typeId) const {
    for (const PluginInfo& p : plugins) {
      if (p.typeId == typeId) return &p;
    }
    return nullptr;
  }
};

using SessionContextPtr = std::shared_ptr<SessionContext>;

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_SESSION_CONTEXT_H_
