// The console's pages.
#include "reportserver/serve/console_pages.h"

#include <map>

#include "reportserver/serve/console_html.h"
#include "reportserver/store/record_names.h"

namespace korva {

namespace {

// The snapshot looked up by id and by folder.
class SnapshotIndex {
 public:
  explicit SnapshotIndex(const ConsoleView& view) : view_(view) {
    for (const ObjectRecord& o : view.snapshot.objects) byId_[o.id] = &o;
    // An object whose folder the user may not see is shown at the top.
    for (const ObjectRecord& o : view.snapshot.objects) {
      children_[byId_.count(o.parentId) ? o.parentId : 0].push_back(&o);
    }
    for (const ObjectRecord& u : view.snapshot.users) byId_[u.id] = &u;
    for (const HistoryEntry& e : view.lastChanges) last_[e.objectId] = &e;
  }

  const ObjectRecord* find(int32_t id) const {
    auto it = byId_.find(id);
    return it == byId_.end() ? nullptr : it->second;
  }
  const std::vector<const ObjectRecord*>& children(int32_t folderId) const {
    static const std::vector<const ObjectRecord*> kNone;
    auto it = children_.find(folderId);
    return it == children_.end() ? kNone : it->second;
  }
  bool is(const ObjectRecord& o, PluginKind kind) const { return view_.snapshot.isKind(o, kind); }

  // "Finance / Archive": the object's folders and itself, as far as the user sees them.
  std::string path(int32_t id) const {
    std::string out;
    for (const ObjectRecord* o = find(id); o; o = o->parentId ? find(o->parentId) : nullptr) {
      out = o->title + (out.empty() ? "" : " / " + out);
    }
    return out;
  }

  // "Changed 2026-12-09 17:06:57 UTC by Administrator" (escaped), "" when
  // the history holds nothing about it.
  std::string lastChange(int32_t id) const {
    auto it = last_.find(id);
    if (it == last_.end()) return std::string();
    return "<span class=\"changed\">" + html(it->second->action) + " " +
           html(timeText(it->second->time)) + " by " + html(it->second->userName) + "</span>";
  }

 private:
  const ConsoleView& view_;
  std::map<int32_t, const ObjectRecord*> byId_;
  std::map<int32_t, std::vector<const ObjectRecord*>> children_;
  std::map<int32_t, const HistoryEntry*> last_;
};

PageFrame frameOf(const std::string& aps, const std::string& user, const char* section,
                  const std::string& title) {
  return {aps, user, section, title};
}

// A line of details under a tree entry: its description and last change.
std::string detailsLine(const SnapshotIndex& index, const ObjectRecord& o) {
  std::string parts;
  if (!o.description.empty()) parts = "<span class=\"description\">" + html(o.description) + "</span>";
  const std::string changed = index.lastChange(o.id);
  if (!changed.empty()) parts += (parts.empty() ? "" : " · ") + changed;
  return parts.empty() ? parts : "<div class=\"details\">" + parts + "</div>";
}

void appendTree(const SnapshotIndex& index, int32_t folderId, std::string* out) {
  *out += "<ul>";
  for (const ObjectRecord* o : index.children(folderId)) {
    const std::string id = std::to_string(o->id);
    if (index.is(*o, PluginKind::Folder)) {
      *out += "<li class=\"folder\"><details open data-id=\"" + id + "\"><summary><span class=\"name\">" +
              html(o->title) + "</span></summary>" + detailsLine(index, *o);
      appendTree(index, o->id, out);
      *out += "</details></li>";
    } else if (index.is(*o, PluginKind::Report)) {
      *out += "<li class=\"report\"><a class=\"name\" href=\"/report/" + id + "\">" + html(o->title) +
              "</a>";
      if (o->hasFile) {
        *out += " <span class=\"file\">" + html(o->fileName) + "</span> <span class=\"size\">" +
                sizeText(o->fileSize) + "</span>";
      }
      *out += detailsLine(index, *o) + "</li>";
    } else {
      *out += "<li class=\"other\"><span class=\"name\">" + html(o->title) + "</span> (" +
              html(index.is(*o, PluginKind::User) ? "User" : "object") + ")" +
              detailsLine(index, *o) + "</li>";
    }
  }
  *out += "</ul>";
}

std::string row(const char* name, const std::string& valueHtml) {
  return std::string("<tr><th scope=\"row\">") + name + "</th><td>" + valueHtml + "</td></tr>";
}

}  // namespace

std::string signInPage(const std::string& aps, const std::string& user,
                       const std::string& refusal) {
  std::string body = "<form class=\"signin\" method=\"post\" action=\"/signin\">";
  if (!refusal.empty()) body += "<p class=\"refusal\" role=\"alert\" id=\"refusal\">" + html(refusal) + "</p>";
  body += "<label>User <input name=\"user\" id=\"user\" autocomplete=\"username\" required autofocus"
          " value=\"" + html(user) + "\"></label>"
          "<label>Password <input type=\"password\" name=\"password\" id=\"password\""
          " autocomplete=\"current-password\"></label>"
          "<button type=\"submit\" id=\"signin\">Sign in</button></form>";
  return consoleDocument(frameOf(aps, "", "", "Sign in"), body);
}

std::string treePage(const ConsoleView& view) {
  const SnapshotIndex index(view);
  std::string body;
  if (index.children(0).empty()) {
    body = "<p class=\"empty\">There is nothing here that you may see.</p>";
  } else {
    body = "<p class=\"tools\"><button type=\"button\" id=\"open-all\">Open all</button>"
           "<button type=\"button\" id=\"close-all\">Close all</button></p><div class=\"tree\" id=\"tree\">";
    appendTree(index, 0, &body);
    body += "</div>";
  }
  return consoleDocument(frameOf(view.snapshot.aps, view.user, "tree", "Folders"), body);
}

std::string reportPage(const ConsoleView& view, int32_t reportId) {
  const SnapshotIndex index(view);
  const ObjectRecord* r = index.find(reportId);
  if (!r || !index.is(*r, PluginKind::Report)) return std::string();
  std::string body = "<table class=\"properties\">";
  body += row("Title", html(r->title));
  body += row("Description", html(r->description));
  body += row("Folder", r->parentId ? html(index.path(r->parentId)) : "(top level)");
  body += row("Report type", html(r->reportType));
  body += row("Id", std::to_string(r->id));
  if (r->hasFile) {
    body += row("File", "<span id=\"file-name\">" + html(r->fileName) + "</span>");
    body += row("Size", sizeText(r->fileSize));
    body += row("SHA-256", "<code>" + html(r->fileSha256) + "</code>");
  } else {
    body += row("File", "none");
  }
  body += row("Last change", index.lastChange(r->id));
  body += "</table>";
  if (r->hasFile) {
    body += "<p><a class=\"download\" id=\"download\" href=\"/report/" + std::to_string(r->id) +
            "/file\">Download " + html(r->fileName) + "</a></p>";
  }
  std::string rights;
  for (const RightRecord& right : view.snapshot.rights) {
    const ObjectRecord* u = index.find(right.userId);
    if (right.objectId != r->id || !u) continue;
    rights += "<li>" + html(u->title) + ": " + roleName(right.role) + "</li>";
  }
  if (!rights.empty()) body += "<h2>Rights on this report</h2><ul class=\"rights\">" + rights + "</ul>";
  return consoleDocument(frameOf(view.snapshot.aps, view.user, "tree", r->title), body);
}

std::string usersPage(const ConsoleView& view) {
  const SnapshotIndex index(view);
  std::string body =
      "<table class=\"users\" id=\"users\"><thead><tr><th>User</th><th>Full name</th>"
      "<th>Licence</th><th>Rights</th></tr></thead><tbody>";
  for (const ObjectRecord& u : view.snapshot.users) {
    std::string rights;
    for (const RightRecord& right : view.snapshot.rights) {
      const ObjectRecord* o = index.find(right.objectId);
      if (right.userId != u.id || !o || index.is(*o, PluginKind::User)) continue;
      rights += "<li>" + html(index.path(o->id)) + ": " + roleName(right.role) + "</li>";
    }
    body += "<tr><td class=\"name\">" + html(u.title) + "</td><td>" + html(u.fullName) + "</td><td>" +
            licenceTypeName(u.licenseType) + "</td><td>" +
            (rights.empty() ? std::string() : "<ul class=\"rights\">" + rights + "</ul>") + "</td></tr>";
  }
  body += "</tbody></table>";
  return consoleDocument(frameOf(view.snapshot.aps, view.user, "users", "Users"), body);
}

std::string historyPage(const std::string& aps, const std::string& user, const HistoryPage& page,
                        bool newer) {
  std::string body;
  if (page.entries.empty()) {
    body = "<p class=\"empty\">The history holds nothing here that you may see.</p>";
  } else {
    body = "<table class=\"history\" id=\"history\"><thead><tr><th>Time</th><th>User</th>"
           "<th>Action</th><th>Object</th><th>What changed</th></tr></thead><tbody>";
    for (const HistoryEntry& e : page.entries) {
      body += "<tr><td class=\"time\">" + html(timeText(e.time)) + "</td><td class=\"user\">" +
              html(e.userName) + "</td><td class=\"action\">" + html(e.action) +
              "</td><td class=\"object\">" + html(e.objectType) + " " + html(e.objectTitle) + " (" +
              std::to_string(e.objectId) + ")</td><td class=\"change\">" + html(e.change) + "</td></tr>";
    }
    body += "</tbody></table>";
  }
  std::string pages;
  if (newer) pages += "<a href=\"/history\" id=\"newest\">Newest</a>";
  if (page.more && !page.entries.empty()) {
    pages += "<a href=\"/history?before=" + std::to_string(page.entries.back().id) +
             "\" id=\"older\">Older</a>";
  }
  if (!pages.empty()) body += "<nav class=\"pages\">" + pages + "</nav>";
  return consoleDocument(frameOf(aps, user, "history", "History"), body);
}

std::string messagePage(const std::string& aps, const std::string& user, const std::string& title,
                        const std::string& what) {
  return consoleDocument(frameOf(aps, user, "", title),
                         "<p class=\"empty\">" + html(what) + "</p>");
}

}  // namespace korva
