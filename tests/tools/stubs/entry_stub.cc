// A stand-in for the engine library, built only for the program tests. It
// exports doPublishA and doDeleteA like the real library (same calling
// convention, undecorated names); each call writes the function's name and
// its seven arguments to the file named by KORVA_STUB_RECORD ("<null>" for a
// null pointer, the text in brackets otherwise) and answers the number in
// KORVA_STUB_RESULT (0 when unset). The character type locale the program set
// is written to the file named by KORVA_STUB_LOCALE.
//
// Thread-safety: single-threaded programs only. Ownership: nothing is kept.
#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "korvalink.h"
#include "platform/entry_abi.h"

namespace {

int record(const char* function, const char* const* args) {
  if (const char* path = std::getenv("KORVA_STUB_RECORD")) {
    if (FILE* out = std::fopen(path, "w")) {
      std::fprintf(out, "%s\n", function);
      for (int i = 0; i < 7; ++i) {
        if (args[i]) {
          std::fprintf(out, "[%s]\n", args[i]);
        } else {
          std::fprintf(out, "<null>\n");
        }
      }
      std::fclose(out);
    }
  }
  if (const char* path = std::getenv("KORVA_STUB_LOCALE")) {
    if (FILE* out = std::fopen(path, "w")) {
      const char* locale = std::setlocale(LC_CTYPE, nullptr);
      std::fprintf(out, "%s", locale ? locale : "<none>");
      std::fclose(out);
    }
  }
  const char* result = std::getenv("KORVA_STUB_RESULT");
  return result ? std::atoi(result) : 0;
}

}  // namespace

KORVA_ENTRY_EXPORT int KORVA_ENTRY_CALL doPublishA(const char* a1, const char* a2, const char* a3,
                                                   const char* a4, const char* a5, const char* a6,
                                                   const char* a7) {
  const char* const args[] = {a1, a2, a3, a4, a5, a6, a7};
  return record("doPublishA", args);
}

KORVA_ENTRY_EXPORT int KORVA_ENTRY_CALL doDeleteA(const char* a1, const char* a2, const char* a3,
                                                  const char* a4, const char* a5, const char* a6,
                                                  const char* a7) {
  const char* const args[] = {a1, a2, a3, a4, a5, a6, a7};
  return record("doDeleteA", args);
}
