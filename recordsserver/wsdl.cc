#include "wsdl.h"

#include <sstream>

#include <pugixml.hpp>

#include "hollin_wire.h"
#include "operations.h"

namespace hollin {

std::string buildWsdl(const std::string& controller, const std::string& baseUrl) {
  const std::string ns = std::string(hollin_wire::kServiceNamespacePrefix) + controller;
  const std::string service = controller + "EJBService";
  pugi::xml_document doc;
  pugi::xml_node decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "UTF-8";
  pugi::xml_node defs = doc.append_child("definitions");
  defs.append_attribute("name") = service.c_str();
  defs.append_attribute("targetNamespace") = ns.c_str();
  defs.append_attribute("xmlns") = "http://schemas.xmlsoap.org/wsdl/";
  defs.append_attribute("xmlns:soap") = "http://schemas.xmlsoap.org/wsdl/soap/";
  defs.append_attribute("xmlns:xsd") = "http://www.w3.org/2001/XMLSchema";
  defs.append_attribute("xmlns:tns") = ns.c_str();

  pugi::xml_node schema = defs.append_child("types").append_child("xsd:schema");
  schema.append_attribute("targetNamespace") = ns.c_str();
  schema.append_attribute("elementFormDefault") = "unqualified";
  std::vector<const Operation*> ops;
  for (const Operation& op : operationTable()) {
    if (controller == op.controller) ops.push_back(&op);
  }
  for (const Operation* op : ops) {
    pugi::xml_node req = schema.append_child("xsd:element");
    req.append_attribute("name") = op->name;
    pugi::xml_node seq = req.append_child("xsd:complexType").append_child("xsd:sequence");
    for (size_t i = 0; i < op->args.size(); ++i) {
      pugi::xml_node e = seq.append_child("xsd:element");
      e.append_attribute("name") = ("arg" + std::to_string(i)).c_str();
      e.append_attribute("type") = xsdType(op->args[i]);
      if (op->args[i] == ArgType::kString) e.append_attribute("nillable") = "true";
    }
    pugi::xml_node resp = schema.append_child("xsd:element");
    resp.append_attribute("name") = (std::string(op->name) + "Response").c_str();
    pugi::xml_node rseq = resp.append_child("xsd:complexType").append_child("xsd:sequence");
    if (op->result != ResultType::kNone) {
      pugi::xml_node e = rseq.append_child("xsd:element");
      e.append_attribute("name") = "return";
      e.append_attribute("type") = xsdType(op->result);
      if (op->result == ResultType::kString) e.append_attribute("nillable") = "true";
    }
  }
  for (const Operation* op : ops) {
    for (const std::string& suffix : {std::string(), std::string("Response")}) {
      pugi::xml_node msg = defs.append_child("message");
      msg.append_attribute("name") = (op->name + suffix).c_str();
      pugi::xml_node part = msg.append_child("part");
      part.append_attribute("name") = "parameters";
      part.append_attribute("element") = ("tns:" + std::string(op->name) + suffix).c_str();
    }
  }
  pugi::xml_node portType = defs.append_child("portType");
  portType.append_attribute("name") = controller.c_str();
  for (const Operation* op : ops) {
    pugi::xml_node o = portType.append_child("operation");
    o.append_attribute("name") = op->name;
    o.append_child("input").append_attribute("message") = ("tns:" + std::string(op->name)).c_str();
    o.append_child("output").append_attribute("message") =
        ("tns:" + std::string(op->name) + "Response").c_str();
  }
  pugi::xml_node binding = defs.append_child("binding");
  binding.append_attribute("name") = (controller + "Binding").c_str();
  binding.append_attribute("type") = ("tns:" + controller).c_str();
  pugi::xml_node sb = binding.append_child("soap:binding");
  sb.append_attribute("style") = "document";
  sb.append_attribute("transport") = "http://schemas.xmlsoap.org/soap/http";
  for (const Operation* op : ops) {
    pugi::xml_node o = binding.append_child("operation");
    o.append_attribute("name") = op->name;
    o.append_child("soap:operation").append_attribute("soapAction") = (ns + "#" + op->name).c_str();
    o.append_child("input").append_child("soap:body").append_attribute("use") = "literal";
    o.append_child("output").append_child("soap:body").append_attribute("use") = "literal";
  }
  pugi::xml_node svc = defs.append_child("service");
  svc.append_attribute("name") = service.c_str();
  pugi::xml_node port = svc.append_child("port");
  port.append_attribute("name") = (controller + "Port").c_str();
  port.append_attribute("binding") = ("tns:" + controller + "Binding").c_str();
  port.append_child("soap:address").append_attribute("location") =
      (baseUrl + hollin_wire::kServicesPath + service).c_str();

  std::ostringstream out;
  doc.save(out, "  ", pugi::format_indent);
  return out.str();
}

}  // namespace hollin
