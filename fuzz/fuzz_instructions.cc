// Fuzz target: the publish instructions reader over whole documents. The
// first byte chooses how the document reaches the reader: as wide text in
// memory (parseText; the bytes decoded as UTF-8, or taken four at a time as
// raw wide units, surrogates and all) or as a file (parseFile over a
// temporary file holding the bytes as they are), and the locale (the user's
// UTF-8, or "C", where non-ASCII values cannot be converted).
//
// Expectations: the parse answers 200, 1031 or 203 and never 204 (the reader
// is always available); after a 200 every stored entry has its name as key
// and the maps hand out their entries in ascending order; a second
// initialize empties everything.
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

#include "common/action_log.h"
#include "common/status.h"
#include "fuzz/fuzz_util.h"
#include "instructions/handler_publish.h"
#include "platform/com.h"

namespace {

std::string gFilePath;

void checkMap(const CMAMetaObjMap& map, const char* kind) {
  CMAMetaObj** values = nullptr;
  int count = 0;
  FUZZ_CHECK(map.getValues(&values, &count), kind);
  FUZZ_CHECK(count == map.getCount(), kind);
  for (int i = 0; i < count; ++i) {
    const SAnsiString& name = values[i]->getName();
    FUZZ_CHECK(!name.isEmpty(), std::string(kind) + ": an entry without a name was stored");
    CMAMetaObj* found = nullptr;
    FUZZ_CHECK(map.lookup(name, &found) && found == values[i],
               std::string(kind) + ": entry not found under its name " +
                   korva_fuzz::printable(std::string(name.getBuffer())));
    if (i > 0) {
      FUZZ_CHECK(values[i - 1]->getName() < name, std::string(kind) + ": not in ascending order");
    }
  }
  delete[] values;
}

std::wstring rawWide(const std::string& bytes) {
  std::wstring out;
  for (size_t i = 0; i + 4 <= bytes.size(); i += 4) {
    uint32_t v = static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8 |
                 static_cast<uint8_t>(bytes[i + 2]) << 16 |
                 static_cast<uint32_t>(static_cast<uint8_t>(bytes[i + 3])) << 24;
    v &= 0x1FFFFF;  // up to a little past U+10FFFF
    if (v == 0) v = L' ';
    out.push_back(static_cast<wchar_t>(v));
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  // Warnings and errors of the reader are not what is checked here.
  ActionLog::open("/dev/null");
  const char* tmp = std::getenv("TMPDIR");
  gFilePath = std::string(tmp && *tmp ? tmp : "/tmp") + "/korva-fuzz-instructions-" +
              std::to_string(::getpid()) + ".xml";
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  korva_fuzz::FuzzInput in(data, size);
  const uint8_t mode = in.byte();
  const std::string document = in.rest();

  std::setlocale(LC_CTYPE, (mode & 4) ? "C" : "C.UTF-8");
  CMAHandlerPublish handler;
  FUZZ_CHECK(handler.initialize("aps", "user", "pass", "secEnterprise") == kStatusOk, "initialize");

  int status;
  if (mode & 1) {
    std::FILE* f = std::fopen(gFilePath.c_str(), "wb");
    FUZZ_CHECK(f != nullptr, gFilePath);
    std::fwrite(document.data(), 1, document.size(), f);
    std::fclose(f);
    status = handler.parseFile(gFilePath.c_str());
  } else {
    const std::wstring text =
        (mode & 2) ? rawWide(document) : korva_fuzz::decodeUtf8Lenient(document);
    status = handler.parseText(text.c_str());
  }
  FUZZ_CHECK(status == kStatusOk || status == kStatusParse || status == kStatusOutOfMemory,
             "status " + std::to_string(status));
  FUZZ_CHECK(handler.section >= CMAHandlerPublish::SectionNone &&
                 handler.section <= CMAHandlerPublish::SectionReports,
             "section " + std::to_string(handler.section));
  if (status == kStatusOk) {
    checkMap(handler.userMap, "users");
    checkMap(handler.folderMap, "folders");
    checkMap(handler.reportMap, "reports");
  }

  FUZZ_CHECK(handler.initialize(nullptr, nullptr, nullptr, nullptr) == kStatusOk, "initialize");
  FUZZ_CHECK(handler.userMap.getCount() == 0 && handler.folderMap.getCount() == 0 &&
                 handler.reportMap.getCount() == 0 && handler.apsName.isEmpty() &&
                 handler.section == CMAHandlerPublish::SectionNone,
             "a second initialize left something behind");
  return 0;
}
