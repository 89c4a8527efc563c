// The identity of a directory: what tells two paths apart that lead to the
// same directory (through symbolic links, "..", or different spellings). The
// publish walk keeps the identities of the directories it is inside, so that a
// link leading back to one of them is noticed instead of walked forever.
//
// Thread-safety: safe on any thread; no state.
// Ownership: plain values.
#ifndef KORVA_PLATFORM_DIR_IDENTITY_H_
#define KORVA_PLATFORM_DIR_IDENTITY_H_

#include <cstdint>
#include <string>

namespace korva {

struct DirectoryIdentity {
  uint64_t device = 0;
  uint64_t node = 0;
};

inline bool operator==(const DirectoryIdentity& a, const DirectoryIdentity& b) {
  return a.device == b.device && a.node == b.node;
}
inline bool operator!=(const DirectoryIdentity& a, const DirectoryIdentity& b) { return !(a == b); }

// 0 and *identity set for the directory (or file) the path leads to, links
// followed; otherwise the C error number and *identity unchanged.
int directoryIdentity(const std::string& path, DirectoryIdentity* identity);

}  // namespace korva

#endif  // KORVA_PLATFORM_DIR_IDENTITY_H_
