// Fuzz target: the network server's request parser (the wire format's
// request readers). The input is a request body, read as logon, query,
// commit, snapshot and download request alike.
//
// Expectations: nothing throws or crashes; a refused body has a description
// of the refusal's form; an accepted one, written out again, is read back
// and written out to the same text.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_util.h"
#include "reportserver/wire/wire_messages.h"

namespace {

namespace wire = korva::wire;

const std::vector<korva::PluginInfo> kPlugins = {{1, 16, "User", korva::PluginKind::User},
                                                 {2, 1, "Folder", korva::PluginKind::Folder},
                                                 {3, 2, "Report", korva::PluginKind::Report}};

// The one file "uploaded": its id is its path.
bool pathOf(const std::string& id, std::string* path) {
  if (id != "f1") return false;
  *path = id;
  return true;
}
std::string idOf(const std::string& path) { return path; }

void checkRefusal(const std::string& error) {
  FUZZ_CHECK(error.rfind("The request is malformed: ", 0) == 0 && error.back() == '.', error);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string body(reinterpret_cast<const char*>(data), size);
  std::string error;

  korva::LogonRequest logon;
  if (wire::readLogonRequest(body, &logon, &error)) {
    const std::string again = wire::logonRequestBody(logon);
    korva::LogonRequest back;
    FUZZ_CHECK(wire::readLogonRequest(again, &back, &error), error);
    FUZZ_CHECK(wire::logonRequestBody(back) == again, "logon round trip");
  } else {
    checkRefusal(error);
  }

  korva::ParsedQuery query;
  if (wire::readQueryRequest(body, &query, &error)) {
    const std::string again = wire::queryRequestBody(query);
    korva::ParsedQuery back;
    FUZZ_CHECK(wire::readQueryRequest(again, &back, &error), error);
    FUZZ_CHECK(back.terms == query.terms && back.systemObjects == query.systemObjects,
               "query round trip");
  } else {
    checkRefusal(error);
  }

  std::vector<korva::ObjectChange> changes;
  int64_t mark = 0;
  if (wire::readCommitRequest(body, kPlugins, pathOf, &changes, &mark, &error)) {
    const std::string again = wire::commitRequestBody(changes, mark, idOf);
    std::vector<korva::ObjectChange> back;
    int64_t markBack = 0;
    FUZZ_CHECK(wire::readCommitRequest(again, kPlugins, pathOf, &back, &markBack, &error), error);
    FUZZ_CHECK(wire::commitRequestBody(back, markBack, idOf) == again, "commit round trip");
  } else {
    checkRefusal(error);
  }
  if (!wire::readSnapshotRequest(body, &error)) checkRefusal(error);

  int32_t reportId = 0;
  if (wire::readDownloadRequest(body, &reportId, &error)) {
    int32_t back = 0;
    FUZZ_CHECK(wire::readDownloadRequest(wire::downloadRequestBody(reportId), &back, &error) &&
                   back == reportId,
               "download round trip");
  } else {
    checkRefusal(error);
  }
  return 0;
}
