// A store's answer as the answer of a server method: S_OK, or the failure's
// result (E_FAIL, E_ACCESSDENIED, E_INVALIDARG) with its description left for
// the error source.
//
// Thread-safety: the description is the calling thread's.
#ifndef KORVA_REPORTSERVER_COM_STORE_ANSWER_H_
#define KORVA_REPORTSERVER_COM_STORE_ANSWER_H_

#include "platform/com.h"
#include "reportserver/com/com_support.h"
#include "reportserver/store/store_status.h"

namespace korva {

inline HRESULT answerStoreStatus(const StoreStatus& status) {
  switch (status.code) {
    case StoreStatus::Code::Ok:
      return S_OK;
    case StoreStatus::Code::Denied:
      return failWith(E_ACCESSDENIED, status.description);
    case StoreStatus::Code::BadRequest:
      return failWith(E_INVALIDARG, status.description);
    case StoreStatus::Code::Failed:
      break;
  }
  return failWith(E_FAIL, status.description);
}

}  // namespace korva

#endif  // KORVA_REPORTSERVER_COM_STORE_ANSWER_H_
