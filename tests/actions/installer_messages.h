// The messages an installer session of the POSIX stand-in received
// (platform/installer.h), as lines the tests compare: each message as
// "<type> <field> <field>...", the type in eight hex digits, the fields as
// I:<n>, S:<text> or - (null).
//
// Thread-safety: the stand-in's own (every call takes its lock).
// Ownership: the session stays the caller's.
#ifndef KORVA_TESTS_ACTIONS_INSTALLER_MESSAGES_H_
#define KORVA_TESTS_ACTIONS_INSTALLER_MESSAGES_H_

#include <cstdio>
#include <string>
#include <vector>

#include "platform/installer.h"

namespace runner_test {

inline std::vector<std::string> installerMessageLines(MSIHANDLE session) {
  std::vector<std::string> lines;
  for (const korva::InstallerMessage& m : korva::installerMessages(session)) {
    char type[16];
    std::snprintf(type, sizeof type, "%08X", static_cast<unsigned>(m.type));
    std::string out = type;
    for (const auto& f : m.fields) {
      switch (f.kind) {
        case korva::InstallerField::Kind::Integer:
          out += " I:" + std::to_string(f.integer);
          break;
        case korva::InstallerField::Kind::String:
          out += " S:" + f.text;
          break;
        default:
          out += " -";
      }
    }
    lines.push_back(out);
  }
  return lines;
}

}  // namespace runner_test

#endif  // KORVA_TESTS_ACTIONS_INSTALLER_MESSAGES_H_
