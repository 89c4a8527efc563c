// A report file downloaded from the console: the answer streams the stored
// bytes from the user's store session (StoreSession::readReportFile) to the
// browser as they are read, under the file's own name, never held whole. A
// file that changed since its record was read (another size) breaks the
// answer off rather than send other bytes.
//
// Thread-safety: the answer is written on the request's thread.
// Ownership: the answer shares the session's lease until it is written.
#ifndef KORVA_REPORTSERVER_SERVE_CONSOLE_DOWNLOAD_H_
#define KORVA_REPORTSERVER_SERVE_CONSOLE_DOWNLOAD_H_

#include <memory>
#include <string>

#include "reportserver/serve/session_table.h"
#include "reportserver/store/store_records.h"

namespace httplib {
struct Response;
}

namespace korva {

// The Content-Disposition of an attachment named fileName (UTF-8).
std::string attachmentDisposition(const std::string& fileName);

// Makes res the download of the report's file (report: its record as the
// session reads it, with a file).
void answerReportFile(std::shared_ptr<SessionTable::Lease> lease, const ObjectRecord& report,
                      httplib::Response& res);

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_CONSOLE_DOWNLOAD_H_
