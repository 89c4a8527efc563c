// How a folder's title or a report's file name becomes a name in an
// export's tree. One rule on every platform, so that an export made on one
// publishes from another:
//   - the characters \ / : * ? " < > |, control characters (U+0000 to
//     U+001F and U+007F to U+009F) and characters that this system's file
//     names cannot spell (on Windows: beyond its code page) become "_";
//   - dots and spaces at the end of a name become "_";
//   - a Windows device name (CON, PRN, AUX, NUL, COM1 to COM9, LPT1 to LPT9,
//     in any case) before the name's first dot gets "_" after it;
//   - an empty name becomes "_";
//   - a name longer than 200 bytes is cut to 200 (at a character's start),
//     its extension kept.
// Two names in one directory are one when they differ only in the case of
// letters (ASCII and Latin-1), as on Windows' file systems; the second then
// takes a number: "Name (2)".
//
// Thread-safety: pure functions.
#ifndef KORVA_REPORTSERVER_ADMIN_EXPORT_NAMES_H_
#define KORVA_REPORTSERVER_ADMIN_EXPORT_NAMES_H_

#include <string>

namespace korva {

struct SafeName {
  std::string stem;  // UTF-8; the name is stem + extension
  // "" when the name is as given; else how it was made safe, as words for a
  // warning: "with each character that a file name cannot hold made \"_\"".
  std::string how;
};

// The safe form of stem + extension (extension: "" for a directory, else
// ".rpt" in whatever case; it is kept as it is).
SafeName safeName(const std::string& stem, const std::string& extension);

// The form in which names of one directory are compared.
std::string foldedName(const std::string& name);

// "stem (n)" for n of 2 and more, stem for 1.
std::string numberedName(const std::string& stem, int n);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_ADMIN_EXPORT_NAMES_H_
