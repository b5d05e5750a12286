#include "internal/HLNSoapProxy.h"

#include <climits>
#include <cstring>
#include <string>

#include "internal/hln_message.h"

namespace {

constexpr DWORD kClassContext = 7;  // in-process server, in-process handler, local server
constexpr LONG kCallTimeoutMs = 300000;
constexpr size_t kFaultBufferBytes = 512;

// UTF-8 of a BSTR cut to fit a buffer of `bytes` (terminator included),
// never inside a character.
std::string convertToBuffer(BSTR s, size_t bytes) {
  std::string text = utf16ToUtf8(s, SysStringLen(s));
  if (text.size() < bytes) return text;
  size_t cut = bytes - 1;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  text.resize(cut);
  return text;
}

const char* invokeFailureText(HRESULT hr) {
  switch (hr) {
    case DISP_E_UNKNOWNINTERFACE: return "Unable to invoke SoapClient method: DISP_E_UNKNOWNINTERFACE";
    case DISP_E_MEMBERNOTFOUND: return "Unable to invoke SoapClient method: DISP_E_MEMBERNOTFOUND";
    case DISP_E_PARAMNOTFOUND: return "Unable to invoke SoapClient method: DISP_E_PARAMNOTFOUND";
    case DISP_E_TYPEMISMATCH: return "Unable to invoke SoapClient method: DISP_E_TYPEMISMATCH";
    case DISP_E_NONAMEDARGS: return "Unable to invoke SoapClient method: DISP_E_NONAMEDARGS";
    case DISP_E_BADVARTYPE: return "Unable to invoke SoapClient method: DISP_E_BADVARTYPE";
    case DISP_E_EXCEPTION: return "Unable to invoke SoapClient method: DISP_E_EXCEPTION";
    case DISP_E_OVERFLOW: return "Unable to invoke SoapClient method: DISP_E_OVERFLOW";
    case DISP_E_UNKNOWNLCID: return "Unable to invoke SoapClient method: DISP_E_UNKNOWNLCID";
    case DISP_E_BADPARAMCOUNT: return "Unable to invoke SoapClient method: DISP_E_BADPARAMCOUNT";
    case DISP_E_PARAMNOTOPTIONAL: return "Unable to invoke SoapClient method: DISP_E_PARAMNOTOPTIONAL";
    default: return nullptr;
  }
}

// The integer a result VARIANT holds, by its tag.
bool integerResult(const VARIANT& v, long long* out) {
  switch (v.vt) {
    case VT_I4: *out = v.lVal; return true;
    case VT_INT: *out = v.intVal; return true;
    case VT_I2: *out = v.iVal; return true;
    case VT_I8: *out = v.llVal; return true;
    case VT_UI4: *out = v.ulVal; return true;
    case VT_UINT: *out = v.uintVal; return true;
    default: return false;
  }
}

}  // namespace

HLNArg HLNArg::Long(long value) {
  if (value < INT32_MIN || value > INT32_MAX)
    throw "Unable to invoke SoapClient method: DISP_E_OVERFLOW";
  HLNArg a;
  VariantInit(&a.v);
  a.v.vt = VT_I4;
  a.v.lVal = static_cast<LONG>(value);
  return a;
}

HLNArg HLNArg::Int(int value) {
  HLNArg a;
  VariantInit(&a.v);
  a.v.vt = VT_INT;
  a.v.intVal = value;
  return a;
}

HLNArg HLNArg::Bool(bool value) {
  HLNArg a;
  VariantInit(&a.v);
  a.v.vt = VT_BOOL;
  a.v.boolVal = value ? VARIANT_TRUE : VARIANT_FALSE;
  return a;
}

HLNArg HLNArg::Str(const _bstr_t& value) {
  HLNArg a;
  VariantInit(&a.v);
  a.v.vt = VT_BSTR;
  a.v.bstrVal = static_cast<BSTR>(value);  // borrowed, neither copied nor freed
  return a;
}

HLNArg HLNArg::Date(double value) {
  HLNArg a;
  VariantInit(&a.v);
  a.v.vt = VT_DATE;
  a.v.date = value;
  return a;
}

HLNCallDescriptor::HLNCallDescriptor(const char* operation, std::initializer_list<HLNArg> arguments)
    : name(operation), count(static_cast<UINT>(arguments.size())) {
  args.reserve(arguments.size());
  for (auto it = arguments.end(); it != arguments.begin();) args.push_back((--it)->v);
}

HLNSoapProxy::HLNSoapProxy(const char* notReadyMessage)
    : clientCreated(false), handlerCreated(false), ready(false), notReadyMessage_(notReadyMessage) {}

HLNSoapProxy::~HLNSoapProxy() { releaseAll(); }

void HLNSoapProxy::releaseAll() {
  if (clientCreated) client.Reset();
  clientCreated = false;
  if (handlerCreated) headerHandler.Reset();
  handlerCreated = false;
  client.Reset();
  headerHandler.Reset();
}

void HLNSoapProxy::createWithHeader(const CString& wsdlUrl, const CString& headerText) {
  createClient(wsdlUrl);
  try {
    attachHeaderHandler(headerText);
  } catch (...) {
    releaseAll();
    throw;
  }
  setReady();
}

void HLNSoapProxy::createClient(const CString& wsdlUrl) {
  client.Reset();
  headerHandler.Reset();
  clientCreated = handlerCreated = ready = false;
  try {
    HRESULT hr = CoCreateInstance(CLSID_SoapClient30, nullptr, kClassContext, IID_ISoapClient,
                                  reinterpret_cast<void**>(client.ReleaseAndGetAddressOf()));
    clientCreated = true;
    if (FAILED(hr) || !client) throw "Unable to create SOAPClient object";

    try {
      _bstr_t url(wsdlUrl);
      _bstr_t empty("");
      if (FAILED(client->MSSoapInit(url, empty, empty, empty)))
        throw "Unable to initialize SOAPClient object";
    } catch (const char*) {
      throw;
    } catch (...) {
      throw "Unable to initialize SOAPClient object";
    }

    try {
      _bstr_t name("Timeout");
      VARIANT timeout;
      VariantInit(&timeout);
      timeout.vt = VT_I4;
      timeout.lVal = kCallTimeoutMs;
      HRESULT thr = client->put_ConnectorProperty(name, timeout);
      VariantClear(&timeout);
      if (FAILED(thr)) throw "Unable to change soap timeout";
    } catch (const char*) {
      throw;
    } catch (...) {
      throw "Unable to change soap timeout";
    }
  } catch (...) {
    client.Reset();
    clientCreated = false;
    throw;
  }
}

void HLNSoapProxy::attachHeaderHandler(const CString& headerText) {
  try {
    CLSID clsid;
    _bstr_t progId(kSoapHeaderHandlerProgId);
    if (CLSIDFromProgID(progId, &clsid) != 0) throw "Unable to get CLSID for SoapHeaderHandler";

    HRESULT hr = CoCreateInstance(clsid, nullptr, kClassContext, IID_IClsHeaderHandler,
                                  reinterpret_cast<void**>(headerHandler.ReleaseAndGetAddressOf()));
    if (hr != 0) {
      switch (hr) {
        case REGDB_E_CLASSNOTREG:
          throw "Unable to create SoapHeaderHandler instance: REGDB_E_CLASSNOTREG";
        case E_NOINTERFACE:
          throw "Unable to create SoapHeaderHandler instance: E_NOINTERFACE";
        case CLASS_E_NOAGGREGATION:
          throw "Unable to create SoapHeaderHandler instance: CLASS_E_NOAGGREGATION";
        default:
          throw "Unable to create SoapHeaderHandler instance: unknown error";
      }
    }
    handlerCreated = true;

    // The string setter is the second method after IDispatch's seven.
    HRESULT setHr = headerHandler->put_HeaderText(_bstr_t(headerText));
    if (FAILED(setHr)) _com_issue_error(setHr);

    HRESULT attachHr = client->putref_HeaderHandler(headerHandler.Get());
    if (attachHr != 0) {
      if (attachHr == E_NOTIMPL) throw "Unable to set SoapClient HeaderHandler: E_NOTIMPL";
      if (attachHr == E_OUTOFMEMORY) throw "Unable to set SoapClient HeaderHandler: E_OUTOFMEMORY";
      throw "Unable to set SoapClient HeaderHandler: unknown error";
    }
  } catch (const char*) {
    throw;
  } catch (...) {
    throw "Unknown error";
  }
}

void HLNSoapProxy::checkReady() const {
  if (!ready) throw notReadyMessage_;
}

void HLNSoapProxy::invoke(HLNCallDescriptor& call, VARIANT* result, bool wantResult) {
  try {
    DISPID id = 0;
    try {
      LPOLESTR name = call.name;
      if (FAILED(client->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_SYSTEM_DEFAULT, &id)))
        throw "Unable to get SoapClient method ID";
    } catch (const char*) {
      throw;
    } catch (...) {
      throw "Unable to get SoapClient method ID";
    }

    EXCEPINFO info;
    std::memset(&info, 0, sizeof info);
    UINT argErr = static_cast<UINT>(-1);
    DISPPARAMS params;
    params.rgvarg = call.count ? call.args.data() : nullptr;
    params.rgdispidNamedArgs = nullptr;
    params.cArgs = call.count;
    params.cNamedArgs = 0;
    HRESULT hr;
    try {
      hr = client->Invoke(id, IID_NULL, LOCALE_SYSTEM_DEFAULT, DISPATCH_METHOD, &params,
                          wantResult ? result : nullptr, &info, &argErr);
    } catch (...) {
      throw "Unable to invoke SoapClient method";
    }

    if (info.bstrDescription) {
      std::string text;
      try {
        text = convertToBuffer(info.bstrDescription, kFaultBufferBytes);
      } catch (...) {
        qelClearExcepInfo(&info);
        throw;
      }
      qelClearExcepInfo(&info);
      CString fault = extractFaultDescription(CString(text));
      hln::throwText(fault.str());
    }
    qelClearExcepInfo(&info);
    if (SUCCEEDED(hr)) return;
    if (const char* text = invokeFailureText(hr)) throw text;
    // Other failures are not reported: the result stays empty.
    if (result) VariantClear(result);
  } catch (const char*) {
    if (result) VariantClear(result);
    throw;
  } catch (...) {
    if (result) VariantClear(result);
    throw "Unknown error";
  }
}

CString HLNSoapProxy::extractFaultDescription(const CString& text) {
  const std::string& s = text.str();
  size_t open = s.find("<Description>");
  if (open == std::string::npos) return text;
  size_t close = s.find("</Description>");
  long long start = static_cast<long long>(open) + 13;
  if (close == std::string::npos) return text;
  long long end = static_cast<long long>(close);
  if (end - 1 > start) return CString(s.substr(static_cast<size_t>(start), static_cast<size_t>(end - start)));
  return text;
}

CString HLNSoapProxy::callString(const char* operation, std::initializer_list<HLNArg> args) {
  checkReady();
  VARIANT result;
  VariantInit(&result);
  HLNCallDescriptor call(operation, args);
  invoke(call, &result, true);
  CString out;
  // Reading bstrVal under another tag would follow a garbage pointer: the
  // string member is read only when the tag says so; integers give their
  // decimal text, anything else the empty string (as a null BSTR does).
  long long n = 0;
  if (result.vt == VT_BSTR) {
    if (result.bstrVal) out = CString(utf16ToUtf8(result.bstrVal, SysStringLen(result.bstrVal)));
  } else if (integerResult(result, &n)) {
    out = CString(std::to_string(n));
  }
  VariantClear(&result);
  return out;
}

long HLNSoapProxy::callLong(const char* operation, std::initializer_list<HLNArg> args) {
  checkReady();
  VARIANT result;
  VariantInit(&result);
  HLNCallDescriptor call(operation, args);
  invoke(call, &result, true);
  long long n = 0;
  long out = integerResult(result, &n) ? static_cast<long>(n) : 0;
  VariantClear(&result);
  return out;
}

void HLNSoapProxy::callVoid(const char* operation, std::initializer_list<HLNArg> args) {
  checkReady();
  HLNCallDescriptor call(operation, args);
  invoke(call, nullptr, false);
}
