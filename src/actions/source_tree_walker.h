// CMASourceTreeWalker: the one traversal of a publish source directory. It
// lists each directory depth first, in the listing's order, tells every entry
// what it is to the publish action (a folder to enter, a folder skipped for
// its name or because it leads back to a directory the walk is inside, a
// report file, a report file skipped for its name, another user's link that
// is not followed, anything else) and hands it to a visitor. The publish walk
// and the count for the installer's progress bar both go through it, so the
// count is always the number of progress items the walk sends, short of what
// lies inside folders the walk could not add.
//
// The walker remembers the directories it is inside by their identity, not
// their path: a link back to one of them is classified, never entered, so a
// looping tree neither runs forever nor exhausts the stack.
//
// Thread-safety: one walker serves one walk on the caller's thread; it has no
// state beyond the walk in progress.
// Ownership: the walker refers to its visitor, which the caller owns and
// which must outlive the walk; entries handed to the visitor live for the
// call only.
#ifndef KORVA_ACTIONS_SOURCE_TREE_WALKER_H_
#define KORVA_ACTIONS_SOURCE_TREE_WALKER_H_

#include "platform/dir_identity.h"
#include "support/sstring.h"

// One directory the walk is inside, linked to the one that holds it.
struct CMAWalkFrame {
  korva::DirectoryIdentity identity;
  bool known = false;  // false when the identity could not be had
  const CMAWalkFrame* parent = nullptr;

  // True when this directory or one that holds it has the identity.
  bool leadsBackTo(const korva::DirectoryIdentity& other) const;
};

// An entry whose status could not be read, which failed its directory's
// listing: its full path and the system's reason (empty path: none).
struct CMAUnreadableEntry {
  SAnsiString path;
  SAnsiString reason;
};

// "\" separates the folder names of Veltrane Enterprise paths (the delete
// action's folder and report paths): an object whose name holds one could
// never be named there, and its path would name another object.
bool holdsPathSeparator(const SAnsiString& name);

class CMASourceTreeWalker {
 public:
  // What an entry of a source directory is to the publish action.
  enum class Kind {
    kFolder,                    // a sub-directory to publish and enter
    kFolderNamedWithBackslash,  // a sub-directory whose name holds "\": skipped
    kFolderLeadingBack,         // a sub-directory that leads back to one the walk is in
    kReport,                    // a ".rpt" file (any letter case)
    kReportNamedWithBackslash,  // a ".rpt" file whose name holds "\": skipped
    kUnfollowedLink,            // another user's link in a directory others can write
    kOther,                     // any other file: ignored
  };

  struct Entry {
    Kind kind = Kind::kOther;
    int depth = 0;            // 0 for the entries of the directory walked
    SAnsiString name;         // within its directory
    SAnsiString path;         // the directory joined with the name
    bool reportName = false;  // the name is a report file's ...
    SAnsiString baseName;     // ... and this is it without ".rpt"

    // True for an entry the publish walk sends one progress item for: every
    // sub-directory, whatever becomes of it, and every name of a report file,
    // also a link's that is not followed.
    bool isProgressItem() const;
  };

  class Visitor {
   public:
    virtual ~Visitor() = default;
    // Every entry, in the order of its directory's listing. For a kFolder
    // entry, true enters it next: its entries come before the rest of this
    // directory's. The answer for any other kind is not examined.
    virtual bool visit(const Entry& entry) = 0;
    // The directory at depth (0: the one walked) could not be listed, or a
    // visit inside it threw; the rest of it is passed over. unreadable names
    // the entry that failed the listing, or is null.
    virtual void directoryFailed(const SAnsiString& path, int depth,
                                 const CMAUnreadableEntry* unreadable) = 0;
  };

  explicit CMASourceTreeWalker(Visitor& visitor) : visitor_(visitor) {}
  CMASourceTreeWalker(const CMASourceTreeWalker&) = delete;
  CMASourceTreeWalker& operator=(const CMASourceTreeWalker&) = delete;

  // Walks the directory root: 200, or 204 when root itself failed (after
  // directoryFailed). A sub-directory's failure does not fail the walk.
  int walk(const SAnsiString& root);

 private:
  int walkInto(const SAnsiString& path, const CMAWalkFrame& here, int depth);

  Visitor& visitor_;
};

#endif  // KORVA_ACTIONS_SOURCE_TREE_WALKER_H_
