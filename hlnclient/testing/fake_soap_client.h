#pragma once
// A fake SOAP client for QELHLN tests, registered over the real class while
// a FakeSoap object lives. It records what the proxies hand it (the
// VARIANTs exactly as received) and answers with scripted HRESULTs,
// EXCEPINFO descriptions and results. Single-threaded, like the proxies.

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "qelwin.h"
#include "soap_client.h"

namespace hln_testing {

struct RecordedArg {
  VARTYPE vt = VT_EMPTY;
  long long integer = 0;      // VT_I4, VT_INT, VT_BOOL
  double real = 0;            // VT_DATE
  BSTR bstr = nullptr;        // the pointer received (VT_BSTR)
  std::optional<std::string> text;  // its text, nullopt for a null BSTR
};

struct RecordedCall {
  int client = 0;             // which client object (creation order, from 1)
  std::string op;
  std::vector<RecordedArg> args;  // in the operation's order
  bool resultWanted = false;
};

struct Reply {
  HRESULT hr = S_OK;
  std::optional<std::string> description;  // EXCEPINFO text, set even on success
  enum Kind { kNone, kString, kNullString, kLong } kind = kString;
  std::string text;
  LONG number = 0;
  bool throwInInvoke = false;
};

struct ClientRecord {
  std::string wsdl;
  std::vector<std::string> initExtras;  // service, port, wsml as received ("<null>" for null)
  std::vector<std::pair<std::string, VARIANT>> properties;
  std::optional<std::string> headerText;  // read back from the attached handler
  bool alive = true;
};

class FakeSoap {
 public:
  FakeSoap();
  ~FakeSoap();

  // Scripted failures of the creation steps and lookups.
  HRESULT createHr = S_OK;
  HRESULT initHr = S_OK;
  HRESULT timeoutHr = S_OK;
  HRESULT attachHr = S_OK;
  HRESULT idsHr = S_OK;
  bool throwInIds = false;
  // Reply per operation; others answer kString "" with S_OK, or as
  // `respond` decides when set.
  std::map<std::string, Reply> replies;
  std::function<Reply(const RecordedCall&)> respond;

  std::vector<RecordedCall> calls;
  std::vector<ClientRecord> clients;

  int liveClients() const;
  std::vector<std::string> ops() const;  // operation names called, in order
  static FakeSoap* current();

 private:
  std::unique_ptr<ScopedClassOverride> override_;
};

}  // namespace hln_testing
