#pragma once
// COM core: IUnknown, IDispatch and their call structures, apartments
// (CoInitialize), the in-process class registry behind CLSIDFromProgID /
// CoCreateInstance, and helpers for implementing and holding objects.
//
// Components are plain C++ objects in shared libraries. A library registers
// its classes from a static initializer (QelRegisterClass); a test replaces
// one with a fake for its lifetime (ScopedClassOverride).
#include <atomic>
#include <functional>
#include <new>
#include <type_traits>
#include <utility>

#include "bstr.h"
#include "guid.h"
#include "qelwin_export.h"
#include "variant.h"
#include "wintypes.h"

// ---- Interface ids.
// QelInterfaceTraits<I> names an interface's IID and its base interface;
// QueryInterface helpers and ComPtr::As use it. Declare one per interface
// at global scope with QEL_DECLARE_INTERFACE.
template <class I>
struct QelInterfaceTraits;

#define QEL_DECLARE_INTERFACE(Iface, BaseIface, l, w1, w2, b1, b2, b3, b4, b5, b6, b7, b8) \
  template <>                                                                               \
  struct QelInterfaceTraits<Iface> {                                                        \
    static constexpr IID iid = {l, w1, w2, {b1, b2, b3, b4, b5, b6, b7, b8}};               \
    using Base = BaseIface;                                                                 \
  }

#define QEL_IIDOF(Iface) (QelInterfaceTraits<Iface>::iid)

struct QELWIN_API IUnknown {
  // On success stores an AddRef'ed pointer in *ppv and returns S_OK; else
  // sets *ppv to null and returns E_NOINTERFACE (E_POINTER for null ppv).
  virtual HRESULT QueryInterface(REFIID riid, void** ppv) = 0;
  virtual ULONG AddRef() = 0;
  // Returns the remaining count; the object is destroyed when it reaches 0.
  virtual ULONG Release() = 0;
};

struct DISPPARAMS {
  VARIANTARG* rgvarg;          // arguments, last argument first
  DISPID* rgdispidNamedArgs;   // ids of the named arguments (the first cNamedArgs of rgvarg)
  UINT cArgs;
  UINT cNamedArgs;
};

struct EXCEPINFO {
  WORD wCode;
  WORD wReserved;
  BSTR bstrSource;
  BSTR bstrDescription;
  BSTR bstrHelpFile;
  DWORD dwHelpContext;
  void* pvReserved;
  void* pfnDeferredFillIn;
  SCODE scode;
};

// Frees the three strings of an EXCEPINFO and zeroes it. Null is ignored.
QELWIN_API void qelClearExcepInfo(EXCEPINFO* info);

struct QELWIN_API IDispatch : IUnknown {
  virtual HRESULT GetTypeInfoCount(UINT* pctinfo) = 0;
  // Type information is not modelled: implementations return E_NOTIMPL.
  virtual HRESULT GetTypeInfo(UINT iTInfo, LCID lcid, void** ppTInfo) = 0;
  virtual HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* rgszNames, UINT cNames, LCID lcid, DISPID* rgDispId) = 0;
  virtual HRESULT Invoke(DISPID dispIdMember, REFIID riid, LCID lcid, WORD wFlags, DISPPARAMS* pDispParams,
                         VARIANT* pVarResult, EXCEPINFO* pExcepInfo, UINT* puArgErr) = 0;
};

QEL_DECLARE_INTERFACE(IUnknown, void, 0x00000000, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46);
QEL_DECLARE_INTERFACE(IDispatch, IUnknown, 0x00020400, 0x0000, 0x0000, 0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                      0x46);

inline constexpr IID IID_IUnknown = QEL_IIDOF(IUnknown);
inline constexpr IID IID_IDispatch = QEL_IIDOF(IDispatch);

// ---- Implementing objects.

namespace qelwin_detail {
// Walks I, its base, its base's base ... and answers the first whose IID matches.
template <class I, class Self>
void* castIfMatches(Self* self, REFIID riid) {
  if (riid == QEL_IIDOF(I)) return static_cast<void*>(static_cast<I*>(self));
  using Base = typename QelInterfaceTraits<I>::Base;
  if constexpr (!std::is_void<Base>::value) {
    return castIfMatches<Base>(static_cast<I*>(self), riid);
  } else {
    return nullptr;
  }
}
}  // namespace qelwin_detail

// Reference-counting base for component implementations: derive from
// ComObject<IFoo, IBar> and implement the interfaces' methods. QueryInterface
// answers every listed interface and their bases (IUnknown through the first
// one, so identity holds). The count starts at 0; create objects with
// qelCreateInstance or hold them in a ComPtr. Counting is thread-safe.
// Override QueryInterface to add interfaces (call the base for the rest).
template <class First, class... Rest>
class ComObject : public First, public Rest... {
 public:
  HRESULT QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    void* hit = qelwin_detail::castIfMatches<First>(this, riid);
    if (!hit) ((hit = hit ? hit : qelwin_detail::castIfMatches<Rest>(this, riid)), ...);
    *ppv = hit;
    if (!hit) return E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return refs_.fetch_add(1, std::memory_order_relaxed) + 1; }
  ULONG Release() override {
    ULONG left = refs_.fetch_sub(1, std::memory_order_acq_rel) - 1;
    if (left == 0) delete this;
    return left;
  }

 protected:
  ComObject() = default;
  virtual ~ComObject() = default;
  ComObject(const ComObject&) = delete;
  ComObject& operator=(const ComObject&) = delete;

 private:
  std::atomic<ULONG> refs_{0};
};

// Creates a T (a ComObject) from args and queries riid into *ppv. The object
// is destroyed again when it does not offer riid. Never throws: allocation
// failure gives E_OUTOFMEMORY. REQUIRES: ppv non-null.
template <class T, class... Args>
HRESULT qelCreateInstance(REFIID riid, void** ppv, Args&&... args) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  T* obj = nullptr;
  try {
    obj = new T(std::forward<Args>(args)...);
  } catch (const std::bad_alloc&) {
    return E_OUTOFMEMORY;
  } catch (...) {
    return E_FAIL;
  }
  obj->AddRef();
  HRESULT hr = obj->QueryInterface(riid, ppv);
  obj->Release();
  return hr;
}

// ---- Holding objects.

// Owning interface pointer: AddRef on copy, Release on reset/destruction.
template <class T>
class ComPtr {
 public:
  ComPtr() noexcept = default;
  ComPtr(std::nullptr_t) noexcept {}  // NOLINT
  // Takes a new reference to p (AddRef).
  explicit ComPtr(T* p) noexcept : p_(p) {
    if (p_) p_->AddRef();
  }
  ComPtr(const ComPtr& o) noexcept : ComPtr(o.p_) {}
  ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
  ~ComPtr() { Reset(); }
  ComPtr& operator=(const ComPtr& o) noexcept {
    if (o.p_) o.p_->AddRef();
    Reset();
    p_ = o.p_;
    return *this;
  }
  ComPtr& operator=(ComPtr&& o) noexcept {
    if (this != &o) {
      Reset();
      p_ = o.p_;
      o.p_ = nullptr;
    }
    return *this;
  }
  ComPtr& operator=(std::nullptr_t) noexcept {
    Reset();
    return *this;
  }

  T* Get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  T& operator*() const noexcept { return *p_; }
  explicit operator bool() const noexcept { return p_ != nullptr; }

  // Releases the held pointer and returns the slot for an out-parameter.
  T** ReleaseAndGetAddressOf() noexcept {
    Reset();
    return &p_;
  }
  T** GetAddressOf() noexcept { return &p_; }
  void** ReleaseAndGetVoidAddress() noexcept { return reinterpret_cast<void**>(ReleaseAndGetAddressOf()); }
  // Releases the held pointer.
  void Reset() noexcept {
    T* p = p_;
    p_ = nullptr;
    if (p) p->Release();
  }
  // Takes over p without AddRef.
  void Attach(T* p) noexcept {
    Reset();
    p_ = p;
  }
  // Gives up the reference without Release.
  T* Detach() noexcept {
    T* p = p_;
    p_ = nullptr;
    return p;
  }
  // QueryInterface for U into *out (U needs QelInterfaceTraits).
  template <class U>
  HRESULT As(ComPtr<U>* out) const noexcept {
    if (!out) return E_POINTER;
    if (!p_) return E_POINTER;
    return p_->QueryInterface(QEL_IIDOF(U), reinterpret_cast<void**>(out->ReleaseAndGetAddressOf()));
  }

 private:
  T* p_ = nullptr;
};

// ---- Apartments.

inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

// Counts initialisations of the calling thread: S_OK the first time, S_FALSE
// for each further call with the same model, RPC_E_CHANGED_MODE (not
// counted) when the thread was initialised with the other model. `reserved`
// must be null (E_INVALIDARG otherwise).
QELWIN_API HRESULT CoInitialize(void* reserved);
QELWIN_API HRESULT CoInitializeEx(void* reserved, DWORD coInit);
// Undoes one successful CoInitialize(Ex) of the calling thread; extra calls
// are ignored.
QELWIN_API void CoUninitialize();
// Whether the calling thread is initialised (a port extension).
QELWIN_API bool qelComIsInitialized();

// Task memory (used for interface-allocated out-parameters).
QELWIN_API void* CoTaskMemAlloc(SIZE_T size);
QELWIN_API void CoTaskMemFree(void* p);

// ---- Class registry.

// Creates an instance: given the aggregating outer object (usually null),
// the requested interface and the out slot. Returns S_OK with an AddRef'ed
// pointer, CLASS_E_NOAGGREGATION when it refuses `outer`, E_NOINTERFACE, ...
// On failure it leaves *ppv null. Called without any registry lock held;
// may be called on any thread.
using ComFactory = std::function<HRESULT(IUnknown* outer, REFIID riid, void** ppv)>;

// A factory for a ComObject type T: refuses aggregation, else qelCreateInstance<T>().
template <class T>
ComFactory qelFactoryFor() {
  return [](IUnknown* outer, REFIID riid, void** ppv) -> HRESULT {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return qelCreateInstance<T>(riid, ppv);
  };
}

// Registers (or replaces) the class `clsid` with its factory, and binds
// `progId` (may be null; compared without ASCII case) to it. Returns S_OK,
// S_FALSE when an earlier registration of clsid was replaced, E_INVALIDARG
// for an empty factory. Thread-safe; safe from static initializers.
QELWIN_API HRESULT QelRegisterClass(const CLSID& clsid, const char* progId, ComFactory factory);
// Removes the class and every prog id bound to it. Unknown ids are ignored.
QELWIN_API void QelUnregisterClass(const CLSID& clsid);

// For tests: while alive, `clsid` (and `progId`, when given, bound to it)
// is served by `factory`; an empty factory makes the class unregistered and
// the prog id unknown. The destructor restores exactly what was there
// before. Overrides nest (destroy in reverse order). Not copyable.
class QELWIN_API ScopedClassOverride {
 public:
  ScopedClassOverride(const CLSID& clsid, const char* progId, ComFactory factory);
  // Overrides a prog id: its current class when bound, otherwise a class id
  // derived from the prog id text. REQUIRES: progId non-null.
  ScopedClassOverride(const char* progId, ComFactory factory);
  ~ScopedClassOverride();
  ScopedClassOverride(const ScopedClassOverride&) = delete;
  ScopedClassOverride& operator=(const ScopedClassOverride&) = delete;

  // The class id being overridden.
  const CLSID& clsid() const { return clsid_; }

 private:
  struct Saved;
  CLSID clsid_;
  Saved* saved_;
};

// Resolves a prog id ("Library.Class", ASCII case ignored) to its class id;
// a text starting with "{" is parsed as a class id itself. Returns S_OK, or
// CO_E_CLASSSTRING (unknown prog id, malformed class id; *clsid is then
// CLSID_NULL), E_INVALIDARG for null arguments.
QELWIN_API HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid);

// Creates an instance of a registered class and queries riid into *ppv.
// Results: S_OK; E_POINTER (ppv null); CO_E_NOTINITIALIZED (calling thread
// has not called CoInitialize); E_INVALIDARG (context has none of the server
// bits); REGDB_E_CLASSNOTREG; CLASS_E_NOAGGREGATION; E_NOINTERFACE; or the
// factory's failure. *ppv is null on every failure. Exceptions from a factory
// are caught (E_OUTOFMEMORY for bad_alloc, E_FAIL otherwise).
QELWIN_API HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID riid, void** ppv);
