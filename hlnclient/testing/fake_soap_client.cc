#include "testing/fake_soap_client.h"

#include <stdexcept>

namespace hln_testing {
namespace {

FakeSoap* gCurrent = nullptr;

std::string text16(const OLECHAR* s) {
  return s ? utf16ToUtf8(std::u16string_view(s)) : std::string("<null>");
}

class FakeClient : public ComObject<ISoapClient> {
 public:
  explicit FakeClient(int index) : index_(index) {}
  ~FakeClient() override {
    if (gCurrent && index_ <= static_cast<int>(gCurrent->clients.size()))
      gCurrent->clients[index_ - 1].alive = false;
  }
  HRESULT GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, void**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
    if (gCurrent->throwInIds) throw std::runtime_error("lookup blew up");
    if (riid != IID_NULL || count != 1 || lcid != LOCALE_SYSTEM_DEFAULT) return E_INVALIDARG;
    if (FAILED(gCurrent->idsHr)) return gCurrent->idsHr;
    std::string name = text16(names[0]);
    for (size_t i = 0; i < names_.size(); ++i)
      if (names_[i] == name) {
        ids[0] = static_cast<DISPID>(i + 100);
        return S_OK;
      }
    names_.push_back(name);
    ids[0] = static_cast<DISPID>(names_.size() - 1 + 100);
    return S_OK;
  }
  HRESULT Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                 EXCEPINFO* info, UINT* argErr) override {
    if (riid != IID_NULL || lcid != LOCALE_SYSTEM_DEFAULT || flags != DISPATCH_METHOD || !info ||
        !argErr || *argErr != static_cast<UINT>(-1) || !params || params->cNamedArgs ||
        params->rgdispidNamedArgs)
      return E_INVALIDARG;
    RecordedCall call;
    call.client = index_;
    call.op = names_.at(static_cast<size_t>(id - 100));
    call.resultWanted = result != nullptr;
    if (params->cArgs && !params->rgvarg) return E_POINTER;
    for (UINT i = params->cArgs; i-- > 0;) {
      const VARIANT& v = params->rgvarg[i];
      RecordedArg a;
      a.vt = v.vt;
      if (v.vt == VT_I4) a.integer = v.lVal;
      if (v.vt == VT_INT) a.integer = v.intVal;
      if (v.vt == VT_BOOL) a.integer = v.boolVal;
      if (v.vt == VT_DATE) a.real = v.date;
      if (v.vt == VT_BSTR) {
        a.bstr = v.bstrVal;
        if (v.bstrVal) a.text = utf16ToUtf8(v.bstrVal, SysStringLen(v.bstrVal));
      }
      call.args.push_back(a);
    }
    gCurrent->calls.push_back(call);
    Reply r;
    auto it = gCurrent->replies.find(call.op);
    if (it != gCurrent->replies.end()) r = it->second;
    else if (gCurrent->respond) r = gCurrent->respond(call);
    if (r.throwInInvoke) throw std::runtime_error("invoke blew up");
    if (r.description) {
      std::u16string d = utf8ToUtf16(*r.description);
      info->bstrDescription = SysAllocStringLen(d.data(), static_cast<UINT>(d.size()));
      info->bstrSource = SysAllocString(u"fake");
    }
    if (result) {
      if (r.kind == Reply::kString) {
        std::u16string t = utf8ToUtf16(r.text);
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocStringLen(t.data(), static_cast<UINT>(t.size()));
      } else if (r.kind == Reply::kNullString) {
        result->vt = VT_BSTR;
        result->bstrVal = nullptr;
      } else if (r.kind == Reply::kLong) {
        result->vt = VT_I4;
        result->lVal = r.number;
      }
    }
    return r.hr;
  }
  HRESULT MSSoapInit(BSTR wsdl, BSTR service, BSTR port, BSTR wsml) override {
    auto& rec = gCurrent->clients[index_ - 1];
    rec.wsdl = text16(wsdl);
    rec.initExtras = {text16(service), text16(port), text16(wsml)};
    return gCurrent->initHr;
  }
  HRESULT put_ConnectorProperty(BSTR name, VARIANT value) override {
    gCurrent->clients[index_ - 1].properties.emplace_back(text16(name), value);
    return gCurrent->timeoutHr;
  }
  HRESULT putref_HeaderHandler(IDispatch* handler) override {
    ComPtr<IClsHeaderHandler> h;
    if (handler &&
        SUCCEEDED(handler->QueryInterface(IID_IClsHeaderHandler,
                                          reinterpret_cast<void**>(h.ReleaseAndGetAddressOf())))) {
      BSTR text = nullptr;
      if (SUCCEEDED(h->get_HeaderText(&text))) {
        gCurrent->clients[index_ - 1].headerText = text16(text);
        SysFreeString(text);
      }
    }
    return gCurrent->attachHr;
  }

 private:
  int index_;
  std::vector<std::string> names_;
};

}  // namespace

FakeSoap::FakeSoap() {
  gCurrent = this;
  override_ = std::make_unique<ScopedClassOverride>(
      CLSID_SoapClient30, nullptr, [](IUnknown* outer, REFIID riid, void** ppv) -> HRESULT {
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        if (FAILED(gCurrent->createHr)) return gCurrent->createHr;
        gCurrent->clients.push_back(ClientRecord{});
        return qelCreateInstance<FakeClient>(riid, ppv, static_cast<int>(gCurrent->clients.size()));
      });
}

FakeSoap::~FakeSoap() {
  override_.reset();
  gCurrent = nullptr;
}

int FakeSoap::liveClients() const {
  int n = 0;
  for (const auto& c : clients) n += c.alive ? 1 : 0;
  return n;
}

std::vector<std::string> FakeSoap::ops() const {
  std::vector<std::string> out;
  for (const auto& c : calls) out.push_back(c.op);
  return out;
}

FakeSoap* FakeSoap::current() { return gCurrent; }

}  // namespace hln_testing
