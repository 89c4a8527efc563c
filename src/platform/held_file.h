// A held file: a mark that some work is under way. Its maker holds it while
// the work goes on; nobody else can take it then, in this process or another.
// When the holder lets it go, or its process ends however it ends, the hold
// ends with it, and whoever takes the file over knows that the work's owner
// is gone and may finish or undo what it left.
//
// On POSIX: a file made with O_EXCL and held by flock(LOCK_EX) (a lock of the
// open file, so two holds in one process refuse each other too); the one who
// takes a file checks that the path still names the file it locked. Letting
// go removes the file, then unlocks it; a process that dies leaves the file,
// unlocked. On Windows: a file opened with no sharing and
// FILE_FLAG_DELETE_ON_CLOSE, so that it goes with its last handle, also when
// the process dies.
//
// Thread-safety: the functions keep no state; a HeldFile is used by one
// thread at a time.
// Ownership: a HeldFile owns its hold and its file, and removes the file when
// it goes.
#ifndef KORVA_PLATFORM_HELD_FILE_H_
#define KORVA_PLATFORM_HELD_FILE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace korva {

enum class HoldAnswer {
  Taken,  // nobody held it: *out holds it now
  Held,   // somebody holds it (or it cannot be opened to find out)
  Gone,   // there is no such file
};

class HeldFile {
 public:
  // Removes the file, then ends the hold.
  ~HeldFile();
  HeldFile(const HeldFile&) = delete;
  HeldFile& operator=(const HeldFile&) = delete;

 private:
  friend int createHeldFile(const std::string& path, std::unique_ptr<HeldFile>* out);
  friend HoldAnswer takeHeldFile(const std::string& path, std::unique_ptr<HeldFile>* out);
  HeldFile(std::string path, intptr_t handle) : path_(std::move(path)), handle_(handle) {}

  std::string path_;
  intptr_t handle_;  // the descriptor or handle of the open file
};

// Makes path (in the process's encoding) as a new file, held by *out: 0, or
// the C error number (EEXIST when something is there; EAGAIN when another
// took the new file over before it was held, so try another name).
int createHeldFile(const std::string& path, std::unique_ptr<HeldFile>* out);

// Takes over the file at path unless somebody holds it.
HoldAnswer takeHeldFile(const std::string& path, std::unique_ptr<HeldFile>* out);

}  // namespace korva

#endif  // KORVA_PLATFORM_HELD_FILE_H_
