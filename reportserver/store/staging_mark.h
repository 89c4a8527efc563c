// The marks of the stagings of report contents. A staging writes contents
// into the repository before its commit and lists them loose under a token
// of its own until the commit takes them; while it runs, it holds a file
// named by that token beside the repository ("<repository>-staging-<token>",
// see held_file.h). Contents listed under a token whose file nobody holds
// (its staging ended, or its process died) are left over, and anyone may
// remove them.
//
// A staging makes its mark before it lists anything under its token, and
// removes what it left before it lets the mark go: a token with no file
// belongs to a staging that has ended.
//
// Thread-safety: the functions keep no state; a StagingMark is used by one
// thread at a time.
// Ownership: a StagingMark holds its file and removes it when it goes.
#ifndef KORVA_REPORTSERVER_STORE_STAGING_MARK_H_
#define KORVA_REPORTSERVER_STORE_STAGING_MARK_H_

#include <memory>
#include <string>
#include <utility>

#include "platform/held_file.h"

namespace korva {

class StagingMark {
 public:
  // Makes a new mark beside the repository at repositoryPath.
  static std::unique_ptr<StagingMark> make(const std::string& repositoryPath, std::string* error);

  const std::string& token() const { return token_; }

 private:
  StagingMark(std::string token, std::unique_ptr<HeldFile> file)
      : token_(std::move(token)), file_(std::move(file)) {}

  std::string token_;
  std::unique_ptr<HeldFile> file_;
};

// Removes the marks beside the repository that nobody holds, but for the
// caller's own (ownToken): left by stagings whose process died (what they
// listed goes with removeLooseContents, which finds their tokens there).
void removeLeftMarks(const std::string& repositoryPath, const std::string& ownToken);

// Whether the staging of the token has ended. When its mark was left
// behind, *mark takes it over: hold it while removing what the staging left;
// letting it go removes the file. A text not of the form of a token counts
// as running: nothing is done with it.
bool takeOverEndedStaging(const std::string& repositoryPath, const std::string& token,
                          std::unique_ptr<HeldFile>* mark);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_STORE_STAGING_MARK_H_
