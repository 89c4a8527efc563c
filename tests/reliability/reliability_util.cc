// Helpers of the reliability tests (see reliability_util.h).
#include "reliability/reliability_util.h"

#include <fcntl.h>
#include <grp.h>
#include <openssl/evp.h>
#include <poll.h>
#include <pwd.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <set>
#include <stdexcept>

#include "platform/content_digest.h"

namespace rel {

bool underSanitizer() {
#if defined(__SANITIZE_ADDRESS__)
  return true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
  return true;
#else
  return false;
#endif
#else
  return false;
#endif
}

// ---- WorkDir ------------------------------------------------------------------

namespace {

const char kMemoryFileSystem[] = "/dev/shm";

// The memory file system when it has room for a few repositories and trees,
// with every other test running, else the temporary directory.
fs::path workBase() {
  constexpr unsigned long long kWanted = 512ull * 1024 * 1024;
  struct statvfs vfs;
  if (::statvfs(kMemoryFileSystem, &vfs) == 0 &&
      static_cast<unsigned long long>(vfs.f_bavail) * vfs.f_frsize >= kWanted &&
      ::access(kMemoryFileSystem, W_OK | X_OK) == 0) {
    return kMemoryFileSystem;
  }
  return e2e::tempBase();
}

}  // namespace

WorkDir::WorkDir()
    : TempDir(workBase(), "korva-rel-"), fast_(path().parent_path() == kMemoryFileSystem) {}

// ---- Process ------------------------------------------------------------------

Process::Process(const std::string& program, const std::vector<std::string>& args,
                 const Options& options) {
  e2e::ExecLists exec(program, args, options.env);
  const std::string output = options.output.empty() ? "/dev/null" : options.output;

  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    int out = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    int in = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (out < 0 || in < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(out, 2) < 0) {
      ::_exit(126);
    }
    if (options.uid != static_cast<uid_t>(-1)) {
      if (::setgroups(0, nullptr) != 0 || ::setgid(options.gid) != 0 ||
          ::setuid(options.uid) != 0) {
        ::_exit(125);
      }
    }
    ::execve(program.c_str(), exec.argv.data(), exec.envp.data());
    ::_exit(127);
  }
}

Process::~Process() {
  if (pid_ > 0 && !reaped_) {
    ::kill(pid_, SIGKILL);
    wait();
  }
}

void Process::reap(int flags) {
  if (reaped_) return;
  int status = 0;
  struct rusage usage;
  pid_t r = ::wait4(pid_, &status, flags, &usage);
  if (r == pid_) {
    reaped_ = true;
    status_ = status;
    maxResidentKb_ = usage.ru_maxrss;
  } else if (r < 0 && errno != EINTR) {
    reaped_ = true;
    status_ = -1;
  }
}

bool Process::running() {
  reap(WNOHANG);
  return !reaped_;
}

void Process::kill(int signal) {
  if (!reaped_) ::kill(pid_, signal);
}

int Process::wait() {
  while (!reaped_) reap(0);
  if (WIFEXITED(status_)) return WEXITSTATUS(status_);
  if (WIFSIGNALED(status_)) return 128 + WTERMSIG(status_);
  return -1;
}

// ---- LogWatcher ---------------------------------------------------------------

LogWatcher::LogWatcher(const fs::path& file) : file_(file) {
  fd_ = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (fd_ >= 0) {
    ::inotify_add_watch(fd_, file.parent_path().c_str(),
                        IN_MODIFY | IN_CREATE | IN_CLOSE_WRITE | IN_MOVED_TO);
  }
}

LogWatcher::~LogWatcher() {
  if (fd_ >= 0) ::close(fd_);
}

void LogWatcher::readNew() {
  int fd = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat st;
  if (::fstat(fd, &st) == 0 && st.st_size < offset_) {
    offset_ = 0;  // truncated: a new run's log
    lines_ = 0;
  }
  char buffer[65536];
  while (true) {
    ssize_t n = ::pread(fd, buffer, sizeof buffer, offset_);
    if (n <= 0) break;
    // Only complete lines count: stop after the last line end read.
    ssize_t used = n;
    while (used > 0 && buffer[used - 1] != '\n') --used;
    if (used == 0) break;
    lines_ += static_cast<int>(std::count(buffer, buffer + used, '\n'));
    offset_ += used;
    if (used < n) break;
  }
  ::close(fd);
}

bool LogWatcher::waitForLines(int n, Process& process) {
  while (true) {
    readNew();
    if (lines_ >= n) return true;
    if (!process.running()) {
      readNew();
      return lines_ >= n;
    }
    // Wake on the next change of the directory (or after a while, to notice
    // the end of a process that writes nothing more).
    struct pollfd p = {fd_, POLLIN, 0};
    if (fd_ >= 0 && ::poll(&p, 1, 100) > 0) {
      char events[4096];
      while (::read(fd_, events, sizeof events) > 0) {
      }
    } else if (fd_ < 0) {
      ::usleep(1000);
    }
  }
}

// ---- users --------------------------------------------------------------------

bool unprivilegedUser(uid_t* uid, gid_t* gid) {
  if (::geteuid() != 0) {
    *uid = static_cast<uid_t>(-1);  // already unprivileged: run as ourselves
    *gid = static_cast<gid_t>(-1);
    return true;
  }
  const struct passwd* pw = ::getpwnam("nobody");
  if (!pw || pw->pw_uid == 0) return false;
  *uid = pw->pw_uid;
  *gid = pw->pw_gid;
  return true;
}

void chownTree(const fs::path& top, uid_t uid, gid_t gid) {
  if (uid == static_cast<uid_t>(-1)) return;
  ::lchown(top.c_str(), uid, gid);
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(top, ec); it != fs::recursive_directory_iterator();
       it.increment(ec)) {
    ::lchown(it->path().c_str(), uid, gid);
  }
}

// ---- trees and instructions ---------------------------------------------------

namespace {

std::string folderName(int i) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "F%02d", i);
  return buf;
}

std::string reportName(int i) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "R%02d.rpt", i);
  return buf;
}

std::string xmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

void buildTree(const fs::path& top, const TreeShape& shape) {
  for (int f = 0; f < shape.folders; ++f) {
    for (int s = 0; s < shape.subFolders; ++s) {
      const fs::path dir = top / folderName(f) / ("S" + std::to_string(s));
      fs::create_directories(dir);
      for (int r = 0; r < shape.reports; ++r) {
        const std::string relative =
            folderName(f) + "/S" + std::to_string(s) + "/" + reportName(r);
        std::string content;
        if (std::find(shape.big.begin(), shape.big.end(), relative) != shape.big.end()) {
          // Bytes that do not compress or repeat: a digest mix-up would show.
          content.resize(static_cast<size_t>(shape.bigBytes));
          uint64_t x = std::hash<std::string>()(relative) | 1;
          for (char& c : content) {
            x ^= x << 13;
            x ^= x >> 7;
            x ^= x << 17;
            c = static_cast<char>(x);
          }
        } else {
          for (int line = 0; line < 8; ++line) content += "report " + relative + " line " +
                                                             std::to_string(line) + "\n";
        }
        e2e::writeFile(dir / reportName(r), content);
      }
    }
  }
}

int folderCount(const TreeShape& shape) { return shape.folders * (1 + shape.subFolders); }
int reportCount(const TreeShape& shape) {
  return shape.folders * shape.subFolders * shape.reports;
}

void writeInstructions(const fs::path& file, const PublishValues& values) {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<publish>\n  <users right=\"View\">\n";
  for (const auto& [name, user] : values.users) {
    xml += "    <user name=\"" + xmlEscape(name) + "\" pass=\"" + xmlEscape(user.first) +
           "\" full=\"" + xmlEscape(user.second) + "\"/>\n";
  }
  xml += "  </users>\n  <folders desc=\"" + xmlEscape(values.folderDescription) +
         "\" overwrite=\"1\"/>\n  <reports desc=\"" + xmlEscape(values.reportDescription) +
         "\" icon=\"" + xmlEscape(values.reportIcon) + "\" overwrite=\"1\"/>\n</publish>\n";
  e2e::writeFile(file, xml);
}

// ---- repository checks --------------------------------------------------------

namespace {

struct DbCloser {
  void operator()(sqlite3* db) const { sqlite3_close(db); }
};
struct StmtCloser {
  void operator()(sqlite3_stmt* st) const { sqlite3_finalize(st); }
};
using Stmt = std::unique_ptr<sqlite3_stmt, StmtCloser>;

Stmt prepare(sqlite3* db, const char* sql) {
  sqlite3_stmt* st = nullptr;
  sqlite3_prepare_v2(db, sql, -1, &st, nullptr);
  return Stmt(st);
}

std::string text(sqlite3_stmt* st, int column) {
  const unsigned char* t = sqlite3_column_text(st, column);
  return t ? std::string(reinterpret_cast<const char*>(t)) : std::string();
}

// Runs a query whose every row is a problem, described by `describe`.
void collect(sqlite3* db, const char* sql, std::vector<std::string>* problems,
             const std::function<std::string(sqlite3_stmt*)>& describe) {
  Stmt st = prepare(db, sql);
  if (!st) {
    problems->push_back(std::string("cannot run \"") + sql + "\": " + sqlite3_errmsg(db));
    return;
  }
  int rc;
  while ((rc = sqlite3_step(st.get())) == SQLITE_ROW) problems->push_back(describe(st.get()));
  if (rc != SQLITE_DONE) problems->push_back(std::string("query failed: ") + sqlite3_errmsg(db));
}

struct Node {
  std::string title;
  int64_t parent = 0;
  std::string kind;
};

}  // namespace

std::vector<std::string> repositoryProblems(const fs::path& dbPath, const fs::path& tree,
                                            const PublishValues& values) {
  std::vector<std::string> problems;
  sqlite3* raw = nullptr;
  if (sqlite3_open_v2(dbPath.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
    problems.push_back("cannot open " + dbPath.string() + ": " +
                       (raw ? sqlite3_errmsg(raw) : "no memory"));
    sqlite3_close(raw);
    return problems;
  }
  std::unique_ptr<sqlite3, DbCloser> db(raw);
  sqlite3_busy_timeout(raw, 10000);

  {
    Stmt st = prepare(raw, "PRAGMA integrity_check");
    std::vector<std::string> rows;
    while (st && sqlite3_step(st.get()) == SQLITE_ROW) rows.push_back(text(st.get(), 0));
    if (rows != std::vector<std::string>{"ok"}) {
      std::string all;
      for (const std::string& r : rows) all += " " + r;
      problems.push_back("integrity_check:" + all);
    }
  }
  collect(raw, "PRAGMA foreign_key_check", &problems, [](sqlite3_stmt* st) {
    return "foreign key broken in " + text(st, 0) + " row " + text(st, 1);
  });
  collect(raw,
          "SELECT o.id, o.title FROM objects o WHERE o.parent_id <> 0 AND NOT EXISTS"
          " (SELECT 1 FROM objects p JOIN plugins k ON k.type_id = p.type_id"
          "  WHERE p.id = o.parent_id AND k.kind = 'folder')",
          &problems, [](sqlite3_stmt* st) {
            return "object " + text(st, 0) + " \"" + text(st, 1) + "\" has no folder as parent";
          });
  collect(raw,
          "SELECT o.id, k.kind FROM objects o JOIN plugins k ON k.type_id = o.type_id"
          " WHERE (k.kind = 'report') <> EXISTS (SELECT 1 FROM reports r WHERE r.id = o.id)"
          " OR (k.kind = 'user') <> EXISTS (SELECT 1 FROM users u WHERE u.id = o.id)",
          &problems, [](sqlite3_stmt* st) {
            return text(st, 1) + " " + text(st, 0) + " lacks (or has foreign) rows of its kind";
          });
  collect(raw,
          "SELECT parent_id, type_id, title, COUNT(*) FROM objects"
          " GROUP BY parent_id, type_id, title HAVING COUNT(*) > 1",
          &problems, [](sqlite3_stmt* st) {
            return text(st, 3) + " objects of type " + text(st, 1) + " titled \"" + text(st, 2) +
                   "\" in folder " + text(st, 0);
          });
  collect(raw,
          "SELECT c.id FROM contents c WHERE NOT EXISTS"
          " (SELECT 1 FROM reports r WHERE r.content_id = c.id) AND NOT EXISTS"
          " (SELECT 1 FROM loose_contents l WHERE l.content_id = c.id)",
          &problems, [](sqlite3_stmt* st) {
            return "content " + text(st, 0) + " is held by no report and not listed loose";
          });
  collect(raw,
          "SELECT next_id, (SELECT MAX(id) FROM objects) FROM id_sequence"
          " WHERE next_id <= (SELECT MAX(id) FROM objects)",
          &problems, [](sqlite3_stmt* st) {
            return "the id sequence (" + text(st, 0) + ") is behind the ids in use (" +
                   text(st, 1) + ")";
          });
  {
    Stmt st = prepare(raw,
                      "SELECT o.id, o.title, o.description FROM objects o JOIN plugins k"
                      " ON k.type_id = o.type_id WHERE k.kind = 'folder' AND o.description <> ?1");
    sqlite3_bind_text(st.get(), 1, values.folderDescription.c_str(), -1, SQLITE_TRANSIENT);
    while (sqlite3_step(st.get()) == SQLITE_ROW) {
      problems.push_back("folder " + text(st.get(), 0) + " \"" + text(st.get(), 1) +
                         "\" has the description \"" + text(st.get(), 2) + "\"");
    }
  }
  {
    Stmt st = prepare(raw,
                      "SELECT o.id, u.full_name, u.password IS NOT NULL FROM objects o"
                      " JOIN users u ON u.id = o.id WHERE o.title = ?1");
    for (const auto& [name, user] : values.users) {
      sqlite3_reset(st.get());
      sqlite3_bind_text(st.get(), 1, name.c_str(), -1, SQLITE_TRANSIENT);
      while (sqlite3_step(st.get()) == SQLITE_ROW) {
        if (text(st.get(), 1) != user.second || sqlite3_column_int(st.get(), 2) == 0) {
          problems.push_back("user " + name + " lacks its full name or password");
        }
      }
    }
  }

  // Reports: the stored content against its size and digest and against
  // the file it came from.
  std::map<int64_t, Node> nodes;
  {
    Stmt st = prepare(raw,
                      "SELECT o.id, o.title, o.parent_id, k.kind FROM objects o JOIN plugins k"
                      " ON k.type_id = o.type_id");
    while (sqlite3_step(st.get()) == SQLITE_ROW) {
      nodes[sqlite3_column_int64(st.get(), 0)] = {text(st.get(), 1),
                                                  sqlite3_column_int64(st.get(), 2),
                                                  text(st.get(), 3)};
    }
  }
  auto folderPath = [&](int64_t id) {
    std::vector<std::string> parts;
    for (int depth = 0; id != 0 && depth < 1000; ++depth) {
      auto it = nodes.find(id);
      if (it == nodes.end()) return fs::path("<missing>");
      parts.push_back(it->second.title);
      id = it->second.parent;
    }
    fs::path p;
    for (auto it = parts.rbegin(); it != parts.rend(); ++it) p /= *it;
    return p;
  };
  Stmt reports = prepare(raw,
                         "SELECT r.id, o.title, o.parent_id, o.description, r.report_type,"
                         " r.thumbnail, r.file_name, r.file_size, r.file_sha256,"
                         " c.size IS r.file_size AND c.sha256 IS r.file_sha256,"
                         " EXISTS (SELECT 1 FROM loose_contents l WHERE l.content_id = c.id)"
                         " FROM reports r JOIN objects o ON o.id = r.id"
                         " LEFT JOIN contents c ON c.id = r.content_id ORDER BY r.id");
  Stmt chunks = prepare(raw,
                        "SELECT k.seq, k.data FROM reports r JOIN content_chunks k"
                        " ON k.content_id = r.content_id WHERE r.id = ?1 ORDER BY k.seq");
  while (sqlite3_step(reports.get()) == SQLITE_ROW) {
    sqlite3_stmt* r = reports.get();
    const int64_t id = sqlite3_column_int64(r, 0);
    const std::string name = "report " + std::to_string(id) + " \"" + text(r, 1) + "\"";
    if (text(r, 3) != values.reportDescription || text(r, 4) != values.reportIcon ||
        sqlite3_column_int(r, 5) != 1) {
      problems.push_back(name + " lacks its description, icon or thumbnail flag");
    }
    if (sqlite3_column_type(r, 6) == SQLITE_NULL) {
      problems.push_back(name + " has no file");
      continue;
    }
    if (sqlite3_column_int(r, 9) != 1) {
      problems.push_back(name + " has no content of its recorded size and digest");
    }
    if (sqlite3_column_int(r, 10) != 0) problems.push_back(name + " holds a content listed loose");
    std::unique_ptr<EVP_MD_CTX, void (*)(EVP_MD_CTX*)> digest(EVP_MD_CTX_new(), EVP_MD_CTX_free);
    EVP_DigestInit_ex(digest.get(), EVP_sha256(), nullptr);
    sqlite3_reset(chunks.get());
    sqlite3_bind_int64(chunks.get(), 1, id);
    int64_t size = 0;
    int64_t expectedSeq = 0;
    bool ordered = true;
    while (sqlite3_step(chunks.get()) == SQLITE_ROW) {
      ordered = ordered && sqlite3_column_int64(chunks.get(), 0) == expectedSeq++;
      const int bytes = sqlite3_column_bytes(chunks.get(), 1);
      EVP_DigestUpdate(digest.get(), sqlite3_column_blob(chunks.get(), 1),
                       static_cast<size_t>(bytes));
      size += bytes;
    }
    unsigned char hash[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(digest.get(), hash, &length);
    const std::string storedSha = korva::lowerHex(hash, length);
    if (!ordered) problems.push_back(name + " has its content in broken order");
    if (size != sqlite3_column_int64(r, 7) || storedSha != text(r, 8)) {
      problems.push_back(name + " holds " + std::to_string(size) + " bytes (sha256 " + storedSha +
                         ") but records " + text(r, 7) + " bytes (sha256 " + text(r, 8) + ")");
    }
    const fs::path source = tree / folderPath(sqlite3_column_int64(r, 2)) / text(r, 6);
    if (!fs::exists(source) || e2e::sha256OfFile(source) != storedSha) {
      problems.push_back(name + " does not hold the content of " + source.string());
    }
  }
  return problems;
}

std::vector<std::string> stagingLeftovers(const fs::path& dbPath) {
  std::vector<std::string> leftovers;
  sqlite3* raw = nullptr;
  if (sqlite3_open_v2(dbPath.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    leftovers.push_back("cannot open " + dbPath.string());
    sqlite3_close(raw);
    return leftovers;
  }
  std::unique_ptr<sqlite3, DbCloser> db(raw);
  collect(raw, "SELECT content_id, staging FROM loose_contents", &leftovers, [](sqlite3_stmt* st) {
    return "content " + text(st, 0) + " is listed loose (staging \"" + text(st, 1) + "\")";
  });
  const std::string marks = dbPath.filename().string() + "-staging-";
  for (const fs::directory_entry& entry : fs::directory_iterator(dbPath.parent_path())) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(marks, 0) == 0) leftovers.push_back("the mark " + name + " is left");
  }
  return leftovers;
}

// ---- dumps and logs -----------------------------------------------------------

std::vector<std::string> canonicalDump(const e2e::Json& dump) {
  std::vector<std::string> lines;
  lines.push_back("aps " + dump["aps"].text);
  for (const e2e::Json& p : dump["plugins"].items) {
    lines.push_back("plugin " + p["name"].text + " " + std::to_string(p["typeId"].integer()));
  }
  std::map<int64_t, std::string> userNames;
  for (const e2e::Json& u : dump["users"].items) {
    userNames[u["id"].integer()] = u["name"].text;
    std::string options;
    for (const e2e::Json& o : u["passwordOptions"].items) options += o.boolean ? "1" : "0";
    lines.push_back("user " + u["name"].text + " full=" + u["fullName"].text +
                    " desc=" + u["description"].text +
                    " licence=" + std::to_string(u["licenseType"].integer()) +
                    " password=" + (u["hasPassword"].boolean ? "yes" : "no") +
                    " options=" + options);
  }
  std::map<int64_t, const e2e::Json*> byId;
  for (const e2e::Json& o : dump["objects"].items) byId[o["id"].integer()] = &o;
  std::function<std::string(int64_t, int)> pathOf = [&](int64_t id, int depth) -> std::string {
    if (id == 0) return "";
    auto it = byId.find(id);
    if (it == byId.end() || depth > 1000) return "?" + std::to_string(id);
    return pathOf((*it->second)["parentId"].integer(), depth + 1) + "/" +
           (*it->second)["title"].text;
  };
  for (const e2e::Json& o : dump["objects"].items) {
    std::string line = o["type"].text + " " + pathOf(o["id"].integer(), 0) +
                       " desc=" + o["description"].text;
    if (o.has("reportType")) {
      line += " type=" + o["reportType"].text + " thumbnail=" +
              (o["thumbnail"].boolean ? "1" : "0") + " file=";
      const e2e::Json& file = o["file"];
      line += file.kind == e2e::Json::Kind::Null
                  ? std::string("none")
                  : file["name"].text + "," + std::to_string(file["size"].integer()) + "," +
                        file["sha256"].text;
    }
    std::vector<std::string> rights;
    for (const e2e::Json& r : o["rights"].items) {
      auto name = userNames.find(r["userId"].integer());
      rights.push_back((name == userNames.end() ? "?" : name->second) + ":" +
                       std::to_string(r["role"].integer()));
    }
    std::sort(rights.begin(), rights.end());
    line += " rights=";
    for (const std::string& r : rights) line += r + ";";
    lines.push_back(line);
  }
  std::sort(lines.begin(), lines.end());
  return lines;
}

std::vector<std::string> logLines(const fs::path& file) {
  return e2e::maskedLines(e2e::readFile(file));
}

std::vector<int> publishCounters(const std::vector<std::string>& lines) {
  static const char kHead[] =
      "--- INFO  --- (action): Successfully added/updated users, folders, and reports based on ";
  static const char* const kWords[9] = {"users added.",     "users updated.",   "users skipped.",
                                        "folders added.",   "folders updated.", "folders skipped.",
                                        "reports added.",   "reports updated.", "reports skipped."};
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind(kHead, 0) != 0) continue;
    if (i + 9 >= lines.size()) return {};
    std::vector<int> counters;
    for (int k = 0; k < 9; ++k) {
      const std::string& line = lines[i + 1 + static_cast<size_t>(k)];
      int value = 0;
      char word[32] = {0};
      char kind[32] = {0};
      if (std::sscanf(line.c_str(), "--- INFO  --- (action): %d %31s %31s", &value, word, kind) !=
              3 ||
          std::string(word) + " " + kind != kWords[k]) {
        return {};
      }
      counters.push_back(value);
    }
    return counters;
  }
  return {};
}

}  // namespace rel
