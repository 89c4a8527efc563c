// The interface id of an interface type, for Ref<T>::query and
// createInstance: InterfaceId<T>::get() answers the id, and
// KORVA_INTERFACE_ID(Type, iid) specialises it for each interface whose id
// is published. An interface without a specialisation cannot be asked for
// by id. The ids of IUnknown, IDispatch and IClassFactory are given here.
//
// Thread-safety: compile-time only. Ownership: the ids are the runtime's.
#ifndef KORVA_COM_INTERFACE_ID_H_
#define KORVA_COM_INTERFACE_ID_H_

#include "platform/com.h"

namespace korva {

template <typename T>
struct InterfaceId;

}  // namespace korva

#define KORVA_INTERFACE_ID(Type, iid)       \
  template <>                               \
  struct korva::InterfaceId<Type> {         \
    static const IID& get() { return iid; } \
  }

KORVA_INTERFACE_ID(IUnknown, IID_IUnknown);
KORVA_INTERFACE_ID(IDispatch, IID_IDispatch);
KORVA_INTERFACE_ID(IClassFactory, IID_IClassFactory);

#endif  // KORVA_COM_INTERFACE_ID_H_
