// The backend's objects that the system calls (a pane's OLE site and event sink, its drop filter
// and download refusal) and the guard around every call the system makes into the program.
// IUnknown is written once here: mingw-w64's WRL has ComPtr but not RuntimeClass, and ATL's
// CComObject is MSVC's only, so a class lists the interfaces it implements and nothing else.
#ifndef PLQ_SHELL_WIN32_COM_UTIL_H_
#define PLQ_SHELL_WIN32_COM_UTIL_H_

#include <oaidl.h>
#include <ole2.h>
#include <windows.h>

#include <atomic>
#include <initializer_list>
#include <string>
#include <tuple>
#include <type_traits>

#include "shell/core/guarded.h"

namespace plq::win32 {

// IUnknown for an object that implements `Interfaces`, counted across threads. It starts with
// one reference, its creator's (`Attach` it to a ComPtr), and deletes itself when the last one
// goes. A query for an interface that one of them derives from (IOleWindow, IOleInPlaceUIWindow,
// IDispatch) is answered by the first listed interface that does, and IUnknown by the first one,
// so that the object has one identity.
template <typename... Interfaces>
class ComObject : public Interfaces... {
 public:
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;
  ComObject(ComObject&&) = delete;
  ComObject& operator=(ComObject&&) = delete;

  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) return E_POINTER;
    *object = Find(iid);
    if (*object == nullptr) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return ++references_; }
  STDMETHODIMP_(ULONG) Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

 protected:
  ComObject() = default;
  virtual ~ComObject() = default;

 private:
  void* Find(REFIID iid) {
    if (iid == IID_IUnknown) {
      return static_cast<std::tuple_element_t<0, std::tuple<Interfaces...>>*>(this);
    }
    for (void* found : {Own<Interfaces>(iid)..., Base<IOleWindow>(iid),
                        Base<IOleInPlaceUIWindow>(iid), Base<IDispatch>(iid)}) {
      if (found != nullptr) return found;
    }
    return nullptr;
  }
  template <typename Interface>
  void* Own(REFIID iid) {
    return iid == __uuidof(Interface) ? static_cast<Interface*>(this) : nullptr;
  }
  // `Wanted` through the first listed interface that derives from it.
  template <typename Wanted>
  void* Base(REFIID iid) {
    if (iid != __uuidof(Wanted)) return nullptr;
    for (void* found : {Through<Wanted, Interfaces>()...}) {
      if (found != nullptr) return found;
    }
    return nullptr;
  }
  template <typename Wanted, typename Interface>
  void* Through() {
    if constexpr (std::is_base_of_v<Wanted, Interface>) {
      return static_cast<Wanted*>(static_cast<Interface*>(this));
    } else {
      return nullptr;
    }
  }

  std::atomic<ULONG> references_{1};
};

}  // namespace plq::win32

#endif  // PLQ_SHELL_WIN32_COM_UTIL_H_
