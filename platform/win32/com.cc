#include "com.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace {

// ---- Apartments: a per-thread count and the model of the first call.
struct Apartment {
  int count = 0;
  DWORD model = 0;
};
thread_local Apartment t_apartment;

// ---- Class registry.
std::string foldProgId(const std::string& s) {
  std::string r(s);
  for (char& c : r) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return r;
}

struct Registry {
  std::mutex mu;
  std::map<CLSID, ComFactory> classes;
  std::map<std::string, CLSID> progIds;  // key: folded prog id
};

// Constructed on first use so that static initializers of other libraries
// can register in any load order.
Registry& registry() {
  static Registry* r = new Registry;  // never destroyed: used by exit-time destructors
  return *r;
}

CLSID clsidFromText(const std::string& progId) {
  // FNV-1a over the folded text spread into a GUID; stable across runs.
  std::string f = foldProgId(progId);
  uint64_t h1 = 1469598103934665603ull, h2 = 1099511628211ull * 31;
  for (unsigned char c : f) {
    h1 = (h1 ^ c) * 1099511628211ull;
    h2 = (h2 ^ c) * 0x100000001B3ull + 0x9E37;
  }
  CLSID g;
  g.Data1 = static_cast<uint32_t>(h1 >> 32);
  g.Data2 = static_cast<uint16_t>(h1 >> 16);
  g.Data3 = static_cast<uint16_t>((h1 & 0x0FFF) | 0x4000);
  for (int i = 0; i < 8; ++i) g.Data4[i] = static_cast<uint8_t>(h2 >> (8 * i));
  g.Data4[0] = static_cast<uint8_t>((g.Data4[0] & 0x3F) | 0x80);
  return g;
}

}  // namespace

void qelClearExcepInfo(EXCEPINFO* info) {
  if (!info) return;
  SysFreeString(info->bstrSource);
  SysFreeString(info->bstrDescription);
  SysFreeString(info->bstrHelpFile);
  *info = EXCEPINFO{};
}

HRESULT CoInitialize(void* reserved) { return CoInitializeEx(reserved, COINIT_APARTMENTTHREADED); }

HRESULT CoInitializeEx(void* reserved, DWORD coInit) {
  if (reserved) return E_INVALIDARG;
  DWORD model = coInit & COINIT_APARTMENTTHREADED;
  Apartment& a = t_apartment;
  if (a.count > 0 && a.model != model) return RPC_E_CHANGED_MODE;
  if (a.count++ == 0) {
    a.model = model;
    return S_OK;
  }
  return S_FALSE;
}

void CoUninitialize() {
  if (t_apartment.count > 0) --t_apartment.count;
}

bool qelComIsInitialized() { return t_apartment.count > 0; }

void* CoTaskMemAlloc(SIZE_T size) { return std::malloc(size ? size : 1); }

void CoTaskMemFree(void* p) { std::free(p); }

HRESULT QelRegisterClass(const CLSID& clsid, const char* progId, ComFactory factory) {
  if (!factory) return E_INVALIDARG;
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mu);
  auto [it, inserted] = r.classes.insert_or_assign(clsid, std::move(factory));
  (void)it;
  if (progId) r.progIds[foldProgId(progId)] = clsid;
  return inserted ? S_OK : S_FALSE;
}

void QelUnregisterClass(const CLSID& clsid) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mu);
  r.classes.erase(clsid);
  for (auto it = r.progIds.begin(); it != r.progIds.end();) {
    it = it->second == clsid ? r.progIds.erase(it) : std::next(it);
  }
}

struct ScopedClassOverride::Saved {
  std::optional<std::string> progKey;          // folded prog id, when one is overridden
  std::optional<ComFactory> previousFactory;   // nullopt: class was not registered
  std::optional<CLSID> previousBinding;        // nullopt: prog id was not bound
};

ScopedClassOverride::ScopedClassOverride(const CLSID& clsid, const char* progId, ComFactory factory)
    : clsid_(clsid), saved_(new Saved) {
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mu);
  auto cls = r.classes.find(clsid);
  if (cls != r.classes.end()) saved_->previousFactory = cls->second;
  if (progId) {
    saved_->progKey = foldProgId(progId);
    auto bound = r.progIds.find(*saved_->progKey);
    if (bound != r.progIds.end()) saved_->previousBinding = bound->second;
  }
  if (factory) {
    r.classes[clsid] = std::move(factory);
    if (saved_->progKey) r.progIds[*saved_->progKey] = clsid;
  } else {
    r.classes.erase(clsid);
    if (saved_->progKey) r.progIds.erase(*saved_->progKey);
  }
}

namespace {
CLSID currentOrDerived(const char* progId) {
  std::string text = progId ? progId : "";
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mu);
  auto bound = r.progIds.find(foldProgId(text));
  return bound != r.progIds.end() ? bound->second : clsidFromText(text);
}
}  // namespace

ScopedClassOverride::ScopedClassOverride(const char* progId, ComFactory factory)
    : ScopedClassOverride(currentOrDerived(progId), progId ? progId : "", std::move(factory)) {}

ScopedClassOverride::~ScopedClassOverride() {
  Registry& r = registry();
  {
    std::lock_guard<std::mutex> lock(r.mu);
    if (saved_->previousFactory) {
      r.classes[clsid_] = std::move(*saved_->previousFactory);
    } else {
      r.classes.erase(clsid_);
    }
    if (saved_->progKey) {
      if (saved_->previousBinding) {
        r.progIds[*saved_->progKey] = *saved_->previousBinding;
      } else {
        r.progIds.erase(*saved_->progKey);
      }
    }
  }
  delete saved_;
}

HRESULT CLSIDFromProgID(LPCOLESTR progId, CLSID* clsid) {
  if (!progId || !clsid) return E_INVALIDARG;
  *clsid = CLSID_NULL;
  size_t n = 0;
  while (progId[n]) ++n;
  if (progId[0] == u'{') return CLSIDFromString(progId, clsid);
  std::string key = foldProgId(utf16ToUtf8(progId, n));
  Registry& r = registry();
  std::lock_guard<std::mutex> lock(r.mu);
  auto bound = r.progIds.find(key);
  if (bound == r.progIds.end()) return CO_E_CLASSSTRING;
  *clsid = bound->second;
  return S_OK;
}

HRESULT CoCreateInstance(REFCLSID clsid, IUnknown* outer, DWORD clsContext, REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (!qelComIsInitialized()) return CO_E_NOTINITIALIZED;
  if ((clsContext & CLSCTX_SERVER) == 0 && (clsContext & CLSCTX_INPROC_HANDLER) == 0) return E_INVALIDARG;
  ComFactory factory;
  {
    Registry& r = registry();
    std::lock_guard<std::mutex> lock(r.mu);
    auto cls = r.classes.find(clsid);
    if (cls == r.classes.end()) return REGDB_E_CLASSNOTREG;
    factory = cls->second;  // call outside the lock: a factory may create other objects
  }
  HRESULT hr;
  try {
    hr = factory(outer, riid, ppv);
  } catch (const std::bad_alloc&) {
    hr = E_OUTOFMEMORY;
  } catch (...) {
    hr = E_FAIL;
  }
  if (FAILED(hr)) {
    *ppv = nullptr;  // whatever a failing factory left there is not the caller's
    return hr;
  }
  if (!*ppv) return E_UNEXPECTED;
  return hr;
}
