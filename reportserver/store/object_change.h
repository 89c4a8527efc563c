// One object's change as a session hands it to the store at commit: the
// object as its query read it (or a new one of a plugin's type), and what the
// client changed since. A commit is a list of them, stored all or nothing.
//
// Thread-safety: plain values.
// Ownership: holds copies of everything but the bytes of a report file sent
// with the commit, which stay the caller's until the commit has ended; a
// report file is otherwise named by a local path that the store reads at
// commit.
#ifndef KORVA_REPORTSERVER_STORE_OBJECT_CHANGE_H_
#define KORVA_REPORTSERVER_STORE_OBJECT_CHANGE_H_

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "reportserver/store/store_records.h"

namespace korva {

// Changes waiting for commit. Texts are UTF-8.
struct PendingChanges {
  std::optional<std::string> title;
  std::optional<std::string> description;
  std::optional<int32_t> parentId;
  std::optional<std::string> reportType;
  std::optional<bool> thumbnail;
  std::optional<std::string> filePath;  // in the process's encoding
  // The file's bytes when it came with the commit: filePath is then only
  // its name, and nothing is read from disk.
  std::optional<std::string_view> fileBytes;
  std::optional<std::string> fullName;
  std::optional<std::string> passwordRecord;  // "" clears the password
  std::optional<bool> passwordOptions[3];
  std::optional<int32_t> licenseType;
  std::map<int32_t, int32_t> rights;  // user id -> role
  bool remove = false;

  bool changesFields() const;
};

struct ObjectChange {
  PluginInfo plugin;
  ObjectHead stored;  // id 0 for a new object
  bool isNew = false;
  PendingChanges pending;

  bool isUser() const { return plugin.kind == PluginKind::User; }
  bool isReport() const { return plugin.kind == PluginKind::Report; }
  // A label for descriptions: "new Report" or "Report 12".
  std::string label() const { return objectLabel(plugin, isNew, stored.id); }
  // The stored head with the pending changes applied (fields not in the
  // head and not pending have their defaults).
  ObjectRecord merged() const;

  static std::string objectLabel(const PluginInfo& plugin, bool isNew, int32_t id);
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_OBJECT_CHANGE_H_
