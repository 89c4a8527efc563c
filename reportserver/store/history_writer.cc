// History entries of a commit and the texts that say what changed.
#include "reportserver/store/history_writer.h"

#include <utility>
#include <vector>

#include "reportserver/store/history_entry.h"
#include "reportserver/store/record_names.h"
#include "reportserver/testing/fault_injection.h"
#include "reportserver/text/json_text.h"

namespace korva {

namespace {

// The parts of a change text, joined with "; ".
class ChangeText {
 public:
  void add(const std::string& part) { parts_.push_back(part); }
  // "<what> <before> -> <after>" when they differ.
  void compare(const char* what, const std::string& before, const std::string& after) {
    if (before != after) add(std::string(what) + " " + before + " -> " + after);
  }
  std::string text() const {
    std::string out;
    for (const std::string& p : parts_) out += (out.empty() ? "" : "; ") + p;
    return out;
  }
  bool empty() const { return parts_.empty(); }

 private:
  std::vector<std::string> parts_;
};

std::string fileText(const ObjectRecord& r) {
  return r.hasFile ? "file " + jsonString(r.fileName) + ", " + std::to_string(r.fileSize) + " bytes"
                   : std::string("no file");
}

std::string onOff(bool on) { return on ? "on" : "off"; }

std::string licence(int32_t licenseType) { return licenceTypeName(licenseType); }

}  // namespace

HistoryWriter::HistoryWriter(Database& db, int32_t userId, std::string userName)
    : db_(db), userId_(userId), userName_(std::move(userName)) {}

bool HistoryWriter::added(const PluginInfo& plugin, const ObjectRecord& r) {
  ChangeText text;
  const bool user = plugin.kind == PluginKind::User;
  if (!user) text.add(r.parentId == 0 ? "at the top level" : "in " + place(r.parentId));
  if (!r.description.empty()) text.add("description " + jsonString(r.description));
  if (user) {
    if (!r.fullName.empty()) text.add("full name " + jsonString(r.fullName));
    text.add("licence " + licence(r.licenseType));
    if (r.hasPassword) text.add("password set");
  }
  if (plugin.kind == PluginKind::Report) {
    if (!r.reportType.empty()) text.add("report type " + jsonString(r.reportType));
    if (r.thumbnail) text.add("thumbnail on");
    text.add(fileText(r));
  }
  return record(kHistoryAdded, r.id, plugin.typeId, plugin.name, r.title, text.text());
}

bool HistoryWriter::updated(const PluginInfo& plugin, const ObjectRecord& before,
                            const ObjectRecord& after, const PendingChanges& pending) {
  ChangeText text;
  text.compare("title", jsonString(before.title), jsonString(after.title));
  text.compare("description", jsonString(before.description), jsonString(after.description));
  if (before.parentId != after.parentId) {
    text.add("moved from " + place(before.parentId) + " to " + place(after.parentId));
  }
  if (plugin.kind == PluginKind::User) {
    text.compare("full name", jsonString(before.fullName), jsonString(after.fullName));
    text.compare("licence", licence(before.licenseType), licence(after.licenseType));
    for (int i = 0; i < 3; ++i) {
      const std::string option = "password option " + std::to_string(i + 1);
      text.compare(option.c_str(), onOff(before.passwordOptions[i]),
                   onOff(after.passwordOptions[i]));
    }
    // A password record never equals another (each has its own salt): a
    // password given is a password set.
    if (pending.passwordRecord && !pending.passwordRecord->empty()) text.add("password set");
    if (before.hasPassword && !after.hasPassword) text.add("password removed");
  }
  if (plugin.kind == PluginKind::Report) {
    text.compare("report type", jsonString(before.reportType), jsonString(after.reportType));
    text.compare("thumbnail", onOff(before.thumbnail), onOff(after.thumbnail));
    if (before.hasFile != after.hasFile || before.fileName != after.fileName ||
        before.fileSha256 != after.fileSha256) {
      text.add(fileText(before) + " -> " + fileText(after));
    }
  }
  if (text.empty()) return true;
  return record(kHistoryUpdated, after.id, plugin.typeId, plugin.name, after.title, text.text());
}

bool HistoryWriter::rightSet(const PluginInfo& plugin, const ObjectRecord& object, int32_t userId,
                             const std::string& userName, int32_t role,
                             std::optional<int32_t> before) {
  if (before == role) return true;
  std::string text = std::string(roleName(role)) + " for user " + jsonString(userName) + " (" +
                     std::to_string(userId) + ")";
  if (before) text += ", was " + std::string(roleName(*before));
  return record(kHistoryRightSet, object.id, plugin.typeId, plugin.name, object.title, text);
}

bool HistoryWriter::deleted(const ObjectHead& object, const std::string& typeName,
                            const std::string& takenWith) {
  const std::string text =
      takenWith.empty() ? "from " + place(object.parentId) : "with " + takenWith;
  return record(kHistoryDeleted, object.id, object.typeId, typeName, object.title, text);
}

std::string HistoryWriter::place(int32_t folderId) {
  if (folderId == 0) return "the top level";
  Statement st(db_, "SELECT title FROM objects WHERE id = ?1");
  st.bind(1, static_cast<int64_t>(folderId));
  const std::string folder = "folder " + std::to_string(folderId);
  return st.step() == SQLITE_ROW ? folder + " " + jsonString(st.columnText(0)) : folder;
}

bool HistoryWriter::record(const char* action, int32_t objectId, int16_t typeId,
                           const std::string& typeName, const std::string& title,
                           const std::string& change) {
  if (injectFault("recordHistory")) {
    error_ = "Injected fault in recordHistory.";
    return false;
  }
  Statement st(db_,
               "INSERT INTO history(time, user_id, user_name, action, object_id, type_id,"
               " object_type, object_title, change)"
               " VALUES(strftime('%Y-%m-%dT%H:%M:%SZ', 'now'), ?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)");
  st.bind(1, static_cast<int64_t>(userId_));
  st.bind(2, userName_);
  st.bind(3, std::string(action));
  st.bind(4, static_cast<int64_t>(objectId));
  st.bind(5, static_cast<int64_t>(typeId));
  st.bind(6, typeName);
  st.bind(7, title);
  st.bind(8, change);
  if (st.run()) return true;
  error_ = "Cannot record the change of object " + std::to_string(objectId) + " in the history: " +
           db_.lastMessage() + ".";
  return false;
}

}  // namespace korva
