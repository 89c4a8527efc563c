// The session, its InfoStore service and its plugin manager.
#include <utility>

#include "reportserver/commit.h"
#include "reportserver/fault_injection.h"
#include "reportserver/info_objects.h"
#include "reportserver/query_parser.h"
#include "reportserver/session_objects.h"
#include "reportserver/utf8.h"

namespace korva {

HRESULT SessionImpl::queryInterface(const Guid& iid, void** out) {
  HRESULT hr = beginQueryInterface(iid, out);
  if (failed(hr)) return hr;
  if (iid == kIID_Unknown) return answerInterface(static_cast<Unknown*>(this), out);
  if (iid == kIID_Session) return answerInterface(static_cast<Session*>(this), out);
  return E_NOINTERFACE;
}

HRESULT SessionImpl::getPluginManager(Ref<PluginManager>* out) {
  if (injectFault("getPluginManager")) return E_FAIL;
  if (!out) return nullArgument("getPluginManager");
  *out = Ref<PluginManager>(new PluginManagerImpl(ctx_));
  return S_OK;
}

HRESULT SessionImpl::getService(const wchar_t* serverName, const wchar_t* serviceName,
                                Ref<Unknown>* out) {
  if (injectFault("getService")) return E_FAIL;
  if (!serverName || !serviceName || !out) return nullArgument("getService");
  out->reset();
  if (std::wstring(serviceName) != L"InfoStore") {
    return failWith(E_INVALIDARG, "There is no service \"" + toUtf8(serviceName) +
                                      "\"; this server offers \"InfoStore\".");
  }
  // The server name picks a server among several; there is only this one.
  *out = Ref<Unknown>(static_cast<Unknown*>(new InfoStoreImpl(ctx_)));
  return S_OK;
}

HRESULT InfoStoreImpl::queryInterface(const Guid& iid, void** out) {
  HRESULT hr = beginQueryInterface(iid, out);
  if (failed(hr)) return hr;
  if (iid == kIID_Unknown) return answerInterface(static_cast<Unknown*>(this), out);
  if (iid == kIID_InfoStore) return answerInterface(static_cast<InfoStore*>(this), out);
  return E_NOINTERFACE;
}

HRESULT InfoStoreImpl::query(const wchar_t* text, Ref<InfoObjects>* out) {
  if (injectFault("query")) return E_FAIL;
  if (!text || !out) return nullArgument("query");
  out->reset();
  ParsedQuery parsed;
  std::string error;
  if (!parseQuery(text, &parsed, &error)) return failWith(E_INVALIDARG, error);
  // Read before the objects: whatever the read misses was stored later and
  // has an id at or above the mark (see the commit's title check).
  int64_t mark = InfoObjectsImpl::kNoReadMark;
  {
    Statement st(ctx_->db, "SELECT next_id FROM id_sequence");
    if (st.step() == SQLITE_ROW) mark = st.columnInt(0);
  }
  std::vector<ObjectRecord> records;
  if (!loadObjects(ctx_->db, parsed.systemObjects, parsed.terms, &records, &error)) {
    return failWith(E_FAIL, error);
  }
  auto* collection = new InfoObjectsImpl(ctx_, std::move(records));
  collection->setReadMark(mark);
  *out = Ref<InfoObjects>(collection);
  return S_OK;
}

HRESULT InfoStoreImpl::commit(InfoObjects* objects) {
  if (injectFault("commit")) return E_FAIL;
  if (!objects) return nullArgument("commit");
  auto* collection = dynamic_cast<InfoObjectsImpl*>(objects);
  if (!collection) {
    return failWith(E_INVALIDARG,
                    "The collection passed to commit does not come from this server.");
  }
  if (collection->context() != ctx_.get()) {
    return failWith(E_INVALIDARG,
                    "The collection passed to commit belongs to another session; commit it "
                    "through that session's InfoStore.");
  }
  return commitCollection(*collection);
}

HRESULT PluginManagerImpl::queryInterface(const Guid& iid, void** out) {
  HRESULT hr = beginQueryInterface(iid, out);
  if (failed(hr)) return hr;
  if (iid == kIID_Unknown) return answerInterface(static_cast<Unknown*>(this), out);
  if (iid == kIID_PluginManager) return answerInterface(static_cast<PluginManager*>(this), out);
  return E_NOINTERFACE;
}

HRESULT PluginManagerImpl::getPlugins(const wchar_t* kind, Ref<InfoObjects>* out) {
  if (injectFault("getPlugins")) return E_FAIL;
  if (!kind || !out) return nullArgument("getPlugins");
  out->reset();
  if (std::wstring(kind) != L"Desktop") {
    return failWith(E_INVALIDARG,
                    "There are no \"" + toUtf8(kind) + "\" plugins; ask for \"Desktop\".");
  }
  std::vector<PluginInfo> listed;
  for (const PluginInfo& p : ctx_->plugins) {
    auto planned = ctx_->pluginPlan.find(p.name);
    int times = planned == ctx_->pluginPlan.end() ? 1 : planned->second;
    for (int i = 0; i < times; ++i) listed.push_back(p);
  }
  *out = Ref<InfoObjects>(new InfoObjectsImpl(ctx_, listed));
  return S_OK;
}

}  // namespace korva
