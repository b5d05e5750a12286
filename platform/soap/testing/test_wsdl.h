#pragma once
// WSDL documents and answers in each style, for tests and benchmarks.

#include <string>
#include <vector>

namespace qelsoap_testing {

enum class WsdlStyle { kDocumentWrapped, kRpcLiteral, kRpcEncoded };

struct TestOp {
  std::string name;
  std::vector<std::pair<std::string, std::string>> inputs;  // name, xsd type local name
  std::string outputType;                                    // "" = no result
};

const char* styleName(WsdlStyle s);

// A WSDL 1.1 document of one service in the given style. When importUrl is
// not empty, messages, portType and types are left out and imported from it
// (make that document with makeWsdlImportPart).
std::string makeWsdl(WsdlStyle style, const std::string& service, const std::string& ns,
                     const std::string& endpoint, const std::vector<TestOp>& ops,
                     const std::string& importUrl = "");
std::string makeWsdlImportPart(WsdlStyle style, const std::string& ns,
                               const std::vector<TestOp>& ops);

// An answer envelope carrying result as the "return" element (nullptr = nil).
std::string makeAnswer(WsdlStyle style, const std::string& ns, const std::string& op,
                       const char* result);
std::string makeFault11(const std::string& faultstring, const std::string& detailXml);
std::string makeFault12(const std::string& reason, const std::string& detailXml);

}  // namespace qelsoap_testing
