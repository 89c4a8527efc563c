// Queries and commits of a session.
#include "reportserver/com/info_store.h"

#include "reportserver/com/collection_commit.h"
#include "reportserver/com/info_objects.h"
#include "reportserver/com/store_answer.h"
#include "reportserver/store/query_parser.h"
#include "reportserver/testing/fault_injection.h"

namespace korva {

IUnknown* InfoStoreImpl::interfaceFor(REFIID iid) {
  if (iid == IID_InfoStore) return this;
  return dispatchInterface(this, iid);
}

HRESULT InfoStoreImpl::query(BSTR text, InfoObjects** out) {
  if (HRESULT hr = enterMethod("query", text, out); FAILED(hr)) return hr;
  ParsedQuery parsed;
  std::string error;
  if (!parseQuery(static_cast<const wchar_t*>(text), &parsed, &error)) {
    return failWith(E_INVALIDARG, error);
  }
  QueryResult result;
  HRESULT hr = answerStoreStatus(ctx_->store->query(parsed, &result));
  if (FAILED(hr)) return hr;
  auto* collection = new InfoObjectsImpl(ctx_, std::move(result.rows));
  collection->setReadMark(result.readMark);
  *out = Ref<InfoObjects>(collection).detach();
  return S_OK;
}

HRESULT InfoStoreImpl::commit(InfoObjects* objects) {
  if (HRESULT hr = enterMethod("commit", objects); FAILED(hr)) return hr;
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

}  // namespace korva
