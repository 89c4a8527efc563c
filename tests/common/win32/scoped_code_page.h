// The C runtime's multibyte code page set for a test's scope (Windows test
// files only): the double-byte code pages are where the byte of "\" is also
// the second byte of a character.
//
// Thread-safety: changes the process's code page; tests run one at a time.
// Ownership: restores the previous code page when it goes.
#ifndef KORVA_TESTS_COMMON_WIN32_SCOPED_CODE_PAGE_H_
#define KORVA_TESTS_COMMON_WIN32_SCOPED_CODE_PAGE_H_

#include <mbctype.h>

namespace korva_test {

class ScopedCodePage {
 public:
  explicit ScopedCodePage(int page) : previous_(_getmbcp()) { ok_ = _setmbcp(page) == 0; }
  ~ScopedCodePage() { _setmbcp(previous_); }
  ScopedCodePage(const ScopedCodePage&) = delete;
  ScopedCodePage& operator=(const ScopedCodePage&) = delete;
  bool ok() const { return ok_; }

 private:
  int previous_;
  bool ok_ = false;
};

}  // namespace korva_test

#endif  // KORVA_TESTS_COMMON_WIN32_SCOPED_CODE_PAGE_H_
