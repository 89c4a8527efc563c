// A report's file as the streamed body of a download's answer
// (wire_protocol.h): the store of the session reads it in one read
// transaction and hands on its line and bytes as they come, so that the
// server holds no more of it than a chunk. A refusal before the file's line
// is the answer's only line; a failure after it breaks the answer off.
//
// Thread-safety: used by the one thread that sends the answer.
// Ownership: holds the session's lease until the reading ends, so that the
// session serves no other request meanwhile; a peer that goes away stops
// the reading, which releases the lease and the transaction.
#ifndef KORVA_REPORTSERVER_SERVE_REPORT_DOWNLOAD_H_
#define KORVA_REPORTSERVER_SERVE_REPORT_DOWNLOAD_H_

#include <cstdint>
#include <memory>
#include <string>

#include "reportserver/serve/service_reply.h"
#include "reportserver/serve/session_table.h"

namespace korva {

class ReportDownload : public StreamedBody {
 public:
  ReportDownload(std::unique_ptr<SessionTable::Lease> lease, int32_t reportId);

  // Reads the file once; a second call sends nothing and fails.
  bool send(const BodySink& write) override;
  std::string result(bool sent) const override;

 private:
  std::unique_ptr<SessionTable::Lease> lease_;
  const int32_t reportId_;
  StoreStatus outcome_;  // the reading's, once send ran
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_REPORT_DOWNLOAD_H_
