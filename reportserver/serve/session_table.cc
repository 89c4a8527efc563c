// The table of sessions.
#include "reportserver/serve/session_table.h"

#include <utility>

#include "reportserver/serve/random_token.h"

namespace korva {

struct SessionTable::Entry {
  std::string token;
  StoreSessionPtr store;
  std::mutex use;  // held by the lease of the request under way
  // Under the table's mutex:
  std::chrono::steady_clock::time_point lastUsed;
  int users = 0;  // leases and uploads under way
  bool ended = false;
  std::map<std::string, std::unique_ptr<UploadedFile>> uploads;
};

SessionTable::SessionTable(std::chrono::steady_clock::duration idleLimit, size_t maxSessions,
                           ServeClock clock)
    : idleLimit_(idleLimit), maxSessions_(maxSessions), clock_(std::move(clock)) {}

SessionTable::~SessionTable() { clear(); }

std::chrono::steady_clock::time_point SessionTable::now() const {
  return clock_ ? clock_() : std::chrono::steady_clock::now();
}

void SessionTable::takeIdle(std::vector<std::shared_ptr<Entry>>* gone) {
  const auto t = now();
  for (auto it = entries_.begin(); it != entries_.end();) {
    Entry& e = *it->second;
    if (e.users == 0 && t - e.lastUsed > idleLimit_) {
      e.ended = true;
      gone->push_back(std::move(it->second));
      it = entries_.erase(it);
    } else {
      ++it;
    }
  }
}

std::string SessionTable::add(StoreSessionPtr store) {
  auto entry = std::make_shared<Entry>();
  entry->store = std::move(store);
  std::vector<std::shared_ptr<Entry>> gone;  // released after the lock
  std::lock_guard<std::mutex> lock(mutex_);
  takeIdle(&gone);
  if (entries_.size() >= maxSessions_) return std::string();
  std::string token;
  do {
    token = randomHex(kTokenBytes);
    if (token.empty()) return token;
  } while (entries_.count(token));
  entry->token = token;
  entry->lastUsed = now();
  entries_[token] = std::move(entry);
  return token;
}

std::unique_ptr<SessionTable::Lease> SessionTable::lease(const std::string& token) {
  std::shared_ptr<Entry> entry;
  {
    std::vector<std::shared_ptr<Entry>> gone;
    std::lock_guard<std::mutex> lock(mutex_);
    takeIdle(&gone);
    auto it = entries_.find(token);
    if (it == entries_.end()) return nullptr;
    entry = it->second;
    ++entry->users;
  }
  std::unique_ptr<Lease> lease(new Lease(*this, std::move(entry)));
  bool ended;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    ended = lease->entry_->ended;
  }
  if (ended) return nullptr;  // it went while this request waited for it
  return lease;
}

SessionTable::Lease::Lease(SessionTable& table, std::shared_ptr<Entry> entry)
    : table_(table), entry_(std::move(entry)), use_(entry_->use) {}

SessionTable::Lease::~Lease() {
  use_.unlock();
  std::lock_guard<std::mutex> lock(table_.mutex_);
  --entry_->users;
  entry_->lastUsed = table_.now();
}

StoreSession& SessionTable::Lease::store() { return *entry_->store; }

bool SessionTable::Lease::uploadPath(const std::string& id, std::string* path) const {
  std::lock_guard<std::mutex> lock(table_.mutex_);
  auto it = entry_->uploads.find(id);
  if (it == entry_->uploads.end()) return false;
  *path = it->second->path();
  return true;
}

void SessionTable::Lease::dropUploads(const std::vector<std::string>& ids) {
  std::vector<std::unique_ptr<UploadedFile>> gone;  // removed after the lock
  std::lock_guard<std::mutex> lock(table_.mutex_);
  for (const std::string& id : ids) {
    auto it = entry_->uploads.find(id);
    if (it == entry_->uploads.end()) continue;
    gone.push_back(std::move(it->second));
    entry_->uploads.erase(it);
  }
}

void SessionTable::Lease::endSession() {
  std::shared_ptr<Entry> keep;  // released after the lock
  std::lock_guard<std::mutex> lock(table_.mutex_);
  entry_->ended = true;
  auto it = table_.entries_.find(entry_->token);
  if (it != table_.entries_.end() && it->second == entry_) {
    keep = std::move(it->second);
    table_.entries_.erase(it);
  }
}

bool SessionTable::userOf(const std::string& token, std::string* user) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(token);
  if (it == entries_.end()) return false;
  *user = it->second->store->facts().userName;
  return true;
}

bool SessionTable::keepUpload(const std::string& token, std::unique_ptr<UploadedFile> file,
                              std::string* id) {
  const std::string name = randomHex(16);
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = entries_.find(token);
  if (it == entries_.end() || name.empty()) return false;
  Entry& e = *it->second;
  e.uploads[name] = std::move(file);
  e.lastUsed = now();
  *id = name;
  return true;
}

void SessionTable::forgetIdle() {
  std::vector<std::shared_ptr<Entry>> gone;
  std::lock_guard<std::mutex> lock(mutex_);
  takeIdle(&gone);
}

void SessionTable::clear() {
  std::unordered_map<std::string, std::shared_ptr<Entry>> gone;
  std::lock_guard<std::mutex> lock(mutex_);
  for (auto& e : entries_) e.second->ended = true;
  gone.swap(entries_);
}

size_t SessionTable::size() {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.size();
}

}  // namespace korva
