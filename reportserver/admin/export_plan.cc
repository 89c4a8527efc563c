// Planning an export (see export_plan.h): one walk of the folder tree from
// the top, then the users with their rights.
#include "reportserver/admin/export_plan.h"

#include <map>
#include <set>

#include "reportserver/admin/export_names.h"
#include "reportserver/admin/instructions_xml.h"
#include "reportserver/store/record_names.h"

namespace korva {
namespace {

// Every repository has its own, and a publish logs on as it.
constexpr char kAdministrator[] = "Administrator";
constexpr char kReportExtension[] = ".rpt";

std::string q(const std::string& text) { return "\"" + text + "\""; }

std::string joinedPath(const std::string& folder, const std::string& title) {
  return folder.empty() ? title : folder + "\\" + title;
}

bool hasReportExtension(const std::string& name) {
  if (name.size() < 4) return false;
  std::string ext = name.substr(name.size() - 4);
  for (char& c : ext) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return ext == kReportExtension;
}

// A directory of the tree as the walk fills it.
struct Directory {
  ExportPath path;
  std::string folder;           // its folder's path on the server, "" at the top
  std::set<std::string> names;  // of its entries, folded (export_names.h)
  std::set<std::string> reportTitles;
};

struct FolderEntry {
  std::string description;
  std::string folder;  // the first folder of the name
};

struct ReportEntry {
  std::string title, description, icon;
  std::string report;  // the first report of the entry

  bool sameAs(const ReportEntry& o) const {
    return title == o.title && description == o.description && icon == o.icon;
  }
};

class Planner {
 public:
  Planner(const RepositorySnapshot& s, ExportPlan* plan) : s_(s), plan_(plan) {
    for (const ObjectRecord& o : s.objects) {
      children_[o.parentId].push_back(&o);
      objects_[o.id] = &o;
    }
  }

  bool run(const std::string& folderPath, std::string* error) {
    Directory top;
    if (folderPath.empty()) {
      warnAboutUnseenParents();
      walk(childrenOf(0), &top, true);
    } else {
      const ObjectRecord* folder = folderAt(folderPath, &top.folder);
      if (!folder) {
        *error = "There is no folder " + q(folderPath) + " on APS " + q(s_.aps) + ".";
        return false;
      }
      walk({folder}, &top, true);
    }
    planUsers();
    std::vector<XmlAttributes> folders, reports;
    for (const std::string& name : folderNames_) {
      const std::string& description = folderEntries_[name].description;
      if (!description.empty()) folders.push_back({{"name", name}, {"desc", description}});
    }
    for (const std::string& name : reportNames_) {
      const ReportEntry& e = reportEntries_[name];
      reports.push_back(
          {{"name", name}, {"title", e.title}, {"desc", e.description}, {"icon", e.icon}});
    }
    plan_->instructions = instructionsXml(users_, folders, reports);
    return true;
  }

 private:
  const std::vector<const ObjectRecord*>& childrenOf(int32_t id) { return children_[id]; }

  void warn(const std::string& text) { plan_->warnings.push_back(text); }

  // The text as the instructions file can hold it; what it cannot is left
  // out with a warning naming the field and its object.
  std::string held(const std::string& text, const char* field, const std::string& object) {
    bool dropped = false;
    std::string out = xmlHoldable(text, &dropped);
    if (dropped) {
      warn("The " + std::string(field) + " of " + object +
           " holds characters that an XML file cannot hold; they are left out.");
    }
    return out;
  }

  // The folder at a path of titles; *parent receives the path of the folder
  // holding it.
  const ObjectRecord* folderAt(const std::string& path, std::string* parent) {
    const ObjectRecord* found = nullptr;
    int32_t id = 0;
    size_t from = 0;
    for (;;) {
      const size_t end = path.find('\\', from);
      const std::string title = path.substr(from, end == std::string::npos ? end : end - from);
      if (found) *parent = joinedPath(*parent, found->title);
      found = nullptr;
      for (const ObjectRecord* o : childrenOf(id)) {
        if (s_.isKind(*o, PluginKind::Folder) && o->title == title) {
          found = o;
          break;
        }
      }
      if (!found) return nullptr;
      if (end == std::string::npos) return found;
      id = found->id;
      from = end + 1;
    }
  }

  // A user who may not see every folder sees objects whose folder is not
  // in the snapshot.
  void warnAboutUnseenParents() {
    for (const ObjectRecord& o : s_.objects) {
      if (o.parentId != 0 && !objects_.count(o.parentId)) {
        warn(kindWord(o) + " " + q(o.title) +
             " lies in a folder that this logon may not see; it is not exported, nor is anything "
             "in it.");
      }
    }
  }

  std::string kindWord(const ObjectRecord& o) const {
    return s_.isKind(o, PluginKind::Folder)   ? "Folder"
           : s_.isKind(o, PluginKind::Report) ? "Report"
                                              : "Object";
  }

  void walk(const std::vector<const ObjectRecord*>& objects, Directory* dir, bool top) {
    for (const ObjectRecord* o : objects) {
      if (s_.isKind(*o, PluginKind::Folder)) {
        exportFolder(*o, dir, top);
      } else if (s_.isKind(*o, PluginKind::Report)) {
        exportReport(*o, dir);
      } else {
        warn("Object " + q(joinedPath(dir->folder, o->title)) + " of type " +
             s_.typeName(o->typeId) +
             " is neither a folder nor a report; it is not exported, nor is anything in it.");
      }
    }
  }

  void exportFolder(const ObjectRecord& o, Directory* dir, bool top) {
    const std::string path = joinedPath(dir->folder, o.title);
    const SafeName safe = safeName(o.title, "");
    if (!safe.how.empty()) {
      warn("Folder " + q(path) + " has a name that a file system cannot hold; it is exported as " +
           q(safe.stem) + ", " + safe.how + ", and will be published with that title.");
    }
    std::string name = safe.stem;
    for (int n = 2; dir->names.count(foldedName(name)); ++n) name = numberedName(safe.stem, n);
    if (name != safe.stem) {
      warn("Folder " + q(path) +
           " shares its name with another folder or file beside it (letters compared without "
           "regard to case); it is exported as " +
           q(name) + " and will be published with that title.");
    }
    dir->names.insert(foldedName(name));
    const std::string object = "folder " + q(path);
    describeFolder(name, held(o.description, "description", object), path);

    Directory child;
    child.path = dir->path;
    child.path.push_back(name);
    child.folder = path;
    plan_->directories.push_back(child.path);
    ++plan_->folders;
    exported_[o.id] = object;
    if (top) topFolders_.push_back({o.id, path});
    walk(childrenOf(o.id), &child, false);
  }

  void describeFolder(const std::string& name, const std::string& description,
                      const std::string& path) {
    auto it = folderEntries_.find(name);
    if (it == folderEntries_.end()) {
      folderEntries_[name] = {description, path};
      folderNames_.push_back(name);
    } else if (it->second.description != description) {
      warn("Folder " + q(path) + " is described otherwise than folder " + q(it->second.folder) +
           "; it will be published with the description of " + q(it->second.folder) +
           ", since folder entries are matched by name across the whole tree.");
    }
  }

  void exportReport(const ObjectRecord& o, Directory* dir) {
    const std::string path = joinedPath(dir->folder, o.title);
    if (!o.hasFile) {
      warn("Report " + q(path) + " has no file; it is not exported.");
      return;
    }
    std::string fileStem = o.fileName, ext = kReportExtension;
    if (hasReportExtension(o.fileName)) {
      fileStem.resize(fileStem.size() - 4);
      ext = o.fileName.substr(fileStem.size());
    } else {
      warn("Report " + q(path) + " has the file " + q(o.fileName) +
           ", which a publish does not take for a report; it is exported as " +
           q(o.fileName + ext) + ".");
    }
    const SafeName safe = safeName(fileStem, ext);
    if (!safe.how.empty()) {
      warn("Report " + q(path) + " has a file name, " + q(fileStem + ext) +
           ", that a file system cannot hold; its file is exported as " + q(safe.stem + ext) +
           ", " + safe.how + ", and its title is kept in its entry.");
    }

    const std::string object = "report " + q(path);
    std::string title = held(o.title, "title", object);
    if (title.empty()) {
      title = safe.stem;
      warn("Report " + q(path) + " has no title; it will be published titled " + q(title) + ".");
    }
    std::string unique = title;
    for (int n = 2; dir->reportTitles.count(unique); ++n) unique = numberedName(title, n);
    if (unique != title) {
      warn("Report " + q(path) +
           " shares its title with another report beside it; it is exported "
           "titled " +
           q(unique) + ".");
    }
    dir->reportTitles.insert(unique);
    const ReportEntry entry{unique, held(o.description, "description", object),
                            held(o.reportType, "icon", object), path};

    // A stem is taken by a name beside the file, or by another report's
    // entry that says something else.
    enum class Taken { No, Beside, ByEntry };
    auto taken = [&](const std::string& candidate) {
      if (dir->names.count(foldedName(candidate + ext))) return Taken::Beside;
      auto it = reportEntries_.find(candidate);
      return it != reportEntries_.end() && !it->second.sameAs(entry) ? Taken::ByEntry : Taken::No;
    };
    const Taken given = taken(safe.stem);
    std::string stem = safe.stem;
    for (int n = 2; taken(stem) != Taken::No; ++n) stem = numberedName(safe.stem, n);
    const std::string as = q(safe.stem + ext), now = q(stem + ext);
    if (given == Taken::Beside) {
      warn("Report " + q(path) + " has a file name, " + as +
           ", that another file or folder beside it has (letters compared without regard to "
           "case); its file is exported as " +
           now + ".");
    } else if (given == Taken::ByEntry) {
      warn("Report " + q(path) + " has the file name " + as + " of report " +
           q(reportEntries_[safe.stem].report) +
           " but another title, description or icon; its file is exported as " + now +
           ", since report entries are matched by file name across the whole tree.");
    }
    if (reportEntries_.emplace(stem, entry).second) reportNames_.push_back(stem);

    dir->names.insert(foldedName(stem + ext));
    ExportFile file{dir->path, o.id, path, o.fileSize, o.fileSha256};
    file.path.push_back(stem + ext);
    plan_->files.push_back(file);
    ++plan_->reports;
    exported_[o.id] = object;
    if (!o.thumbnail) {
      warn("Report " + q(path) + " has its thumbnail setting off; the publish turns it on.");
    }
  }

  void planUsers() {
    std::set<std::string> names;
    for (const ObjectRecord& u : s_.users) {
      if (u.title == kAdministrator) continue;
      if (u.title.empty()) {
        warn("A user without a name is not exported.");
        continue;
      }
      if (u.title.find('\\') != std::string::npos) {
        // "\" separates the folder names of a path; a publish skips the user.
        warn("User " + q(u.title) +
             " has \"\\\" in its name, which a publish does not take; it is not exported.");
        continue;
      }
      const std::string object = "user " + q(u.title);
      const std::string name = held(u.title, "name", object);
      if (!names.insert(name).second) {
        warn("A second user named " + q(name) +
             " is not exported, as users are published by name.");
        continue;
      }
      ++plan_->users;
      const std::string full = held(u.fullName, "full name", object);
      const std::string description = held(u.description, "description", object);
      if (u.hasPassword) {
        warn("User " + q(name) +
             " has a password, which is never exported; the user is published without one.");
      }
      if (u.passwordOptions[0] || u.passwordOptions[1] || u.passwordOptions[2]) {
        warn("User " + q(name) + " has password options set; the publish clears them.");
      }
      if (u.licenseType != 0 && u.licenseType != 1) {
        warn("User " + q(name) + " has the licence type " + std::to_string(u.licenseType) +
             "; it is exported as a concurrent user.");
      }
      users_.push_back({{"name", name},
                        {"full", full},
                        {"desc", description},
                        {"named", u.licenseType == 0 ? "1" : ""},
                        {"right", rightOf(u, name)}});
    }
  }

  // How messages name an object a right is on; "" for one outside the
  // export.
  std::string rightObject(int32_t id) const {
    auto exported = exported_.find(id);
    if (exported != exported_.end()) return exported->second;
    for (const ObjectRecord& u : s_.users) {
      if (u.id == id) return "user " + q(u.title);
    }
    return "";
  }

  // The one right a publish grants the user on every top-level folder.
  std::string rightOf(const ObjectRecord& u, const std::string& name) {
    std::map<int32_t, int32_t> onTop;  // folder id -> role
    for (const RightRecord& r : s_.rights) {
      if (r.userId != u.id) continue;
      bool top = false;
      for (const TopFolder& f : topFolders_) top = top || f.id == r.objectId;
      if (top) {
        onTop[r.objectId] = r.role;
        continue;
      }
      const std::string object = rightObject(r.objectId);
      if (!object.empty()) {
        warn("The right " + std::string(roleName(r.role)) + " of user " + q(name) + " on " +
             object + " is not exported: rights are published on top-level folders only.");
      }
    }
    if (topFolders_.empty()) return "";
    if (onTop.empty()) {
      warn("User " + q(name) +
           " has no right on any top-level folder; it is exported without one, which the publish "
           "reports as not valid on every top-level folder.");
      return "";
    }
    const TopFolder* first = nullptr;
    for (const TopFolder& f : topFolders_) {
      if (!first && onTop.count(f.id)) first = &f;
    }
    const int32_t role = onTop[first->id];
    const std::string right = roleName(role);
    for (const auto& other : onTop) {
      if (other.second != role) {
        warn("User " + q(name) +
             " has different rights on the top-level folders; it is exported "
             "with " +
             right + ", its right on " + q(first->path) +
             ", which the publish grants on every top-level folder.");
        break;
      }
    }
    for (const TopFolder& f : topFolders_) {
      if (!onTop.count(f.id)) {
        warn("User " + q(name) + " has no right on the top-level folder " + q(f.path) +
             "; the publish grants it " + right + " there too.");
      }
    }
    return right;
  }

  const RepositorySnapshot& s_;
  ExportPlan* plan_;
  std::map<int32_t, std::vector<const ObjectRecord*>> children_;  // in id order
  std::map<int32_t, const ObjectRecord*> objects_;
  std::map<int32_t, std::string> exported_;  // id -> "folder \"A\\B\"", "report ..."
  struct TopFolder {
    int32_t id;
    std::string path;
  };
  std::vector<TopFolder> topFolders_;  // in the order of the walk
  std::map<std::string, FolderEntry> folderEntries_;
  std::vector<std::string> folderNames_;  // in the order met
  std::map<std::string, ReportEntry> reportEntries_;
  std::vector<std::string> reportNames_;
  std::vector<XmlAttributes> users_;
};

}  // namespace

bool planExport(const RepositorySnapshot& s, const std::string& folderPath, ExportPlan* plan,
                std::string* error) {
  *plan = ExportPlan();
  return Planner(s, plan).run(folderPath, error);
}

}  // namespace korva
