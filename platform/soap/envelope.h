#pragma once
// SOAP 1.1 envelopes: request encoding and answer decoding.

#include <optional>
#include <string>
#include <vector>

#include "wsdl.h"

namespace qelsoap {

// One argument in its XSD lexical form; nullopt travels as xsi:nil="true".
using ArgText = std::optional<std::string>;

// The request envelope for op. headerXml is inserted verbatim into
// soap:Header (omitted when empty). REQUIRES: args.size() == op.inputs.size().
std::string buildEnvelope(const WsdlOperation& op, const std::vector<ArgText>& args,
                          const std::string& headerXml);

struct SoapAnswer {
  bool fault = false;
  std::string faultText;  // fault: the reason, "\n", then each detail child as markup
  bool present = false;   // a result element was found
  bool nil = false;       // it carried xsi:nil="true"
  std::string result;     // its text (UTF-8)
};

// Decodes an answer body whatever its HTTP status: a SOAP 1.1 or 1.2 fault
// wins; otherwise the result element of op, matched by local name.
// contentType supplies the charset (else the XML declaration, else UTF-8).
// Throws SoapError (kBadAnswer, kCharset) when the body is no SOAP envelope.
SoapAnswer parseAnswer(const WsdlOperation& op, const std::string& body,
                       const std::string& contentType);

// Converts text in the named charset to UTF-8; throws SoapError (kCharset)
// for an unknown charset. "" and UTF-8 pass through unchanged.
std::string toUtf8(const std::string& text, const std::string& charset);
// Charset of an answer: the Content-Type parameter, else the XML declaration.
std::string answerCharset(const std::string& body, const std::string& contentType);

// Escapes text for XML content and attribute values. Carriage returns and
// other control characters become character references so they survive.
std::string xmlEscape(const std::string& text);

// OLE automation date (days since 1899-12-30, time as the fraction's
// absolute value) to "YYYY-MM-DDThh:mm:ss". False when out of range/NaN.
bool oleDateToXsd(double date, std::string* out);

}  // namespace qelsoap
