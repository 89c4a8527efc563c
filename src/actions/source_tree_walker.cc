// The traversal shared by the publish walk and the count for the progress
// bar: listing, loop detection and the classification of each entry.
#include "actions/source_tree_walker.h"

#include "common/status.h"
#include "support/containers.h"
#include "support/file_sys.h"
#include "support/path_util.h"

namespace {

// True for a file name whose extension is ".rpt" in any letter case; *baseName
// then holds the name without it.
bool isReportFile(const SAnsiString& fileName, SAnsiString* baseName) {
  SAnsiString drive;
  SAnsiString dir;
  SAnsiString name;
  SAnsiString ext;
  splitPath(fileName, &drive, &dir, &name, &ext);
  if (!(SAnsiStringCI(ext) == ".rpt")) return false;
  *baseName = name;
  return true;
}

CMAWalkFrame frameFor(const SAnsiString& path, const CMAWalkFrame* parent) {
  CMAWalkFrame frame;
  frame.parent = parent;
  frame.known = korva::directoryIdentity(path.getBuffer(), &frame.identity) == 0;
  return frame;
}

// Whether e is the failure to read one entry of directory; *entry then names it.
bool unreadableEntryOf(const SFileSysException& e, const SAnsiString& directory,
                       CMAUnreadableEntry* entry) {
  if (!SFileSys::isEntryFailure(e, directory)) return false;
  entry->path = e.path();
  entry->reason = e.reason();
  return true;
}

}  // namespace

bool CMAWalkFrame::leadsBackTo(const korva::DirectoryIdentity& other) const {
  for (const CMAWalkFrame* frame = this; frame; frame = frame->parent) {
    if (frame->known && frame->identity == other) return true;
  }
  return false;
}

bool holdsPathSeparator(const SAnsiString& name) {
  return name.findString("\\") != SAnsiString::npos;
}

bool CMASourceTreeWalker::Entry::isProgressItem() const {
  switch (kind) {
    case Kind::kFolder:
    case Kind::kFolderNamedWithBackslash:
    case Kind::kFolderLeadingBack:
    case Kind::kReport:
    case Kind::kReportNamedWithBackslash:
      return true;
    case Kind::kUnfollowedLink:
      // What it leads to is never looked at; its name is all there is.
      return reportName;
    case Kind::kOther:
      break;
  }
  return false;
}

int CMASourceTreeWalker::walk(const SAnsiString& root) {
  CMAWalkFrame top = frameFor(root, nullptr);
  return walkInto(root, top, 0);
}

int CMASourceTreeWalker::walkInto(const SAnsiString& path, const CMAWalkFrame& here, int depth) {
  try {
    SIArray<FileProp> entries;
    SFileSys::listing(path, SAnsiString("*"), entries);
    for (int i = 0; i < entries.getCount(); ++i) {
      const FileProp& prop = entries[i];
      Entry entry;
      entry.depth = depth;
      entry.name = prop.name;
      entry.path = joinPath(path, prop.name);
      // A link that is not followed says nothing of being a directory.
      bool directory = prop.isDirectory && !prop.isUnfollowedLink;
      if (!directory) entry.reportName = isReportFile(prop.name, &entry.baseName);
      if (prop.isUnfollowedLink) {
        entry.kind = Kind::kUnfollowedLink;
      } else if (!directory) {
        if (!entry.reportName) {
          entry.kind = Kind::kOther;
        } else if (holdsPathSeparator(prop.name)) {
          entry.kind = Kind::kReportNamedWithBackslash;
        } else {
          entry.kind = Kind::kReport;
        }
      } else if (holdsPathSeparator(prop.name)) {
        entry.kind = Kind::kFolderNamedWithBackslash;
      } else {
        CMAWalkFrame child = frameFor(entry.path, &here);
        if (child.known && here.leadsBackTo(child.identity)) {
          entry.kind = Kind::kFolderLeadingBack;
          visitor_.visit(entry);
        } else {
          entry.kind = Kind::kFolder;
          // A sub-directory reports its own failure; the walk goes on.
          if (visitor_.visit(entry)) walkInto(entry.path, child, depth + 1);
        }
        continue;
      }
      visitor_.visit(entry);
    }
  } catch (const SFileSysException& e) {
    // The entry that failed the listing is named with its directory.
    CMAUnreadableEntry entry;
    bool named = unreadableEntryOf(e, path, &entry);
    visitor_.directoryFailed(path, depth, named ? &entry : nullptr);
    return kStatusSystem;
  } catch (...) {
    visitor_.directoryFailed(path, depth, nullptr);
    return kStatusSystem;
  }
  return kStatusOk;
}
