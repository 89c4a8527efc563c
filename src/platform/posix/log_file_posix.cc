// The action log's file on POSIX. The path is walked one name at a time from
// "/" (or the working directory), each name opened relative to the directory
// before it (O_PATH, O_NOFOLLOW), and every symbolic link read through the
// descriptor that was checked. So the owner of each link on the way, and the
// owner and mode of the directory the log lands in, are those of the very
// objects the open goes through, not of whatever the names lead to a moment
// later; nobody can swap a directory between the checks and the open. The
// log's own name is then opened relative to that directory with O_NOFOLLOW
// and O_NONBLOCK and without O_TRUNC, checked through the open descriptor,
// and only then truncated. The rules are those of platform/log_file.h.
//
// O_PATH and readlinkat on an empty name are Linux's; another POSIX system
// needs its own way to read a link through a descriptor.
//
// Thread-safety: safe on any thread; no state.
// Ownership: the walk owns the descriptors it opens and closes them; the
// stream answered belongs to the caller.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/log_file.h"
#include "platform/posix/foreign_owner.h"

namespace korva {
namespace {

// As many links as the system itself follows in one path.
constexpr int kMaxLinks = 40;

// One open descriptor, closed when replaced or destroyed.
class Descriptor {
 public:
  explicit Descriptor(int fd = -1) : fd_(fd) {}
  ~Descriptor() { reset(); }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }
  void reset(int fd = -1) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

// Where the walk is: the directory reached so far and the links of other
// users that led there.
struct Walk {
  Descriptor dir;
  bool foreignLink = false;      // another user's link led here
  uid_t linkOwner = 0;           // that user
  bool severalOwners = false;    // links of more than one other user
  int links = 0;
  // The names still to walk, the next one last.
  std::vector<std::string> names;

  // Puts the names of a path (or a link's text) in front of those still to
  // walk; an absolute one starts again at "/". 0 or the error number.
  int enter(const std::string& path) {
    if (path.empty()) return ENOENT;
    if (path[0] == '/') {
      const int fd = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
      if (fd < 0) return errno;
      dir.reset(fd);
    }
    std::vector<std::string> parts;
    std::string::size_type start = 0;
    while (start <= path.size()) {
      std::string::size_type slash = path.find('/', start);
      if (slash == std::string::npos) slash = path.size();
      std::string part = path.substr(start, slash - start);
      if (!part.empty() && part != ".") parts.push_back(part);
      start = slash + 1;
    }
    // A path ending in "/" (or "/.") names the directory itself.
    const bool endsAtDirectory = path.back() == '/' || path == "." ||
                                 (path.size() >= 2 && path.compare(path.size() - 2, 2, "/.") == 0);
    if (endsAtDirectory || parts.empty()) parts.push_back(".");
    names.insert(names.end(), parts.rbegin(), parts.rend());
    return 0;
  }

  // Counts a link owned by `owner` that the walk follows. 0 or ELOOP.
  int follow(uid_t owner) {
    if (++links > kMaxLinks) return ELOOP;
    if (ownedByOtherUser(owner)) {
      if (foreignLink && linkOwner != owner) severalOwners = true;
      if (!foreignLink) linkOwner = owner;
      foreignLink = true;
    }
    return 0;
  }
};

// The text of the link open at fd.
int readLink(int fd, std::string* text) {
  std::vector<char> buffer(256);
  for (;;) {
    const ssize_t n = ::readlinkat(fd, "", buffer.data(), buffer.size());
    if (n < 0) return errno;
    if (static_cast<size_t>(n) < buffer.size()) {
      text->assign(buffer.data(), static_cast<size_t>(n));
      return 0;
    }
    buffer.resize(buffer.size() * 2);
  }
}

// Opens `name` in the walk's directory without following it: *fd and *st
// describe it. 0 or the error number.
int openName(const Walk& walk, const std::string& name, Descriptor* fd, struct stat* st) {
  fd->reset(::openat(walk.dir.get(), name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
  if (fd->get() < 0) return errno;
  if (::fstat(fd->get(), st) != 0) return errno;
  return 0;
}

// Follows the link open at fd: its text goes in front of the names left.
int followLink(Walk* walk, int fd, const struct stat& st) {
  int error = walk->follow(st.st_uid);
  std::string text;
  if (error == 0) error = readLink(fd, &text);
  if (error == 0) error = walk->enter(text);
  return error;
}

// Walks every name but the last, links followed. 0 or the error number.
int walkToDirectory(Walk* walk) {
  while (walk->names.size() > 1) {
    const std::string name = walk->names.back();
    walk->names.pop_back();
    Descriptor next;
    struct stat st;
    int error = openName(*walk, name, &next, &st);
    if (error != 0) return error;
    if (S_ISLNK(st.st_mode)) {
      error = followLink(walk, next.get(), st);
      if (error != 0) return error;
    } else if (S_ISDIR(st.st_mode)) {
      walk->dir.reset(next.release());
    } else {
      return ENOTDIR;
    }
  }
  return 0;
}

// How the directory the walk reached may be written to.
struct Landing {
  bool shared = false;  // the shared-directory rules apply
  bool refused = false; // another user's link led where that user cannot write
};

int judgeDirectory(const Walk& walk, Landing* landing) {
  struct stat st;
  if (::fstat(walk.dir.get(), &st) != 0) return errno;
  const bool openToAll = openToEveryone(st);
  landing->shared = writableByOthers(st) || walk.foreignLink;
  landing->refused = walk.foreignLink && !openToAll &&
                     (walk.severalOwners || st.st_uid != walk.linkOwner);
  return 0;
}

int refuse(int fd, int error) {
  ::close(fd);
  return error;
}

// Opens the last name for writing in the directory reached and applies the
// checks that need the open file. *retry is set when a private directory's
// name turned out to be a link (to be followed) or changed under the walk.
int openLast(Walk* walk, const Landing& landing, int* fdOut, bool* retry) {
  *retry = false;
  const std::string name = walk->names.back();
  if (!landing.shared) {
    // Only the running user (or root) could have put a link here: follow it.
    Descriptor at;
    struct stat st;
    const int error = openName(*walk, name, &at, &st);
    if (error == 0 && S_ISLNK(st.st_mode)) {
      walk->names.pop_back();
      const int followed = followLink(walk, at.get(), st);
      if (followed != 0) return followed;
      *retry = true;
      return 0;
    }
    if (error != 0 && error != ENOENT) return error;
  }
  const int fd = ::openat(walk->dir.get(), name.c_str(),
                          O_WRONLY | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC,
                          0666);
  if (fd < 0) {
    // A link put at the name since it was looked at: look again, as counted.
    if (errno == ELOOP && !landing.shared) {
      *retry = walk->follow(::geteuid()) == 0;
      return *retry ? 0 : ELOOP;
    }
    return errno;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) return refuse(fd, errno);
  if (landing.shared) {
    if (st.st_uid != ::geteuid()) return refuse(fd, EPERM);
    if (S_ISREG(st.st_mode) && st.st_nlink > 1) return refuse(fd, EMLINK);
  }
  *fdOut = fd;
  return 0;
}

}  // namespace

int openLogFile(const char* path, std::FILE** out) {
  *out = nullptr;
  if (!path || !*path) return ENOENT;
  Walk walk;
  walk.dir.reset(::open(".", O_PATH | O_DIRECTORY | O_CLOEXEC));
  if (walk.dir.get() < 0) return errno;
  int error = walk.enter(path);
  int fd = -1;
  bool retry = true;
  while (error == 0 && retry) {
    error = walkToDirectory(&walk);
    Landing landing;
    if (error == 0) error = judgeDirectory(walk, &landing);
    if (error == 0 && landing.refused) error = EPERM;
    if (error == 0) error = openLast(&walk, landing, &fd, &retry);
  }
  if (error != 0) return error;
  // Writing may wait again (a pipe whose reader is slow), as with any log.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) return refuse(fd, errno);
  struct stat st;
  if (::fstat(fd, &st) != 0) return refuse(fd, errno);
  if (S_ISREG(st.st_mode) && ::ftruncate(fd, 0) != 0) return refuse(fd, errno);
  std::FILE* stream = ::fdopen(fd, "w");
  if (!stream) return refuse(fd, errno);
  *out = stream;
  return 0;
}

}  // namespace korva
