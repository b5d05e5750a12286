#pragma once
// WSDL 1.1 model: what the SOAP client needs to call each operation of one
// port. Understands document/literal (wrapped and bare) and rpc
// (literal and encoded) SOAP 1.1 bindings.

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace qelsoap {

// Simple XSD types the client converts; anything else travels as text.
enum class XsdType { kString, kInt, kLong, kShort, kByte, kBoolean, kDateTime, kDouble, kOther };

XsdType xsdTypeFromLocalName(const std::string& local);
const char* xsdTypeName(XsdType t);  // "string", "int", ... ("anyType" for kOther)

struct WsdlPart {
  std::string name;   // element or part name as it travels
  std::string ns;     // namespace of the element when qualified, else empty
  XsdType type = XsdType::kString;
};

struct WsdlOperation {
  std::string name;
  std::string soapAction;
  std::string endpoint;
  bool rpc = false;
  bool encoded = false;          // rpc/encoded: xsi:type on every part
  bool wrapped = true;           // body carries one wrapper element
  std::string wrapperName;       // request wrapper (rpc: the operation name)
  std::string wrapperNs;         // its namespace (may be empty)
  std::vector<WsdlPart> inputs;  // in call order
  bool hasOutput = false;
  std::string outputName;        // result element/part name, matched by local name
  XsdType outputType = XsdType::kString;
};

struct WsdlModel {
  std::string url;
  std::vector<WsdlOperation> operations;
};

// Fetches a document; throws SoapError on failure.
using WsdlFetcher = std::function<std::string(const std::string& url)>;

// Parses the WSDL at url, following wsdl:import and xsd:import/include only
// to the same scheme, host and port. serviceName/portName select a port ("" =
// the first service, the first SOAP 1.1 port). Throws SoapError (kWsdl) with
// a text naming the problem.
std::shared_ptr<const WsdlModel> parseWsdl(const std::string& url, const WsdlFetcher& fetch,
                                           const std::string& serviceName = "",
                                           const std::string& portName = "");

// Resolves a possibly relative reference against base ("http://h:p/a/b.wsdl").
std::string resolveUrl(const std::string& base, const std::string& ref);
// "scheme://host:port" of a URL, lower-cased, with the default port filled in.
std::string urlOrigin(const std::string& url);

}  // namespace qelsoap
