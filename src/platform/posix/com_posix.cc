// The component runtime on POSIX: there is no system COM, so per-thread
// initialisation is a counter, the class registry is an in-process table and
// error descriptions are kept per thread.
#include <cstdio>
#include <cstring>
#include <map>
#include <mutex>

#include "platform/com.h"
#include "platform/posix/platform_classes.h"
#include "platform/sax.h"

namespace korva {
namespace {

thread_local int tInitCount = 0;
thread_local std::wstring tLastError;

std::mutex& registryMutex() {
  static std::mutex m;
  return m;
}

// The platform's own classes are entered when the table is first built.
std::map<Guid, ClassFactory>* newRegistryTable() {
  auto* table = new std::map<Guid, ClassFactory>();
  (*table)[kCLSID_SAXXMLReader] = &posix::createSaxXmlReader;
  return table;
}

std::map<Guid, ClassFactory>& registry() {
  static std::map<Guid, ClassFactory>* table = newRegistryTable();
  return *table;
}

}  // namespace

bool operator==(const Guid& a, const Guid& b) {
  return a.d1 == b.d1 && a.d2 == b.d2 && a.d3 == b.d3 && std::memcmp(a.d4, b.d4, 8) == 0;
}

bool operator<(const Guid& a, const Guid& b) {
  if (a.d1 != b.d1) return a.d1 < b.d1;
  if (a.d2 != b.d2) return a.d2 < b.d2;
  if (a.d3 != b.d3) return a.d3 < b.d3;
  return std::memcmp(a.d4, b.d4, 8) < 0;
}

std::string toString(const Guid& g) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.d1,
                g.d2, g.d3, g.d4[0], g.d4[1], g.d4[2], g.d4[3], g.d4[4], g.d4[5], g.d4[6],
                g.d4[7]);
  return buf;
}

HRESULT comInitialize() { return tInitCount++ == 0 ? S_OK : S_FALSE; }

void comUninitialize() {
  if (tInitCount > 0) --tInitCount;
}

int comInitializeCount() { return tInitCount; }

void registerClass(const Guid& classId, ClassFactory factory) {
  std::lock_guard<std::mutex> lock(registryMutex());
  registry()[classId] = factory;
}

void unregisterClass(const Guid& classId) {
  std::lock_guard<std::mutex> lock(registryMutex());
  registry().erase(classId);
}

HRESULT createInstance(const Guid& classId, const Guid& iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (tInitCount == 0) return CO_E_NOTINITIALIZED;
  ClassFactory factory = nullptr;
  {
    std::lock_guard<std::mutex> lock(registryMutex());
    auto it = registry().find(classId);
    if (it == registry().end()) return REGDB_E_CLASSNOTREG;
    factory = it->second;
  }
  return factory(iid, out);
}

void setLastErrorDescription(const std::wstring& text) { tLastError = text; }
std::wstring lastErrorDescription() { return tLastError; }
void clearLastErrorDescription() { tLastError.clear(); }

Variant Variant::fromInt(int32_t v) {
  Variant r;
  r.type_ = Type::Int32;
  r.int_ = v;
  return r;
}

Variant Variant::fromBool(bool v) {
  Variant r;
  r.type_ = Type::Bool;
  r.int_ = v ? -1 : 0;
  return r;
}

Variant Variant::fromString(const std::wstring& v) {
  Variant r;
  r.type_ = Type::WString;
  r.text_ = v;
  return r;
}

Variant Variant::fromObject(Unknown* v) {
  Variant r;
  r.type_ = Type::Object;
  r.object_ = Ref<Unknown>(v);
  return r;
}

}  // namespace korva
