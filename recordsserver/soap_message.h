#pragma once
// SOAP 1.1 envelopes of the records server, as fixed in hollin_wire.h:
// reading a document/literal wrapped request, writing a response or a fault.
#include <stdexcept>
#include <string>
#include <vector>

#include "operations.h"

namespace hollin {

// A refused call. `clientFault` selects faultcode soap:Client (bad input,
// unknown id, bad handle) over soap:Server.
class SoapFault : public std::runtime_error {
 public:
  SoapFault(const std::string& reason, bool clientFault = true)
      : std::runtime_error(reason), clientFault_(clientFault) {}
  bool clientFault() const { return clientFault_; }

 private:
  bool clientFault_;
};

struct SoapRequest {
  const Operation* operation = nullptr;
  std::string sessionHandle;  // text of the SessionHandle header; empty when absent
  bool hasSessionHandle = false;
  std::vector<std::string> args;  // wire texts, nil read as ""
};

// Parses `body` as a request to `controller`'s service. Throws SoapFault
// naming the reason: malformed XML, no Envelope/Body, an operation that the
// controller does not have, a wrong namespace, a missing argument or one
// whose text does not fit its type.
SoapRequest parseSoapRequest(const std::string& controller, const std::string& body);

// The response envelope for `op` with `result` as the text of <return>
// (no <return> for operations without a result). The text is escaped.
std::string buildSoapResponse(const Operation& op, const std::string& result);

// The fault envelope: faultcode, faultstring = reason and
// <detail><Description>reason</Description></detail>.
std::string buildSoapFault(const std::string& reason, bool clientFault);

// Whether `text` is a dateTime as the wire carries it:
// "YYYY-MM-DDThh:mm:ss", optionally followed by fractional seconds and a zone.
bool isWireDateTime(const std::string& text);

}  // namespace hollin
