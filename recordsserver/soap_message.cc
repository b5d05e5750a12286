#include "soap_message.h"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include <pugixml.hpp>

#include "hollin_wire.h"

namespace hollin {
namespace {

constexpr char kSoapEnvNs[] = "http://schemas.xmlsoap.org/soap/envelope/";
constexpr char kXsiNs[] = "http://www.w3.org/2001/XMLSchema-instance";

const char* localName(const pugi::xml_node& node) {
  const char* name = node.name();
  const char* colon = std::strchr(name, ':');
  return colon ? colon + 1 : name;
}

std::string prefixOf(const char* qname) {
  const char* colon = std::strchr(qname, ':');
  return colon ? std::string(qname, colon - qname) : std::string();
}

// The namespace bound to `prefix` at `node` (the default namespace for "").
std::string namespaceFor(pugi::xml_node node, const std::string& prefix) {
  std::string attr = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
  for (; node; node = node.parent()) {
    if (node.type() != pugi::node_element) continue;
    if (pugi::xml_attribute a = node.attribute(attr.c_str())) return a.value();
  }
  return "";
}

std::string namespaceOf(const pugi::xml_node& node) {
  return namespaceFor(node, prefixOf(node.name()));
}

pugi::xml_node childByLocalName(const pugi::xml_node& parent, const char* name) {
  for (pugi::xml_node c = parent.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_element && std::strcmp(localName(c), name) == 0) return c;
  }
  return pugi::xml_node();
}

bool isNil(const pugi::xml_node& node) {
  for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute()) {
    const char* colon = std::strchr(a.name(), ':');
    if (!colon || std::strcmp(colon + 1, "nil") != 0) continue;
    if (namespaceFor(node, std::string(a.name(), colon - a.name())) != kXsiNs) continue;
    return std::strcmp(a.value(), "true") == 0 || std::strcmp(a.value(), "1") == 0;
  }
  return false;
}

bool parseInteger(const std::string& text, long long min, long long max) {
  if (text.empty()) return false;
  size_t i = (text[0] == '-' || text[0] == '+') ? 1 : 0;
  if (i == text.size()) return false;
  for (size_t j = i; j < text.size(); ++j) {
    if (text[j] < '0' || text[j] > '9') return false;
  }
  errno = 0;
  char* end = nullptr;
  long long v = std::strtoll(text.c_str(), &end, 10);
  return errno == 0 && *end == '\0' && v >= min && v <= max;
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t\r\n");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t\r\n");
  return s.substr(b, e - b + 1);
}

bool checkArg(ArgType type, std::string& text) {
  switch (type) {
    case ArgType::kString:
      return true;
    case ArgType::kInt:
      text = trim(text);
      return parseInteger(text, INT32_MIN, INT32_MAX);
    case ArgType::kLong:
      text = trim(text);
      return parseInteger(text, LLONG_MIN, LLONG_MAX);
    case ArgType::kBool:
      text = trim(text);
      return text == "true" || text == "false" || text == "1" || text == "0";
    case ArgType::kDate:
      text = trim(text);
      return isWireDateTime(text);
  }
  return false;
}

std::string serialize(const pugi::xml_document& doc) {
  std::ostringstream out;
  doc.save(out, "", pugi::format_raw);
  return out.str();
}

pugi::xml_node startEnvelope(pugi::xml_document& doc) {
  pugi::xml_node decl = doc.append_child(pugi::node_declaration);
  decl.append_attribute("version") = "1.0";
  decl.append_attribute("encoding") = "UTF-8";
  pugi::xml_node env = doc.append_child("soap:Envelope");
  env.append_attribute("xmlns:soap") = kSoapEnvNs;
  return env.append_child("soap:Body");
}

}  // namespace

bool isWireDateTime(const std::string& text) {
  // YYYY-MM-DDThh:mm:ss
  static const char pattern[] = "dddd-dd-ddTdd:dd:dd";
  if (text.size() < 19) return false;
  for (size_t i = 0; i < 19; ++i) {
    if (pattern[i] == 'd' ? (text[i] < '0' || text[i] > '9') : text[i] != pattern[i]) return false;
  }
  int month = std::atoi(text.substr(5, 2).c_str());
  int day = std::atoi(text.substr(8, 2).c_str());
  int hour = std::atoi(text.substr(11, 2).c_str());
  int minute = std::atoi(text.substr(14, 2).c_str());
  int second = std::atoi(text.substr(17, 2).c_str());
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) {
    return false;
  }
  size_t i = 19;
  if (i < text.size() && text[i] == '.') {
    ++i;
    size_t digits = i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i;
    if (i == digits) return false;
  }
  std::string zone = text.substr(i);
  if (zone.empty() || zone == "Z") return true;
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  return zone.size() == 6 && (zone[0] == '+' || zone[0] == '-') && digit(zone[1]) &&
         digit(zone[2]) && zone[3] == ':' && digit(zone[4]) && digit(zone[5]);
}

SoapRequest parseSoapRequest(const std::string& controller, const std::string& body) {
  pugi::xml_document doc;
  // Default options: no DOCTYPE processing, so no entity can be pulled in.
  pugi::xml_parse_result parsed = doc.load_buffer(body.data(), body.size());
  if (!parsed) throw SoapFault(std::string("malformed XML in request: ") + parsed.description());
  pugi::xml_node env = doc.document_element();
  if (std::strcmp(localName(env), "Envelope") != 0 || namespaceOf(env) != kSoapEnvNs) {
    throw SoapFault("request is not a SOAP 1.1 Envelope");
  }
  pugi::xml_node header = childByLocalName(env, "Header");
  pugi::xml_node bodyNode = childByLocalName(env, "Body");
  if (!bodyNode) throw SoapFault("request has no SOAP Body");
  pugi::xml_node call;
  for (pugi::xml_node c = bodyNode.first_child(); c; c = c.next_sibling()) {
    if (c.type() == pugi::node_element) {
      call = c;
      break;
    }
  }
  if (!call) throw SoapFault("request Body holds no operation element");

  SoapRequest req;
  req.operation = findOperation(controller, localName(call));
  if (!req.operation) {
    throw SoapFault("unknown operation " + std::string(localName(call)) + " for " + controller);
  }
  std::string expectedNs = std::string(hollin_wire::kServiceNamespacePrefix) + controller;
  if (namespaceOf(call) != expectedNs) {
    throw SoapFault("operation element " + std::string(localName(call)) +
                    " is not in namespace " + expectedNs);
  }
  if (header) {
    for (pugi::xml_node h = header.first_child(); h; h = h.next_sibling()) {
      if (h.type() == pugi::node_element &&
          std::strcmp(localName(h), hollin_wire::kHeaderElement) == 0 &&
          namespaceOf(h) == hollin_wire::kHeaderNamespace) {
        req.sessionHandle = trim(h.text().get());
        req.hasSessionHandle = true;
        break;
      }
    }
  }
  const std::vector<ArgType>& types = req.operation->args;
  for (size_t i = 0; i < types.size(); ++i) {
    std::string name = "arg" + std::to_string(i);
    pugi::xml_node arg = childByLocalName(call, name.c_str());
    if (!arg) {
      throw SoapFault("missing argument " + name + " of " + req.operation->name);
    }
    std::string text = isNil(arg) ? std::string() : std::string(arg.text().get());
    if (!checkArg(types[i], text)) {
      throw SoapFault("argument " + name + " of " + req.operation->name + " is not a valid " +
                      std::string(xsdType(types[i])) + ": \"" + text.substr(0, 64) + "\"");
    }
    req.args.push_back(std::move(text));
  }
  return req;
}

std::string buildSoapResponse(const Operation& op, const std::string& result) {
  pugi::xml_document doc;
  pugi::xml_node body = startEnvelope(doc);
  pugi::xml_node resp = body.append_child((std::string("ns:") + op.name + "Response").c_str());
  resp.append_attribute("xmlns:ns") =
      (std::string(hollin_wire::kServiceNamespacePrefix) + op.controller).c_str();
  if (op.result != ResultType::kNone) {
    resp.append_child("return").text().set(result.c_str());
  }
  return serialize(doc);
}

std::string buildSoapFault(const std::string& reason, bool clientFault) {
  pugi::xml_document doc;
  pugi::xml_node body = startEnvelope(doc);
  pugi::xml_node fault = body.append_child("soap:Fault");
  fault.append_child("faultcode").text().set(clientFault ? "soap:Client" : "soap:Server");
  fault.append_child("faultstring").text().set(reason.c_str());
  fault.append_child("detail")
      .append_child(hollin_wire::kFaultDetailElement)
      .text()
      .set(reason.c_str());
  return serialize(doc);
}

}  // namespace hollin
