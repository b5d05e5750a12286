#include "testing/test_wsdl.h"

#include "envelope.h"

namespace qelsoap_testing {
namespace {

std::string messagesAndPortType(WsdlStyle style, const std::vector<TestOp>& ops) {
  std::string out;
  for (const auto& op : ops) {
    if (style == WsdlStyle::kDocumentWrapped) {
      out += "<wsdl:message name=\"" + op.name + "\"><wsdl:part name=\"parameters\" element=\"tns:" +
             op.name + "\"/></wsdl:message>";
      out += "<wsdl:message name=\"" + op.name +
             "Response\"><wsdl:part name=\"parameters\" element=\"tns:" + op.name +
             "Response\"/></wsdl:message>";
    } else {
      out += "<wsdl:message name=\"" + op.name + "\">";
      for (const auto& in : op.inputs)
        out += "<wsdl:part name=\"" + in.first + "\" type=\"xsd:" + in.second + "\"/>";
      out += "</wsdl:message><wsdl:message name=\"" + op.name + "Response\">";
      if (!op.outputType.empty())
        out += "<wsdl:part name=\"return\" type=\"xsd:" + op.outputType + "\"/>";
      out += "</wsdl:message>";
    }
  }
  out += "<wsdl:portType name=\"Port\">";
  for (const auto& op : ops)
    out += "<wsdl:operation name=\"" + op.name + "\"><wsdl:input message=\"tns:" + op.name +
           "\"/><wsdl:output message=\"tns:" + op.name + "Response\"/></wsdl:operation>";
  out += "</wsdl:portType>";
  return out;
}

std::string types(WsdlStyle style, const std::string& ns, const std::vector<TestOp>& ops) {
  if (style != WsdlStyle::kDocumentWrapped) return "";
  std::string out = "<wsdl:types><xsd:schema targetNamespace=\"" + ns + "\">";
  for (const auto& op : ops) {
    out += "<xsd:element name=\"" + op.name + "\"><xsd:complexType><xsd:sequence>";
    for (const auto& in : op.inputs)
      out += "<xsd:element name=\"" + in.first + "\" type=\"xsd:" + in.second +
             "\" nillable=\"true\"/>";
    out += "</xsd:sequence></xsd:complexType></xsd:element>";
    out += "<xsd:element name=\"" + op.name + "Response\"><xsd:complexType><xsd:sequence>";
    if (!op.outputType.empty())
      out += "<xsd:element name=\"return\" type=\"xsd:" + op.outputType + "\" nillable=\"true\"/>";
    out += "</xsd:sequence></xsd:complexType></xsd:element>";
  }
  out += "</xsd:schema></wsdl:types>";
  return out;
}

const char* kDefsOpen =
    "<wsdl:definitions xmlns:wsdl=\"http://schemas.xmlsoap.org/wsdl/\""
    " xmlns:soap=\"http://schemas.xmlsoap.org/wsdl/soap/\""
    " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"";

}  // namespace

const char* styleName(WsdlStyle s) {
  switch (s) {
    case WsdlStyle::kDocumentWrapped: return "DocumentWrapped";
    case WsdlStyle::kRpcLiteral: return "RpcLiteral";
    case WsdlStyle::kRpcEncoded: return "RpcEncoded";
  }
  return "?";
}

std::string makeWsdlImportPart(WsdlStyle style, const std::string& ns,
                               const std::vector<TestOp>& ops) {
  return std::string(kDefsOpen) + " xmlns:tns=\"" + ns + "\" targetNamespace=\"" + ns + "\">" +
         types(style, ns, ops) + messagesAndPortType(style, ops) + "</wsdl:definitions>";
}

std::string makeWsdl(WsdlStyle style, const std::string& service, const std::string& ns,
                     const std::string& endpoint, const std::vector<TestOp>& ops,
                     const std::string& importUrl) {
  bool rpc = style != WsdlStyle::kDocumentWrapped;
  std::string use = style == WsdlStyle::kRpcEncoded
                        ? "use=\"encoded\" encodingStyle=\"http://schemas.xmlsoap.org/soap/encoding/\""
                        : "use=\"literal\"";
  std::string bodyNs = rpc ? " namespace=\"" + ns + "\"" : "";
  std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
  out += std::string(kDefsOpen) + " xmlns:tns=\"" + ns + "\" targetNamespace=\"" + ns + "\">";
  if (!importUrl.empty())
    out += "<wsdl:import namespace=\"" + ns + "\" location=\"" + importUrl + "\"/>";
  else
    out += types(style, ns, ops) + messagesAndPortType(style, ops);
  out += "<wsdl:binding name=\"Binding\" type=\"tns:Port\"><soap:binding style=\"" +
         std::string(rpc ? "rpc" : "document") +
         "\" transport=\"http://schemas.xmlsoap.org/soap/http\"/>";
  for (const auto& op : ops)
    out += "<wsdl:operation name=\"" + op.name + "\"><soap:operation soapAction=\"" + ns + "#" +
           op.name + "\"/><wsdl:input><soap:body " + use + bodyNs +
           "/></wsdl:input><wsdl:output><soap:body " + use + bodyNs +
           "/></wsdl:output></wsdl:operation>";
  out += "</wsdl:binding><wsdl:service name=\"" + service + "\"><wsdl:port name=\"" + service +
         "Port\" binding=\"tns:Binding\"><soap:address location=\"" + endpoint +
         "\"/></wsdl:port></wsdl:service></wsdl:definitions>";
  return out;
}

std::string makeAnswer(WsdlStyle style, const std::string& ns, const std::string& op,
                       const char* result) {
  std::string out =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><soapenv:Envelope "
      "xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\" "
      "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\"><soapenv:Body>";
  out += "<m:" + op + "Response xmlns:m=\"" + ns + "\">";
  std::string type = style == WsdlStyle::kRpcEncoded ? " xsi:type=\"xsd:string\"" : "";
  if (result)
    out += "<return" + type + ">" + qelsoap::xmlEscape(result) + "</return>";
  else
    out += "<return xsi:nil=\"true\"/>";
  out += "</m:" + op + "Response></soapenv:Body></soapenv:Envelope>";
  return out;
}

std::string makeFault11(const std::string& faultstring, const std::string& detailXml) {
  return "<soapenv:Envelope xmlns:soapenv=\"http://schemas.xmlsoap.org/soap/envelope/\">"
         "<soapenv:Body><soapenv:Fault><faultcode>soapenv:Server</faultcode><faultstring>" +
         qelsoap::xmlEscape(faultstring) + "</faultstring>" +
         (detailXml.empty() ? "" : "<detail>" + detailXml + "</detail>") +
         "</soapenv:Fault></soapenv:Body></soapenv:Envelope>";
}

std::string makeFault12(const std::string& reason, const std::string& detailXml) {
  return "<env:Envelope xmlns:env=\"http://www.w3.org/2003/05/soap-envelope\"><env:Body>"
         "<env:Fault><env:Code><env:Value>env:Receiver</env:Value></env:Code><env:Reason>"
         "<env:Text xml:lang=\"en\">" +
         qelsoap::xmlEscape(reason) + "</env:Text></env:Reason>" +
         (detailXml.empty() ? "" : "<env:Detail>" + detailXml + "</env:Detail>") +
         "</env:Fault></env:Body></env:Envelope>";
}

}  // namespace qelsoap_testing
