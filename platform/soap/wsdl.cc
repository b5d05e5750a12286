#include "wsdl.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <set>
#include <tuple>

#include "soap_error.h"

namespace qelsoap {
namespace {

constexpr char kWsdlNs[] = "http://schemas.xmlsoap.org/wsdl/";
constexpr char kSoapNs[] = "http://schemas.xmlsoap.org/wsdl/soap/";
constexpr char kXsdNs[] = "http://www.w3.org/2001/XMLSchema";

std::string lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

const char* localOf(const char* qname) {
  const char* colon = std::strchr(qname, ':');
  return colon ? colon + 1 : qname;
}

// Namespace bound to the prefix of qname at node (default namespace when
// there is no prefix).
std::string namespaceOf(pugi::xml_node node, const char* qname) {
  const char* colon = std::strchr(qname, ':');
  std::string attr = colon ? "xmlns:" + std::string(qname, colon) : std::string("xmlns");
  for (pugi::xml_node n = node; n; n = n.parent()) {
    pugi::xml_attribute a = n.attribute(attr.c_str());
    if (a) return a.value();
  }
  return "";
}

std::string nodeNamespace(pugi::xml_node node) { return namespaceOf(node, node.name()); }

bool is(pugi::xml_node node, const char* ns, const char* local) {
  return std::strcmp(localOf(node.name()), local) == 0 && nodeNamespace(node) == ns;
}

struct QName {
  std::string ns, local;
  bool operator<(const QName& o) const { return std::tie(ns, local) < std::tie(o.ns, o.local); }
};

QName qnameAt(pugi::xml_node node, const char* attrValue) {
  return {namespaceOf(node, attrValue), localOf(attrValue)};
}

// Everything collected from the WSDL and the documents it imports.
struct Collection {
  std::vector<std::unique_ptr<pugi::xml_document>> docs;
  std::map<QName, pugi::xml_node> messages, portTypes, bindings, elements, complexTypes,
      simpleTypes;
  std::vector<pugi::xml_node> services;
  std::set<std::string> visited;
  std::string origin;
};

std::string targetNs(pugi::xml_node n) {
  for (; n; n = n.parent()) {
    pugi::xml_attribute a = n.attribute("targetNamespace");
    if (a) return a.value();
  }
  return "";
}

void addSchema(Collection& c, pugi::xml_node schema, const std::string& url, const WsdlFetcher& f);

std::unique_ptr<pugi::xml_document> load(Collection& c, const std::string& url,
                                         const WsdlFetcher& fetch) {
  if (urlOrigin(url) != c.origin)
    throw SoapError(SoapError::Kind::kWsdl, "WSDL import from another server refused: " + url);
  std::string text = fetch(url);
  auto doc = std::make_unique<pugi::xml_document>();
  pugi::xml_parse_result r = doc->load_buffer(text.data(), text.size(), pugi::parse_default);
  if (!r)
    throw SoapError(SoapError::Kind::kWsdl,
                    "Invalid WSDL document " + url + ": " + r.description());
  return doc;
}

void addSchema(Collection& c, pugi::xml_node schema, const std::string& url,
               const WsdlFetcher& fetch) {
  std::string tns = schema.attribute("targetNamespace").value();
  for (pugi::xml_node n : schema.children()) {
    const char* local = localOf(n.name());
    const char* name = n.attribute("name").value();
    if (!std::strcmp(local, "element") && *name) c.elements[{tns, name}] = n;
    else if (!std::strcmp(local, "complexType") && *name) c.complexTypes[{tns, name}] = n;
    else if (!std::strcmp(local, "simpleType") && *name) c.simpleTypes[{tns, name}] = n;
    else if ((!std::strcmp(local, "import") || !std::strcmp(local, "include")) &&
             n.attribute("schemaLocation")) {
      std::string ref = resolveUrl(url, n.attribute("schemaLocation").value());
      if (!c.visited.insert(ref).second) continue;
      auto doc = load(c, ref, fetch);
      pugi::xml_node root = doc->document_element();
      c.docs.push_back(std::move(doc));
      if (is(root, kXsdNs, "schema")) addSchema(c, root, ref, fetch);
    }
  }
}

void addDefinitions(Collection& c, const std::string& url, const WsdlFetcher& fetch) {
  if (!c.visited.insert(url).second) return;
  auto doc = load(c, url, fetch);
  pugi::xml_node defs = doc->document_element();
  c.docs.push_back(std::move(doc));
  if (is(defs, kXsdNs, "schema")) {
    addSchema(c, defs, url, fetch);
    return;
  }
  if (!is(defs, kWsdlNs, "definitions"))
    throw SoapError(SoapError::Kind::kWsdl, "Not a WSDL 1.1 document: " + url);
  std::string tns = defs.attribute("targetNamespace").value();
  for (pugi::xml_node n : defs.children()) {
    const char* local = localOf(n.name());
    const char* name = n.attribute("name").value();
    if (!std::strcmp(local, "import") && n.attribute("location")) {
      addDefinitions(c, resolveUrl(url, n.attribute("location").value()), fetch);
    } else if (!std::strcmp(local, "types")) {
      for (pugi::xml_node s : n.children())
        if (is(s, kXsdNs, "schema")) addSchema(c, s, url, fetch);
    } else if (!std::strcmp(local, "message")) {
      c.messages[{tns, name}] = n;
    } else if (!std::strcmp(local, "portType")) {
      c.portTypes[{tns, name}] = n;
    } else if (!std::strcmp(local, "binding")) {
      c.bindings[{tns, name}] = n;
    } else if (!std::strcmp(local, "service")) {
      c.services.push_back(n);
    }
  }
}

template <class Map>
pugi::xml_node find(const Map& m, const QName& q) {
  auto it = m.find(q);
  if (it != m.end()) return it->second;
  // Tolerate WSDLs whose prefixes do not resolve: match the local name alone.
  for (const auto& [k, v] : m)
    if (k.local == q.local) return v;
  return {};
}

XsdType typeOfRef(const Collection& c, pugi::xml_node at, const char* typeAttr) {
  QName q = qnameAt(at, typeAttr);
  if (q.ns == kXsdNs) return xsdTypeFromLocalName(q.local);
  pugi::xml_node st = find(c.simpleTypes, q);
  if (st) {
    pugi::xml_node restriction = st.find_child([](pugi::xml_node n) {
      return !std::strcmp(localOf(n.name()), "restriction");
    });
    if (restriction && restriction.attribute("base"))
      return typeOfRef(c, restriction, restriction.attribute("base").value());
  }
  // Encoded WSDLs name soapenc types the same way as XSD ones.
  return xsdTypeFromLocalName(q.local);
}

// Type of an xsd:element declaration (attribute or inline simple type).
XsdType typeOfElement(const Collection& c, pugi::xml_node el) {
  if (el.attribute("type")) return typeOfRef(c, el, el.attribute("type").value());
  for (pugi::xml_node st : el.children()) {
    if (!std::strcmp(localOf(st.name()), "simpleType")) {
      for (pugi::xml_node r : st.children())
        if (!std::strcmp(localOf(r.name()), "restriction") && r.attribute("base"))
          return typeOfRef(c, r, r.attribute("base").value());
    }
  }
  return XsdType::kString;
}

// The complex type of an element: inline, or named by its type attribute.
pugi::xml_node complexTypeOf(const Collection& c, pugi::xml_node el) {
  for (pugi::xml_node ct : el.children())
    if (!std::strcmp(localOf(ct.name()), "complexType")) return ct;
  if (el.attribute("type")) {
    QName q = qnameAt(el, el.attribute("type").value());
    if (q.ns != kXsdNs) return find(c.complexTypes, q);
  }
  return {};
}

bool qualifiedChildren(pugi::xml_node decl, pugi::xml_node child) {
  pugi::xml_attribute form = child.attribute("form");
  if (form) return std::strcmp(form.value(), "qualified") == 0;
  for (pugi::xml_node n = decl; n; n = n.parent())
    if (is(n, kXsdNs, "schema"))
      return std::strcmp(n.attribute("elementFormDefault").value(), "qualified") == 0;
  return false;
}

// Child elements of a wrapper element's sequence (or all), in order.
bool sequenceParts(const Collection& c, pugi::xml_node wrapperEl, std::vector<WsdlPart>& out) {
  pugi::xml_node ct = complexTypeOf(c, wrapperEl);
  if (!ct) return false;
  std::string tns = targetNs(ct);
  for (pugi::xml_node group : ct.children()) {
    const char* g = localOf(group.name());
    if (std::strcmp(g, "sequence") && std::strcmp(g, "all")) continue;
    for (pugi::xml_node el : group.children()) {
      if (std::strcmp(localOf(el.name()), "element")) continue;
      WsdlPart p;
      if (el.attribute("ref")) {
        QName q = qnameAt(el, el.attribute("ref").value());
        pugi::xml_node target = find(c.elements, q);
        p.name = q.local;
        p.ns = q.ns;
        p.type = target ? typeOfElement(c, target) : XsdType::kString;
      } else {
        p.name = el.attribute("name").value();
        p.ns = qualifiedChildren(ct, el) ? tns : "";
        p.type = typeOfElement(c, el);
      }
      out.push_back(p);
    }
  }
  return true;
}

struct MessageShape {
  bool wrapped = false;
  std::string wrapperName, wrapperNs;
  std::vector<WsdlPart> parts;
};

MessageShape shapeOf(const Collection& c, pugi::xml_node message, bool rpc,
                     const std::string& opName) {
  MessageShape s;
  std::vector<pugi::xml_node> parts;
  for (pugi::xml_node p : message.children())
    if (!std::strcmp(localOf(p.name()), "part")) parts.push_back(p);
  if (rpc) {
    s.wrapped = true;
    s.wrapperName = opName;
    for (pugi::xml_node p : parts) {
      WsdlPart wp;
      wp.name = p.attribute("name").value();
      if (p.attribute("type")) wp.type = typeOfRef(c, p, p.attribute("type").value());
      else if (p.attribute("element")) {
        pugi::xml_node el = find(c.elements, qnameAt(p, p.attribute("element").value()));
        if (el) wp.type = typeOfElement(c, el);
      }
      s.parts.push_back(wp);
    }
    return s;
  }
  if (parts.size() == 1 && parts[0].attribute("element")) {
    QName q = qnameAt(parts[0], parts[0].attribute("element").value());
    pugi::xml_node el = find(c.elements, q);
    if (!el) throw SoapError(SoapError::Kind::kWsdl, "WSDL element not declared: " + q.local);
    std::vector<WsdlPart> children;
    if (sequenceParts(c, el, children)) {
      s.wrapped = true;
      s.wrapperName = q.local;
      s.wrapperNs = targetNs(el);
      s.parts = children;
      return s;
    }
  }
  // Bare document style: every part is one body element.
  for (pugi::xml_node p : parts) {
    WsdlPart wp;
    if (p.attribute("element")) {
      QName q = qnameAt(p, p.attribute("element").value());
      pugi::xml_node el = find(c.elements, q);
      wp.name = q.local;
      wp.ns = el ? targetNs(el) : q.ns;
      if (el) wp.type = typeOfElement(c, el);
    } else {
      wp.name = p.attribute("name").value();
      if (p.attribute("type")) wp.type = typeOfRef(c, p, p.attribute("type").value());
    }
    s.parts.push_back(wp);
  }
  return s;
}

pugi::xml_node soapChild(pugi::xml_node n, const char* local) {
  for (pugi::xml_node ch : n.children())
    if (is(ch, kSoapNs, local)) return ch;
  return {};
}

pugi::xml_node wsdlChild(pugi::xml_node n, const char* local, const char* name = nullptr) {
  for (pugi::xml_node ch : n.children())
    if (!std::strcmp(localOf(ch.name()), local) &&
        (!name || !std::strcmp(ch.attribute("name").value(), name)))
      return ch;
  return {};
}

}  // namespace

XsdType xsdTypeFromLocalName(const std::string& local) {
  static const std::map<std::string, XsdType> kTypes = {
      {"string", XsdType::kString},     {"normalizedString", XsdType::kString},
      {"token", XsdType::kString},      {"anyURI", XsdType::kString},
      {"int", XsdType::kInt},           {"integer", XsdType::kLong},
      {"long", XsdType::kLong},         {"short", XsdType::kShort},
      {"byte", XsdType::kByte},         {"unsignedByte", XsdType::kShort},
      {"unsignedShort", XsdType::kInt}, {"unsignedInt", XsdType::kLong},
      {"boolean", XsdType::kBoolean},   {"dateTime", XsdType::kDateTime},
      {"double", XsdType::kDouble},     {"float", XsdType::kDouble},
      {"decimal", XsdType::kDouble},
  };
  auto it = kTypes.find(local);
  return it == kTypes.end() ? XsdType::kOther : it->second;
}

const char* xsdTypeName(XsdType t) {
  switch (t) {
    case XsdType::kString: return "string";
    case XsdType::kInt: return "int";
    case XsdType::kLong: return "long";
    case XsdType::kShort: return "short";
    case XsdType::kByte: return "byte";
    case XsdType::kBoolean: return "boolean";
    case XsdType::kDateTime: return "dateTime";
    case XsdType::kDouble: return "double";
    case XsdType::kOther: break;
  }
  return "anyType";
}

std::string urlOrigin(const std::string& url) {
  auto schemeEnd = url.find("://");
  if (schemeEnd == std::string::npos) return "";
  std::string scheme = lower(url.substr(0, schemeEnd));
  if (scheme != "http" && scheme != "https") return "";
  auto hostStart = schemeEnd + 3;
  auto hostEnd = url.find_first_of("/?#", hostStart);
  std::string authority = url.substr(hostStart, hostEnd == std::string::npos
                                                    ? std::string::npos
                                                    : hostEnd - hostStart);
  auto at = authority.rfind('@');
  if (at != std::string::npos) authority = authority.substr(at + 1);
  authority = lower(authority);
  auto bracket = authority.rfind(']');
  auto colon = authority.rfind(':');
  if (colon == std::string::npos || (bracket != std::string::npos && colon < bracket))
    authority += scheme == "https" ? ":443" : ":80";
  return scheme + "://" + authority;
}

std::string resolveUrl(const std::string& base, const std::string& ref) {
  if (ref.find("://") != std::string::npos) return ref;
  std::string origin;
  auto schemeEnd = base.find("://");
  auto pathStart = schemeEnd == std::string::npos ? 0 : base.find('/', schemeEnd + 3);
  if (pathStart == std::string::npos) pathStart = base.size();
  origin = base.substr(0, pathStart);
  if (!ref.empty() && ref[0] == '/') return origin + ref;
  std::string dir = base.substr(0, base.find_first_of("?#"));
  auto slash = dir.rfind('/');
  dir = slash == std::string::npos || slash < pathStart ? origin + "/" : dir.substr(0, slash + 1);
  std::string joined = dir + ref;
  // Collapse "./" and "../" segments of the path.
  std::string path = joined.substr(origin.size());
  std::vector<std::string> segs;
  size_t i = 0;
  while (i <= path.size()) {
    size_t j = path.find('/', i);
    if (j == std::string::npos) j = path.size();
    std::string seg = path.substr(i, j - i);
    if (seg == "..") {
      if (segs.size() > 1) segs.pop_back();
    } else if (seg != ".") {
      segs.push_back(seg);
    }
    i = j + 1;
  }
  std::string out;
  for (size_t k = 0; k < segs.size(); ++k) out += (k ? "/" : "") + segs[k];
  if (out.empty() || out[0] != '/') out = "/" + out;
  return origin + out;
}

std::shared_ptr<const WsdlModel> parseWsdl(const std::string& url, const WsdlFetcher& fetch,
                                           const std::string& serviceName,
                                           const std::string& portName) {
  Collection c;
  c.origin = urlOrigin(url);
  if (c.origin.empty()) throw SoapError(SoapError::Kind::kWsdl, "Not a WSDL URL: " + url);
  addDefinitions(c, url, fetch);

  // Pick the port: named ones, else the first with a SOAP 1.1 address.
  pugi::xml_node port, address;
  for (pugi::xml_node svc : c.services) {
    if (!serviceName.empty() && serviceName != svc.attribute("name").value()) continue;
    for (pugi::xml_node p : svc.children()) {
      if (std::strcmp(localOf(p.name()), "port")) continue;
      if (!portName.empty() && portName != p.attribute("name").value()) continue;
      pugi::xml_node a = soapChild(p, "address");
      if (!a) continue;
      port = p;
      address = a;
      break;
    }
    if (port) break;
  }
  if (!port) throw SoapError(SoapError::Kind::kWsdl, "WSDL has no SOAP 1.1 port: " + url);
  pugi::xml_node binding = find(c.bindings, qnameAt(port, port.attribute("binding").value()));
  if (!binding) throw SoapError(SoapError::Kind::kWsdl, "WSDL port names an unknown binding");
  pugi::xml_node portType = find(c.portTypes, qnameAt(binding, binding.attribute("type").value()));
  if (!portType) throw SoapError(SoapError::Kind::kWsdl, "WSDL binding names an unknown portType");
  pugi::xml_node soapBinding = soapChild(binding, "binding");
  if (!soapBinding) throw SoapError(SoapError::Kind::kWsdl, "WSDL binding is not SOAP 1.1");
  std::string defaultStyle = soapBinding.attribute("style").as_string("document");

  // The endpoint is resolved against the WSDL's own URL.
  std::string endpoint = resolveUrl(url, address.attribute("location").value());

  auto model = std::make_shared<WsdlModel>();
  model->url = url;
  for (pugi::xml_node bop : binding.children()) {
    if (std::strcmp(localOf(bop.name()), "operation")) continue;
    WsdlOperation op;
    op.name = bop.attribute("name").value();
    op.endpoint = endpoint;
    pugi::xml_node soapOp = soapChild(bop, "operation");
    std::string style = defaultStyle;
    if (soapOp) {
      op.soapAction = soapOp.attribute("soapAction").value();
      if (soapOp.attribute("style")) style = soapOp.attribute("style").value();
    }
    op.rpc = style == "rpc";
    pugi::xml_node ptOp = wsdlChild(portType, "operation", op.name.c_str());
    if (!ptOp)
      throw SoapError(SoapError::Kind::kWsdl, "WSDL operation missing from portType: " + op.name);
    pugi::xml_node in = wsdlChild(ptOp, "input"), out = wsdlChild(ptOp, "output");
    pugi::xml_node bin = wsdlChild(bop, "input");
    pugi::xml_node body = bin ? soapChild(bin, "body") : pugi::xml_node();
    if (body) {
      op.encoded = std::strcmp(body.attribute("use").value(), "encoded") == 0;
      if (op.rpc) op.wrapperNs = body.attribute("namespace").value();
    }
    if (in) {
      pugi::xml_node msg = find(c.messages, qnameAt(in, in.attribute("message").value()));
      if (!msg) throw SoapError(SoapError::Kind::kWsdl, "WSDL message missing for " + op.name);
      MessageShape s = shapeOf(c, msg, op.rpc, op.name);
      op.wrapped = s.wrapped;
      op.wrapperName = s.wrapperName;
      if (!op.rpc) op.wrapperNs = s.wrapperNs;
      op.inputs = s.parts;
    } else {
      op.wrapperName = op.name;
    }
    if (op.rpc && op.wrapperNs.empty()) op.wrapperNs = targetNs(binding);
    if (out) {
      pugi::xml_node msg = find(c.messages, qnameAt(out, out.attribute("message").value()));
      if (msg) {
        MessageShape s = shapeOf(c, msg, op.rpc, op.name + "Response");
        if (!s.parts.empty()) {
          op.hasOutput = true;
          op.outputName = s.parts[0].name;
          op.outputType = s.parts[0].type;
        }
      }
    }
    model->operations.push_back(std::move(op));
  }
  return model;
}

}  // namespace qelsoap
