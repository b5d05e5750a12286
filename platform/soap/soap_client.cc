#include "soap_client.h"

#include <cctype>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <map>
#include <mutex>
#include <new>

#include "envelope.h"
#include "hollin_wire.h"
#include "http_transport.h"
#include "soap_error.h"
#include "wsdl.h"

namespace qelsoap {
namespace {

constexpr long kDefaultTimeoutMs = 30000;

std::string narrow(BSTR s) { return s ? utf16ToUtf8(s, SysStringLen(s)) : std::string(); }

bool equalsNoCase(const std::string& a, const char* b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  return true;
}

// ---- WSDL cache, process-wide.
std::mutex gCacheMutex;
std::map<std::string, std::shared_ptr<const WsdlModel>>& cache() {
  static auto* m = new std::map<std::string, std::shared_ptr<const WsdlModel>>;
  return *m;
}

std::shared_ptr<const WsdlModel> loadWsdl(const std::string& url, const std::string& service,
                                          const std::string& port, long timeoutMs) {
  std::string key = url + '\n' + service + '\n' + port;
  {
    std::lock_guard<std::mutex> lock(gCacheMutex);
    auto it = cache().find(key);
    if (it != cache().end()) return it->second;
  }
  auto fetch = [timeoutMs](const std::string& u) {
    HttpResponse r = threadTransport().get(u, timeoutMs);
    if (r.status != 200)
      throw SoapError(SoapError::Kind::kWsdl,
                      "HTTP status " + std::to_string(r.status) + " fetching " + u);
    std::string cs = answerCharset(r.body, r.contentType);
    return toUtf8(r.body, cs);
  };
  auto model = parseWsdl(url, fetch, service, port);
  std::lock_guard<std::mutex> lock(gCacheMutex);
  cache()[key] = model;
  return model;
}

// ---- Header handler.

// What the client asks a header handler of this library for.
struct ISoapHeaderWriter : IUnknown {
  // Appends the header element(s) for one request to *xml.
  virtual HRESULT writeHeaderXml(std::string* xml) = 0;
};

}  // namespace
}  // namespace qelsoap

QEL_DECLARE_INTERFACE(qelsoap::ISoapHeaderWriter, IUnknown, 0x5E7A0C32, 0x4B2D, 0x4F6A, 0x9C, 0x1E,
                      0x3D, 0x52, 0x8B, 0x6F, 0x20, 0x42);

namespace qelsoap {
namespace {

class HeaderHandler : public ComObject<IClsHeaderHandler, ISoapHeaderWriter> {
 public:
  HRESULT GetTypeInfoCount(UINT* n) override {
    if (!n) return E_POINTER;
    *n = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, void**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return DISP_E_UNKNOWNNAME;
  }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }
  HRESULT get_HeaderText(BSTR* text) override {
    if (!text) return E_POINTER;
    *text = nullptr;
    if (!hasText_) return S_OK;
    std::u16string u = utf8ToUtf16(text_);
    *text = SysAllocStringLen(u.data(), static_cast<UINT>(u.size()));
    return *text ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT put_HeaderText(BSTR text) override {
    try {
      text_ = narrow(text);
      hasText_ = true;
      return S_OK;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }
  HRESULT writeHeaderXml(std::string* xml) override {
    if (!xml) return E_POINTER;
    try {
      *xml += "<h:";
      *xml += hollin_wire::kHeaderElement;
      *xml += " xmlns:h=\"";
      *xml += hollin_wire::kHeaderNamespace;
      *xml += "\">" + xmlEscape(text_) + "</h:";
      *xml += hollin_wire::kHeaderElement;
      *xml += ">";
      return S_OK;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }

 private:
  std::string text_;
  bool hasText_ = false;
};

// ---- Argument and result conversion.

struct ArgFailure {
  HRESULT hr;
};

bool integerOf(const VARIANT& v, long long* out) {
  switch (v.vt) {
    case VT_I2: *out = v.iVal; return true;
    case VT_I4: *out = v.lVal; return true;
    case VT_INT: *out = v.intVal; return true;
    case VT_I8: *out = v.llVal; return true;
    case VT_I1: *out = v.cVal; return true;
    case VT_UI1: *out = v.bVal; return true;
    case VT_UI2: *out = v.uiVal; return true;
    case VT_UI4: *out = v.ulVal; return true;
    case VT_UINT: *out = v.uintVal; return true;
    case VT_BOOL: *out = v.boolVal ? -1 : 0; return true;
    case VT_R8:
      if (!std::isfinite(v.dblVal) || std::fabs(v.dblVal) > 9.2e18) throw ArgFailure{DISP_E_OVERFLOW};
      *out = std::llround(v.dblVal);
      return true;
    case VT_BSTR: {
      std::string s = narrow(v.bstrVal);
      char* end = nullptr;
      errno = 0;
      long long n = std::strtoll(s.c_str(), &end, 10);
      if (s.empty() || *end) throw ArgFailure{DISP_E_TYPEMISMATCH};
      if (errno == ERANGE) throw ArgFailure{DISP_E_OVERFLOW};
      *out = n;
      return true;
    }
    default: return false;
  }
}

ArgText encodeArg(const VARIANT& in, XsdType type) {
  const VARIANT* vp = &in;
  if (vp->vt == (VT_BYREF | VT_VARIANT)) {
    if (!vp->pvarVal) throw ArgFailure{DISP_E_TYPEMISMATCH};
    vp = vp->pvarVal;
  }
  const VARIANT& v = *vp;
  if (v.vt == VT_EMPTY || v.vt == VT_NULL) return std::nullopt;
  switch (type) {
    case XsdType::kInt:
    case XsdType::kLong:
    case XsdType::kShort:
    case XsdType::kByte: {
      long long n;
      if (!integerOf(v, &n)) throw ArgFailure{DISP_E_TYPEMISMATCH};
      long long lo = type == XsdType::kInt ? INT_MIN : type == XsdType::kShort ? SHRT_MIN
                   : type == XsdType::kByte ? SCHAR_MIN : LLONG_MIN;
      long long hi = type == XsdType::kInt ? INT_MAX : type == XsdType::kShort ? SHRT_MAX
                   : type == XsdType::kByte ? SCHAR_MAX : LLONG_MAX;
      if (n < lo || n > hi) throw ArgFailure{DISP_E_OVERFLOW};
      return std::to_string(n);
    }
    case XsdType::kBoolean: {
      if (v.vt == VT_BSTR) {
        std::string s = narrow(v.bstrVal);
        if (s == "true" || s == "1") return std::string("true");
        if (s == "false" || s == "0") return std::string("false");
        throw ArgFailure{DISP_E_TYPEMISMATCH};
      }
      long long n;
      if (!integerOf(v, &n)) throw ArgFailure{DISP_E_TYPEMISMATCH};
      return std::string(n ? "true" : "false");
    }
    case XsdType::kDateTime: {
      if (v.vt == VT_BSTR) return narrow(v.bstrVal);  // already lexical
      if (v.vt != VT_DATE && v.vt != VT_R8) throw ArgFailure{DISP_E_TYPEMISMATCH};
      std::string out;
      if (!oleDateToXsd(v.date, &out)) throw ArgFailure{DISP_E_OVERFLOW};
      return out;
    }
    case XsdType::kDouble: {
      double d;
      long long n;
      if (v.vt == VT_R8 || v.vt == VT_DATE) d = v.dblVal;
      else if (v.vt == VT_R4) d = v.fltVal;
      else if (integerOf(v, &n)) d = static_cast<double>(n);
      else throw ArgFailure{DISP_E_TYPEMISMATCH};
      char buf[40];
      std::snprintf(buf, sizeof buf, "%.17g", d);
      return std::string(buf);
    }
    case XsdType::kString:
    case XsdType::kOther: {
      if (v.vt == VT_BSTR) {
        if (!v.bstrVal) return std::nullopt;  // a null BSTR travels as nil
        return narrow(v.bstrVal);
      }
      if (v.vt == VT_BOOL) return std::string(v.boolVal ? "true" : "false");
      long long n;
      if (integerOf(v, &n)) return std::to_string(n);
      if (v.vt == VT_R8) {
        char buf[40];
        std::snprintf(buf, sizeof buf, "%.17g", v.dblVal);
        return std::string(buf);
      }
      throw ArgFailure{DISP_E_TYPEMISMATCH};
    }
  }
  throw ArgFailure{DISP_E_TYPEMISMATCH};
}

void setException(EXCEPINFO* info, const std::string& source, const std::string& text) {
  if (!info) return;
  qelClearExcepInfo(info);
  std::u16string s = utf8ToUtf16(source), d = utf8ToUtf16(text);
  info->bstrSource = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
  info->bstrDescription = SysAllocStringLen(d.data(), static_cast<UINT>(d.size()));
  info->scode = E_FAIL;
}

class SoapClient : public ComObject<ISoapClient> {
 public:
  HRESULT GetTypeInfoCount(UINT* n) override {
    if (!n) return E_POINTER;
    *n = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, void**) override { return E_NOTIMPL; }

  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
    if (!names || !ids) return E_POINTER;
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!model_) return E_UNEXPECTED;
    if (count == 0) return E_INVALIDARG;
    try {
      std::string name = names[0] ? utf16ToUtf8(std::u16string_view(names[0])) : std::string();
      ids[0] = DISPID_UNKNOWN;
      const auto& ops = model_->operations;
      for (size_t i = 0; i < ops.size() && ids[0] == DISPID_UNKNOWN; ++i)
        if (ops[i].name == name) ids[0] = static_cast<DISPID>(i + 1);
      // Automation names ignore case; an exact match wins.
      for (size_t i = 0; i < ops.size() && ids[0] == DISPID_UNKNOWN; ++i)
        if (equalsNoCase(ops[i].name, name.c_str())) ids[0] = static_cast<DISPID>(i + 1);
      for (UINT i = 1; i < count; ++i) ids[i] = DISPID_UNKNOWN;  // no named arguments
      return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    }
  }

  HRESULT Invoke(DISPID id, REFIID riid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* info, UINT* argErr) override {
    if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
    if (!model_) return E_UNEXPECTED;
    if (id < 1 || static_cast<size_t>(id) > model_->operations.size() ||
        !(flags & DISPATCH_METHOD))
      return DISP_E_MEMBERNOTFOUND;
    const WsdlOperation& op = model_->operations[static_cast<size_t>(id - 1)];
    UINT argc = params ? params->cArgs : 0;
    if (params && params->cNamedArgs) return DISP_E_NONAMEDARGS;
    if (argc != op.inputs.size()) return DISP_E_BADPARAMCOUNT;
    if (argc && !params->rgvarg) return E_POINTER;
    try {
      std::vector<ArgText> args;
      args.reserve(argc);
      for (UINT i = 0; i < argc; ++i) {
        UINT slot = argc - 1 - i;  // rgvarg holds the last argument first
        try {
          args.push_back(encodeArg(params->rgvarg[slot], op.inputs[i].type));
        } catch (const ArgFailure& f) {
          if (argErr) *argErr = slot;
          return f.hr;
        }
      }
      std::string header;
      if (writer_) {
        HRESULT hr = writer_->writeHeaderXml(&header);
        if (FAILED(hr)) return hr;
      }
      std::string body = buildEnvelope(op, args, header);
      std::string endpoint = endpoint_.empty() ? op.endpoint : endpoint_;
      HttpResponse r = threadTransport().post(
          endpoint,
          {"Content-Type: text/xml; charset=utf-8", "SOAPAction: \"" + op.soapAction + "\""},
          body, timeoutMs_);
      SoapAnswer a;
      try {
        a = parseAnswer(op, r.body, r.contentType);
      } catch (const SoapError& e) {
        if (r.status >= 200 && r.status < 300) throw;
        throw SoapError(SoapError::Kind::kHttp, "HTTP status " + std::to_string(r.status) +
                                                    " from " + endpoint);
      }
      if (a.fault) {
        setException(info, op.name, a.faultText);
        return DISP_E_EXCEPTION;
      }
      if (r.status < 200 || r.status >= 300)
        throw SoapError(SoapError::Kind::kHttp,
                        "HTTP status " + std::to_string(r.status) + " from " + endpoint);
      if (result) {
        VariantClear(result);
        return decodeResult(op, a, result, info);
      }
      return S_OK;
    } catch (const SoapError& e) {
      setException(info, op.name, e.what());
      return DISP_E_EXCEPTION;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_FAIL;
    }
  }

  HRESULT MSSoapInit(BSTR wsdlUrl, BSTR service, BSTR port, BSTR) override {
    try {
      std::string url = narrow(wsdlUrl);
      if (url.empty()) return E_INVALIDARG;
      model_ = loadWsdl(url, narrow(service), narrow(port), timeoutMs_);
      return S_OK;
    } catch (const SoapError& e) {
      // The HRESULT cannot say why; the debugger output can.
      OutputDebugStringA(("ERROR [MSSoapInit]: " + std::string(e.what()) + "\n").c_str());
      return E_FAIL;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_FAIL;
    }
  }

  HRESULT put_ConnectorProperty(BSTR name, VARIANT value) override {
    try {
      std::string n = narrow(name);
      if (equalsNoCase(n, "Timeout")) {
        long long ms;
        if (!integerOf(value, &ms) || ms <= 0 || ms > LONG_MAX) return E_INVALIDARG;
        timeoutMs_ = static_cast<long>(ms);
        return S_OK;
      }
      if (equalsNoCase(n, "EndPointURL")) {
        if (value.vt != VT_BSTR) return E_INVALIDARG;
        endpoint_ = narrow(value.bstrVal);
        return S_OK;
      }
      return E_INVALIDARG;
    } catch (const std::bad_alloc&) {
      return E_OUTOFMEMORY;
    } catch (...) {
      return E_INVALIDARG;
    }
  }

  HRESULT putref_HeaderHandler(IDispatch* handler) override {
    if (!handler) {
      writer_ = nullptr;
      return S_OK;
    }
    ComPtr<ISoapHeaderWriter> w;
    HRESULT hr = handler->QueryInterface(QEL_IIDOF(ISoapHeaderWriter),
                                         reinterpret_cast<void**>(w.ReleaseAndGetAddressOf()));
    if (FAILED(hr)) return E_NOINTERFACE;
    writer_ = w;
    return S_OK;
  }

 private:
  HRESULT decodeResult(const WsdlOperation& op, const SoapAnswer& a, VARIANT* out, EXCEPINFO* info) {
    if (!a.present) return S_OK;  // stays VT_EMPTY
    switch (op.outputType) {
      case XsdType::kInt:
      case XsdType::kLong:
      case XsdType::kShort:
      case XsdType::kByte: {
        out->vt = VT_I4;
        out->lVal = 0;
        if (a.nil) return S_OK;
        char* end = nullptr;
        errno = 0;
        long long n = std::strtoll(a.result.c_str(), &end, 10);
        while (end && std::isspace(static_cast<unsigned char>(*end))) ++end;
        if (a.result.empty() || *end || errno == ERANGE || n < INT_MIN || n > INT_MAX) {
          out->vt = VT_EMPTY;
          setException(info, op.name, "Result of " + op.name + " is not a 32-bit integer: " +
                                          a.result.substr(0, 64));
          return DISP_E_EXCEPTION;
        }
        out->lVal = static_cast<LONG>(n);
        return S_OK;
      }
      case XsdType::kBoolean:
        out->vt = VT_BOOL;
        out->boolVal = (a.result == "true" || a.result == "1") ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
      default: {
        out->vt = VT_BSTR;
        out->bstrVal = nullptr;
        if (a.nil) return S_OK;  // a nil string is a null BSTR
        std::u16string u = utf8ToUtf16(a.result);
        out->bstrVal = SysAllocStringLen(u.data(), static_cast<UINT>(u.size()));
        if (!out->bstrVal) {
          out->vt = VT_EMPTY;
          return E_OUTOFMEMORY;
        }
        return S_OK;
      }
    }
  }

  std::shared_ptr<const WsdlModel> model_;
  long timeoutMs_ = kDefaultTimeoutMs;
  std::string endpoint_;
  ComPtr<ISoapHeaderWriter> writer_;
};

}  // namespace
}  // namespace qelsoap

extern "C" HRESULT qelsoapRegister() {
  static std::once_flag once;
  std::call_once(once, [] {
    QelRegisterClass(CLSID_SoapClient30, nullptr, qelFactoryFor<qelsoap::SoapClient>());
    QelRegisterClass(CLSID_SoapHeaderHandler, kSoapHeaderHandlerProgId,
                     qelFactoryFor<qelsoap::HeaderHandler>());
  });
  return S_OK;
}

extern "C" void qelsoapFlushWsdlCache() {
  std::lock_guard<std::mutex> lock(qelsoap::gCacheMutex);
  qelsoap::cache().clear();
}

extern "C" void qelsoapCloseConnections() { qelsoap::threadTransport().closeConnections(); }
