// The session, its InfoStore service and its plugin manager.
#include <utility>

#include "reportserver/commit.h"
#include "reportserver/fault_injection.h"
#include "reportserver/info_objects.h"
#include "reportserver/query_parser.h"
#include "reportserver/session_objects.h"
#include "reportserver/utf8.h"

namespace korva {

HRESULT SessionImpl::getPluginManager(PluginManager** out) {
  if (injectFault("getPluginManager")) return E_FAIL;
  if (!out) return nullArgument("getPluginManager");
  *out = Ref<PluginManager>(new PluginManagerImpl(ctx_)).detach();
  return S_OK;
}

HRESULT SessionImpl::getService(BSTR serverName, BSTR serviceName, IUnknown** out) {
  if (injectFault("getService")) return E_FAIL;
  if (!serverName || !serviceName || !out) return nullArgument("getService");
  *out = nullptr;
  if (textOf(serviceName) != "InfoStore") {
    return failWith(E_INVALIDARG, "There is no service \"" + textOf(serviceName) +
                                      "\"; this server offers \"InfoStore\".");
  }
  // The server name picks a server among several; there is only this one.
  // The service is handed out as its base interface: the client asks it for
  // the InfoStore.
  *out = Ref<IUnknown>(static_cast<InfoStore*>(new InfoStoreImpl(ctx_))).detach();
  return S_OK;
}

IUnknown* InfoStoreImpl::interfaceFor(REFIID iid) {
  if (iid == IID_InfoStore) return this;
  return dispatchInterface(this, iid);
}

HRESULT InfoStoreImpl::query(BSTR text, InfoObjects** out) {
  if (injectFault("query")) return E_FAIL;
  if (!text || !out) return nullArgument("query");
  *out = nullptr;
  ParsedQuery parsed;
  std::string error;
  if (!parseQuery(static_cast<const wchar_t*>(text), &parsed, &error)) {
    return failWith(E_INVALIDARG, error);
  }
  // Read before the objects: whatever the read misses was stored later and
  // has an id at or above the mark (see the commit's title check).
  int64_t mark = InfoObjectsImpl::kNoReadMark;
  {
    Statement st(ctx_->db, "SELECT next_id FROM id_sequence");
    if (st.step() == SQLITE_ROW) mark = st.columnInt(0);
  }
  AnswerRowsPtr rows;
  if (!ctx_->answers.answer(ctx_->db, parsed, &rows, &error)) return failWith(E_FAIL, error);
  auto* collection = new InfoObjectsImpl(ctx_, std::move(rows));
  collection->setReadMark(mark);
  *out = Ref<InfoObjects>(collection).detach();
  return S_OK;
}

HRESULT InfoStoreImpl::commit(InfoObjects* objects) {
  if (injectFault("commit")) return E_FAIL;
  if (!objects) return nullArgument("commit");
  InfoObjectsImpl* collection = InfoObjectsImpl::ours(objects);
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

HRESULT PluginManagerImpl::getPlugins(BSTR kind, InfoObjects** out) {
  if (injectFault("getPlugins")) return E_FAIL;
  if (!kind || !out) return nullArgument("getPlugins");
  *out = nullptr;
  if (textOf(kind) != "Desktop") {
    return failWith(E_INVALIDARG,
                    "There are no \"" + textOf(kind) + "\" plugins; ask for \"Desktop\".");
  }
  std::vector<PluginInfo> listed;
  for (const PluginInfo& p : ctx_->plugins) {
    auto planned = ctx_->pluginPlan.find(p.name);
    int times = planned == ctx_->pluginPlan.end() ? 1 : planned->second;
    for (int i = 0; i < times; ++i) listed.push_back(p);
  }
  *out = Ref<InfoObjects>(new InfoObjectsImpl(ctx_, listed)).detach();
  return S_OK;
}

}  // namespace korva
