// Fault and plugin plans: parsing, the per-operation call counts, and the
// check every server operation makes first.
#include "reportserver/testing/fault_plan.h"

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <utility>
#include <vector>

#include "platform/com.h"
#include "reportserver/com/com_support.h"
#include "reportserver/testing/fault_injection.h"
#include "reportserver/text/utf8.h"

namespace korva {
namespace {

struct FaultEntry {
  std::string operation;
  long nth = 0;  // 0: every call
};

struct Plans {
  std::mutex lock;
  bool faultsInProcess = false;
  bool faultsFromEnvRead = false;
  std::string envFaultText;
  std::vector<FaultEntry> faults;
  std::map<std::string, long> calls;

  bool pluginsInProcess = false;
  std::map<std::string, int> plugins;

  std::function<void(const std::string&)> hook;
};

// Whether Plans::faults is not empty, readable without the lock: every
// server operation asks, and most runs plan no faults.
std::atomic<bool> gAnyFaults{false};
// Whether Plans::hook is set, readable without the lock likewise.
std::atomic<bool> gAnyHook{false};

Plans& plans() {
  static Plans* p = new Plans();  // never destroyed: used until the process ends
  return *p;
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

std::vector<std::string> splitList(const std::string& text) {
  std::vector<std::string> out;
  size_t start = 0;
  while (start <= text.size()) {
    size_t comma = text.find(',', start);
    std::string item =
        trim(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (!item.empty()) out.push_back(item);
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return out;
}

// "123" -> 123; anything else -> -1.
long parseCount(const std::string& s) {
  if (s.empty() || s.size() > 9) return -1;
  for (char c : s) {
    if (c < '0' || c > '9') return -1;
  }
  return std::strtol(s.c_str(), nullptr, 10);
}

std::vector<FaultEntry> parseFaults(const std::string& text) {
  std::vector<FaultEntry> out;
  for (const std::string& item : splitList(text)) {
    FaultEntry e;
    size_t hash = item.rfind('#');
    if (hash == std::string::npos) {
      e.operation = item;
    } else {
      e.operation = trim(item.substr(0, hash));
      e.nth = parseCount(trim(item.substr(hash + 1)));
      if (e.nth < 1) continue;  // "op#0" or "op#x" names no call
    }
    if (!e.operation.empty()) out.push_back(e);
  }
  return out;
}

std::map<std::string, int> parsePlugins(const std::string& text) {
  std::map<std::string, int> out;
  for (const std::string& item : splitList(text)) {
    size_t star = item.rfind('*');
    if (star == std::string::npos) {
      out[item] = 0;
    } else {
      long n = parseCount(trim(item.substr(star + 1)));
      std::string name = trim(item.substr(0, star));
      if (n >= 0 && !name.empty()) out[name] = static_cast<int>(n);
    }
  }
  return out;
}

void applyFaultsLocked(Plans& p, const std::string& text) {
  p.faults = parseFaults(text);
  gAnyFaults.store(!p.faults.empty(), std::memory_order_release);
  p.calls.clear();
}

void readEnvFaultsLocked(Plans& p) {
  const char* env = std::getenv("KORVA_SERVER_FAULTS");
  std::string text = env ? env : "";
  if (!p.faultsFromEnvRead || text != p.envFaultText) {
    p.faultsFromEnvRead = true;
    p.envFaultText = text;
    applyFaultsLocked(p, text);
  }
}

}  // namespace

void setServerFaultPlan(const std::string& plan) {
  Plans& p = plans();
  std::lock_guard<std::mutex> guard(p.lock);
  p.faultsInProcess = true;
  applyFaultsLocked(p, plan);
}

void clearServerFaultPlan() {
  Plans& p = plans();
  std::lock_guard<std::mutex> guard(p.lock);
  p.faultsInProcess = false;
  p.faultsFromEnvRead = false;
  readEnvFaultsLocked(p);
}

void setServerPluginPlan(const std::string& plan) {
  Plans& p = plans();
  std::lock_guard<std::mutex> guard(p.lock);
  p.pluginsInProcess = true;
  p.plugins = parsePlugins(plan);
}

void clearServerPluginPlan() {
  Plans& p = plans();
  std::lock_guard<std::mutex> guard(p.lock);
  p.pluginsInProcess = false;
  p.plugins.clear();
}

void setServerOperationHook(std::function<void(const std::string& operation)> hook) {
  Plans& p = plans();
  std::lock_guard<std::mutex> guard(p.lock);
  gAnyHook.store(static_cast<bool>(hook), std::memory_order_release);
  p.hook = std::move(hook);
}

void refreshPlansFromEnvironment() {
  Plans& p = plans();
  std::lock_guard<std::mutex> guard(p.lock);
  if (!p.faultsInProcess) readEnvFaultsLocked(p);
  if (!p.pluginsInProcess) {
    const char* env = std::getenv("KORVA_SERVER_PLUGINS");
    p.plugins = parsePlugins(env ? env : "");
  }
}

std::map<std::string, int> currentPluginPlan() {
  Plans& p = plans();
  std::lock_guard<std::mutex> guard(p.lock);
  return p.plugins;
}

bool injectFault(const char* operation) {
  if (!gAnyFaults.load(std::memory_order_acquire) && !gAnyHook.load(std::memory_order_acquire)) {
    return false;
  }
  return injectFault(std::string(operation));
}

bool injectFault(const std::string& operation) {
  Plans& p = plans();
  if (gAnyHook.load(std::memory_order_acquire)) {
    std::function<void(const std::string&)> hook;
    {
      std::lock_guard<std::mutex> guard(p.lock);
      hook = p.hook;
    }
    if (hook) hook(operation);  // unlocked: the hook may call the server
  }
  if (!gAnyFaults.load(std::memory_order_acquire)) return false;
  bool fail = false;
  {
    std::lock_guard<std::mutex> guard(p.lock);
    if (p.faults.empty()) return false;
    long call = ++p.calls[operation];
    for (const FaultEntry& e : p.faults) {
      if (e.operation == operation && (e.nth == 0 || e.nth == call)) fail = true;
    }
  }
  if (fail) setLastErrorDescription(fromUtf8("Injected fault in " + operation + "."));
  return fail;
}

}  // namespace korva
