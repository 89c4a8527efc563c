// msi_ui_host: installs a package the way a setup program with its own user
// interface does, and writes down every message the installer hands it, for
// the installer tests to assert line by line.
//
//   msi_ui_host PACKAGE OUTPUT [PROPERTIES]
//
// The installer's own interface is switched off (MsiSetInternalUI,
// INSTALLUILEVEL_NONE) and a record handler is set (MsiSetExternalUIRecord)
// for action start, action data and progress messages; then
// MsiInstallProductA installs PACKAGE with the property string PROPERTIES
// ("NAME=value NAME2=value2", as on msiexec's command line). OUTPUT gets one
// line per message: the message type in eight hex digits (its low flag bits
// cleared), then each field from 1 on: " I:<n>" for a field that reads as an
// integer, " S:<text>" for any other text, " -" for an empty one; a field 0
// that is not empty follows as " 0:<text>". The last line is "result <n>",
// MsiInstallProductA's answer, which is also the exit status.
//
// Thread-safety: the installer calls the handler one message at a time while
// MsiInstallProductA runs; the handler alone writes the output until that
// call returns. Ownership: the output file belongs to main.
#include <cstdio>
#include <string>

#include "platform/installer.h"

namespace {

std::string fieldText(MSIHANDLE record, UINT field) {
  DWORD length = 0;
  char empty[1] = "";
  if (MsiRecordGetStringA(record, field, empty, &length) != ERROR_MORE_DATA) return std::string();
  std::string text(length + 1, '\0');
  ++length;
  if (MsiRecordGetStringA(record, field, &text[0], &length) != ERROR_SUCCESS) return std::string();
  text.resize(length);
  return text;
}

std::string messageLine(UINT type, MSIHANDLE record) {
  char head[16];
  std::snprintf(head, sizeof head, "%08X", type & 0xFF000000u);
  std::string line = head;
  const UINT fields = MsiRecordGetFieldCount(record);
  for (UINT field = 1; field <= fields && fields != static_cast<UINT>(-1); ++field) {
    if (MsiRecordIsNull(record, field)) {
      line += " -";
      continue;
    }
    const int number = MsiRecordGetInteger(record, field);
    if (number != static_cast<int>(MSI_NULL_INTEGER)) {
      line += " I:" + std::to_string(number);
    } else {
      line += " S:" + fieldText(record, field);
    }
  }
  if (!MsiRecordIsNull(record, 0)) line += " 0:" + fieldText(record, 0);
  return line;
}

INT CALLBACK onMessage(LPVOID context, UINT type, MSIHANDLE record) {
  FILE* out = static_cast<FILE*>(context);
  std::fprintf(out, "%s\n", record ? messageLine(type, record).c_str() : "no record");
  std::fflush(out);
  return IDOK;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 4) {
    std::fprintf(stderr, "usage: msi_ui_host PACKAGE OUTPUT [PROPERTIES]\n");
    return 2;
  }
  FILE* out = std::fopen(argv[2], "wb");
  if (!out) {
    std::fprintf(stderr, "msi_ui_host: cannot write %s\n", argv[2]);
    return 2;
  }
  MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
  const DWORD filter =
      INSTALLLOGMODE_ACTIONSTART | INSTALLLOGMODE_ACTIONDATA | INSTALLLOGMODE_PROGRESS;
  UINT result = MsiSetExternalUIRecord(onMessage, filter, out, nullptr);
  if (result == ERROR_SUCCESS) result = MsiInstallProductA(argv[1], argc == 4 ? argv[3] : "");
  std::fprintf(out, "result %u\n", result);
  std::fclose(out);
  return static_cast<int>(result);
}
