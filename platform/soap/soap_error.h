#pragma once
// Internal error type of the SOAP client core. Its text is what the caller of
// the COM component finally reads in EXCEPINFO or sees as a failed step.

#include <stdexcept>
#include <string>

namespace qelsoap {

class SoapError : public std::runtime_error {
 public:
  enum class Kind {
    kConnectionRefused,
    kTimeout,
    kResolve,
    kTls,
    kConnection,  // any other transport failure
    kHttp,        // an HTTP answer that is neither success nor a SOAP fault
    kBadAnswer,   // an answer that is not a SOAP envelope
    kWsdl,        // the WSDL could not be fetched or understood
    kCharset,
  };
  SoapError(Kind kind, const std::string& text) : std::runtime_error(text), kind_(kind) {}
  Kind kind() const { return kind_; }

 private:
  Kind kind_;
};

}  // namespace qelsoap
