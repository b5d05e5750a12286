#pragma once
// HLNSoapProxy: the machinery every controller proxy shares: creating and
// initialising the SOAP client, the call timeout, the header handler,
// calling an operation by name and turning failures and SOAP faults into
// thrown message texts (const char*, see HLNinterfaces.h).
//
// Threading: used on the thread that created it (COM apartment rule).

#include <initializer_list>
#include <vector>

#include "cstring.h"
#include "qelwin.h"
#include "soap_client.h"

// One argument of a call, encoded as its wire type. A string argument
// borrows the caller's BSTR for the duration of the call.
struct HLNArg {
  VARIANT v;
  static HLNArg Long(long value);  // VT_I4; throws DISP_E_OVERFLOW text outside 32 bits
  static HLNArg Int(int value);    // VT_INT
  static HLNArg Bool(bool value);  // VT_BOOL, VARIANT_TRUE / VARIANT_FALSE
  static HLNArg Str(const _bstr_t& value);  // VT_BSTR, the caller's BSTR (null when none)
  static HLNArg Date(double value);         // VT_DATE, unchanged
};

// Built afresh for every call: the name, the count and the arguments, last
// argument first (COM dispatch order).
struct HLNCallDescriptor {
  _bstr_t name;  // allocation failure throws _com_error(E_OUTOFMEMORY)
  UINT count = 0;
  std::vector<VARIANT> args;  // args[0] is the last argument
  HLNCallDescriptor(const char* operation, std::initializer_list<HLNArg> arguments);
};

class HLNSoapProxy {
 public:
  virtual ~HLNSoapProxy();
  HLNSoapProxy(const HLNSoapProxy&) = delete;
  HLNSoapProxy& operator=(const HLNSoapProxy&) = delete;

  // The fault rule: the text between the first "<Description>" and the
  // first "</Description>" when at least two characters lie between them,
  // else the whole text.
  static CString extractFaultDescription(const CString& text);

 protected:
  // Clears all fields. notReadyMessage: a string literal.
  explicit HLNSoapProxy(const char* notReadyMessage);

  // Steps 1-4 of creation: create the client, MSSoapInit(url, "", "", ""),
  // Timeout 300000. Throws the step's text; the client is released then.
  void createClient(const CString& wsdlUrl);
  // Step 5: create the header handler, give it the text, attach it.
  void attachHeaderHandler(const CString& headerText);
  // Step 6. REQUIRES the steps above succeeded.
  void setReady() { ready = true; }
  // Steps 1-6 for a controller proxy: a failure releases what was created
  // and its text propagates.
  void createWithHeader(const CString& wsdlUrl, const CString& headerText);
  // Releases client then handler (by their flags), as the destructor does.
  void releaseAll();

  // Calls the operation. REQUIRES result initialised empty; wantResult
  // false passes no result VARIANT. Throws the message texts of the proxy.
  void invoke(HLNCallDescriptor& call, VARIANT* result, bool wantResult);

  // Operation helpers: check ready, build the descriptor, invoke, convert.
  CString callString(const char* operation, std::initializer_list<HLNArg> args = {});
  long callLong(const char* operation, std::initializer_list<HLNArg> args = {});
  void callVoid(const char* operation, std::initializer_list<HLNArg> args = {});

 private:
  void checkReady() const;

  ComPtr<ISoapClient> client;
  ComPtr<IClsHeaderHandler> headerHandler;
  bool clientCreated;
  bool handlerCreated;
  bool ready;
  const char* notReadyMessage_;
};
