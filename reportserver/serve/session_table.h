// The sessions a network server keeps: a random token (256 bits) for each
// logged-on store session, which has its own connection to the repository.
// A session serves one request at a time: a request leases it, and a second
// request of the same session waits for the lease. Files uploaded in a
// session are kept with it until a commit stores them or the session goes.
// A session goes at logoff, after the idle limit unused (never while a
// request uses it), and when the table is cleared (the server stops).
//
// Thread-safety: every member may be called on any thread. The table's lock
// is held only for lookups, never while a request works or waits.
// Ownership: the table owns its sessions; a lease shares one until it ends,
// so a session that goes while leased is released after the lease.
#ifndef KORVA_REPORTSERVER_SERVE_SESSION_TABLE_H_
#define KORVA_REPORTSERVER_SERVE_SESSION_TABLE_H_

#include <chrono>
#include <cstddef>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "reportserver/serve/serve_options.h"
#include "reportserver/serve/upload_spool.h"
#include "reportserver/store/store_session.h"

namespace korva {

class SessionTable {
 private:
  struct Entry;

 public:
  // The bytes of randomness in a token.
  static constexpr size_t kTokenBytes = 32;

  SessionTable(std::chrono::steady_clock::duration idleLimit, size_t maxSessions, ServeClock clock);
  ~SessionTable();
  SessionTable(const SessionTable&) = delete;
  SessionTable& operator=(const SessionTable&) = delete;

  // One request's use of a session.
  class Lease {
   public:
    ~Lease();
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    StoreSession& store();
    // The file kept for an upload id of this session.
    bool uploadPath(const std::string& id, std::string* path) const;
    // Removes the uploads (a commit stored them).
    void dropUploads(const std::vector<std::string>& ids);
    // Ends the session (logoff): the table forgets it.
    void endSession();

   private:
    friend class SessionTable;
    Lease(SessionTable& table, std::shared_ptr<Entry> entry);

    SessionTable& table_;
    std::shared_ptr<Entry> entry_;
    std::unique_lock<std::mutex> use_;
  };

  // Keeps the session and answers its token; "" when the table is full (or
  // no token could be made).
  std::string add(StoreSessionPtr store);
  // The session of the token, once no other request uses it; null when the
  // table keeps no such session.
  std::unique_ptr<Lease> lease(const std::string& token);
  // Whether the table keeps the token's session; *user: its user's name.
  bool userOf(const std::string& token, std::string* user);
  // Keeps the file with the token's session and sets *id; false (and the
  // file goes) when the session is gone.
  bool keepUpload(const std::string& token, std::unique_ptr<UploadedFile> file, std::string* id);

  // Forgets the sessions unused for longer than the idle limit.
  void forgetIdle();
  // Forgets every session.
  void clear();
  size_t size();

 private:
  std::chrono::steady_clock::time_point now() const;
  // Under mutex_: moves the idle entries into *gone.
  void takeIdle(std::vector<std::shared_ptr<Entry>>* gone);

  const std::chrono::steady_clock::duration idleLimit_;
  const size_t maxSessions_;
  const ServeClock clock_;
  std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<Entry>> entries_;
};

}  // namespace korva

#endif  // KORVA_REPORTSERVER_SERVE_SESSION_TABLE_H_
