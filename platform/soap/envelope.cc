#include "envelope.h"

#include <iconv.h>
#include <pugixml.hpp>

#include <cerrno>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "soap_error.h"

namespace qelsoap {
namespace {

constexpr char kEnvNs[] = "http://schemas.xmlsoap.org/soap/envelope/";
constexpr char kEncNs[] = "http://schemas.xmlsoap.org/soap/encoding/";

const char* localOf(const char* qname) {
  const char* colon = std::strchr(qname, ':');
  return colon ? colon + 1 : qname;
}

bool localIs(pugi::xml_node n, const char* local) {
  return n.type() == pugi::node_element && std::strcmp(localOf(n.name()), local) == 0;
}

pugi::xml_node childByLocal(pugi::xml_node n, const char* local) {
  for (pugi::xml_node ch : n.children())
    if (localIs(ch, local)) return ch;
  return {};
}

pugi::xml_node firstElement(pugi::xml_node n) {
  for (pugi::xml_node ch : n.children())
    if (ch.type() == pugi::node_element) return ch;
  return {};
}

std::string lower(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool isNil(pugi::xml_node n) {
  for (pugi::xml_attribute a : n.attributes())
    if (!std::strcmp(localOf(a.name()), "nil") &&
        (!std::strcmp(a.value(), "true") || !std::strcmp(a.value(), "1")))
      return true;
  return false;
}

// Text of an element: all text and CDATA below it, unescaped.
std::string textOf(pugi::xml_node n) {
  std::string out;
  for (pugi::xml_node ch : n.children()) {
    if (ch.type() == pugi::node_pcdata || ch.type() == pugi::node_cdata) out += ch.value();
    else if (ch.type() == pugi::node_element) out += textOf(ch);
  }
  return out;
}

// A detail element as "<Name>text</Name>", nested elements kept as markup
// so that an inner <Description> survives.
std::string detailMarkup(pugi::xml_node n) {
  std::string name = localOf(n.name());
  std::string inner;
  bool hasElements = false;
  for (pugi::xml_node ch : n.children())
    if (ch.type() == pugi::node_element) {
      hasElements = true;
      inner += detailMarkup(ch);
    }
  if (!hasElements) inner = textOf(n);
  return "<" + name + ">" + inner + "</" + name + ">";
}

std::string faultText(pugi::xml_node fault) {
  std::string reason;
  pugi::xml_node detail;
  if (pugi::xml_node fs = childByLocal(fault, "faultstring")) {
    reason = textOf(fs);
    detail = childByLocal(fault, "detail");
  } else {  // SOAP 1.2 shape
    if (pugi::xml_node r = childByLocal(fault, "Reason")) {
      pugi::xml_node t = childByLocal(r, "Text");
      reason = textOf(t ? t : r);
    }
    detail = childByLocal(fault, "Detail");
    if (!detail) detail = childByLocal(fault, "detail");
  }
  std::string details;
  for (pugi::xml_node ch : detail.children())
    if (ch.type() == pugi::node_element) details += detailMarkup(ch);
  if (reason.empty() && details.empty()) return "SOAP fault without a reason";
  return details.empty() ? reason : reason + "\n" + details;
}

std::string paramOf(const std::string& header, const char* name) {
  std::string l = lower(header);
  auto pos = l.find(name);
  if (pos == std::string::npos) return "";
  pos += std::strlen(name);
  while (pos < l.size() && l[pos] == ' ') ++pos;
  if (pos >= l.size() || l[pos] != '=') return "";
  ++pos;
  while (pos < l.size() && l[pos] == ' ') ++pos;
  char quote = pos < l.size() && (l[pos] == '"' || l[pos] == '\'') ? l[pos] : 0;
  if (quote) ++pos;
  auto end = quote ? l.find(quote, pos) : l.find_first_of("; \t", pos);
  return l.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
}

bool isUtf8Name(const std::string& cs) {
  return cs.empty() || cs == "utf-8" || cs == "utf8" || cs == "us-ascii" || cs == "ascii";
}

void appendElement(std::string& out, const WsdlPart& part, const ArgText& value, bool encoded,
                   int index) {
  std::string prefix;
  std::string nsDecl;
  if (!part.ns.empty()) {
    prefix = "p" + std::to_string(index) + ":";
    nsDecl = " xmlns:p" + std::to_string(index) + "=\"" + xmlEscape(part.ns) + "\"";
  }
  out += "<" + prefix + part.name + nsDecl;
  if (encoded) out += std::string(" xsi:type=\"xsd:") + xsdTypeName(part.type) + "\"";
  if (!value) {
    out += " xsi:nil=\"true\"/>";
    return;
  }
  out += ">" + xmlEscape(*value) + "</" + prefix + part.name + ">";
}

}  // namespace

std::string xmlEscape(const std::string& text) {
  std::string out;
  out.reserve(text.size() + 16);
  for (char ch : text) {
    unsigned char c = static_cast<unsigned char>(ch);
    switch (ch) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default:
        if (c < 0x20 && ch != '\n' && ch != '\t') {
          char buf[8];
          std::snprintf(buf, sizeof buf, "&#%u;", c);
          out += buf;
        } else {
          out += ch;
        }
    }
  }
  return out;
}

std::string buildEnvelope(const WsdlOperation& op, const std::vector<ArgText>& args,
                          const std::string& headerXml) {
  std::string out;
  out.reserve(512);
  out += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
  out += "<soap:Envelope xmlns:soap=\"";
  out += kEnvNs;
  out += "\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
         " xmlns:xsd=\"http://www.w3.org/2001/XMLSchema\"";
  if (op.encoded) {
    out += " xmlns:soapenc=\"";
    out += kEncNs;
    out += "\"";
  }
  out += ">";
  if (!headerXml.empty()) out += "<soap:Header>" + headerXml + "</soap:Header>";
  out += "<soap:Body>";
  if (op.wrapped) {
    bool qualified = !op.wrapperNs.empty();
    std::string tag = (qualified ? "m:" : "") + op.wrapperName;
    out += "<" + tag;
    if (qualified) out += " xmlns:m=\"" + xmlEscape(op.wrapperNs) + "\"";
    if (op.encoded) {
      out += " soap:encodingStyle=\"";
      out += kEncNs;
      out += "\"";
    }
    out += ">";
    for (size_t i = 0; i < op.inputs.size(); ++i)
      appendElement(out, op.inputs[i], i < args.size() ? args[i] : ArgText(), op.encoded,
                    static_cast<int>(i));
    out += "</" + tag + ">";
  } else {
    for (size_t i = 0; i < op.inputs.size(); ++i)
      appendElement(out, op.inputs[i], i < args.size() ? args[i] : ArgText(), op.encoded,
                    static_cast<int>(i));
  }
  out += "</soap:Body></soap:Envelope>";
  return out;
}

std::string answerCharset(const std::string& body, const std::string& contentType) {
  std::string cs = paramOf(contentType, "charset");
  if (!cs.empty()) return cs;
  if (body.compare(0, 5, "<?xml") == 0) {
    auto end = body.find("?>");
    std::string decl = body.substr(0, end);
    cs = paramOf(decl, "encoding");
  }
  return cs;
}

std::string toUtf8(const std::string& text, const std::string& charset) {
  std::string cs = lower(charset);
  if (isUtf8Name(cs)) return text;
  iconv_t cd = iconv_open("UTF-8", cs.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1))
    throw SoapError(SoapError::Kind::kCharset, "Unsupported charset of the answer: " + charset);
  std::string out(text.size() * 4 + 16, '\0');
  char* in = const_cast<char*>(text.data());
  size_t inLeft = text.size();
  char* dst = &out[0];
  size_t outLeft = out.size();
  while (inLeft > 0) {
    size_t rc = iconv(cd, &in, &inLeft, &dst, &outLeft);
    if (rc != static_cast<size_t>(-1)) continue;
    if (errno == E2BIG) {
      size_t used = out.size() - outLeft;
      out.resize(out.size() * 2);
      dst = &out[used];
      outLeft = out.size() - used;
    } else {
      iconv_close(cd);
      throw SoapError(SoapError::Kind::kCharset, "Answer is not valid " + charset);
    }
  }
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

SoapAnswer parseAnswer(const WsdlOperation& op, const std::string& body,
                       const std::string& contentType) {
  std::string cs = lower(answerCharset(body, contentType));
  pugi::xml_document doc;
  pugi::xml_parse_result r;
  if (isUtf8Name(cs)) {
    r = doc.load_buffer(body.data(), body.size(), pugi::parse_default, pugi::encoding_utf8);
  } else {
    std::string utf8 = toUtf8(body, cs);
    // The declaration still names the old charset; pugixml ignores it when
    // told the encoding.
    r = doc.load_buffer(utf8.data(), utf8.size(), pugi::parse_default, pugi::encoding_utf8);
  }
  if (!r) throw SoapError(SoapError::Kind::kBadAnswer, "Answer is not XML");
  pugi::xml_node env = doc.document_element();
  if (!localIs(env, "Envelope"))
    throw SoapError(SoapError::Kind::kBadAnswer, "Answer is not a SOAP envelope");
  pugi::xml_node body_ = childByLocal(env, "Body");
  if (!body_) throw SoapError(SoapError::Kind::kBadAnswer, "SOAP answer has no Body");

  SoapAnswer a;
  if (pugi::xml_node fault = childByLocal(body_, "Fault")) {
    a.fault = true;
    a.faultText = faultText(fault);
    return a;
  }
  if (!op.hasOutput) return a;
  pugi::xml_node top = firstElement(body_);
  pugi::xml_node res;
  if (top && localIs(top, op.outputName.c_str())) {
    res = top;  // bare document style: the result element itself
  } else if (top) {
    res = childByLocal(top, op.outputName.c_str());
    if (!res) {
      // rpc answers often name the result part freely: take the only one.
      int count = 0;
      for (pugi::xml_node ch : top.children())
        if (ch.type() == pugi::node_element) {
          ++count;
          res = ch;
        }
      if (count != 1) res = pugi::xml_node();
    }
  }
  if (!res) return a;
  a.present = true;
  a.nil = isNil(res);
  a.result = textOf(res);
  return a;
}

bool oleDateToXsd(double date, std::string* out) {
  // Years 100..9999 as the automation types allow.
  if (!std::isfinite(date) || date < -657434.0 || date >= 2958466.0) return false;
  double whole = std::trunc(date);
  long long day = static_cast<long long>(whole);
  long long secs = std::llround(std::fabs(date - whole) * 86400.0);
  if (secs >= 86400) {  // rounded up to midnight: the next calendar day
    secs -= 86400;
    day += 1;
  }
  // Civil date from days since 1970-01-01 (H. Hinnant's algorithm).
  long long z = day - 25569 + 719468;
  long long era = (z >= 0 ? z : z - 146096) / 146097;
  long long doe = z - era * 146097;
  long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  long long y = yoe + era * 400;
  long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  long long mp = (5 * doy + 2) / 153;
  long long d = doy - (153 * mp + 2) / 5 + 1;
  long long m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
  char buf[96];
  std::snprintf(buf, sizeof buf, "%04lld-%02lld-%02lldT%02lld:%02lld:%02lld", y, m, d,
                secs / 3600, (secs / 60) % 60, secs % 60);
  *out = buf;
  return true;
}

}  // namespace qelsoap
