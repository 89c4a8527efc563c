// The process-wide switches of the file-system, new-tree and net services:
// the operating system's own service (defaultFileSystem, defaultNewTree,
// defaultNetService, from the platform's implementation) unless a test has
// installed another.
//
// Thread-safety: the installed pointers are atomic; installing a service is
// not meant to race with its use.
// Ownership: an installed service stays owned by whoever installed it.
#include <atomic>
#include <string>

#include "platform/filesys.h"
#include "platform/net.h"
#include "platform/new_tree.h"

namespace korva {
namespace {

std::atomic<FileSystem*> gFileSystem{nullptr};
std::atomic<NewTree*> gNewTree{nullptr};
std::atomic<NetService*> gNetService{nullptr};

}  // namespace

FileSystem& fileSystem() {
  FileSystem* installed = gFileSystem.load();
  return installed ? *installed : defaultFileSystem();
}

FileSystem* setFileSystemForTesting(FileSystem* service) { return gFileSystem.exchange(service); }

NewTree& newTree() {
  NewTree* installed = gNewTree.load();
  return installed ? *installed : defaultNewTree();
}

NewTree* setNewTreeForTesting(NewTree* service) { return gNewTree.exchange(service); }

NetService& netService() {
  NetService* installed = gNetService.load();
  return installed ? *installed : defaultNetService();
}

NetService* setNetServiceForTesting(NetService* service) { return gNetService.exchange(service); }

bool officialHostName(const char* name, std::string* out) {
  return netService().officialHostName(name, out);
}

}  // namespace korva
