#include "platform/gx/internal/query_parser.h"

#include "platform/gx/internal/gx_throw.h"

namespace gx_internal {
namespace {

class Parser {
 public:
  explicit Parser(const std::string& t) : t_(t) {}

  ParsedQuery parse() {
    ParsedQuery q;
    skipWs();
    expect('/', "\"/\" and an item type");
    if (peek() == '*') {
      ++p_;
      q.anyType = true;
    } else {
      q.type = name("an item type name or \"*\"", false);
    }
    expect('[', "\"[\"");
    skipWs();
    expect('@', "\"@\" and an attribute name");
    q.attr = name("an attribute name", true);
    skipWs();
    if (peek() == '=') {
      ++p_;
    } else if (keywordLike()) {
      q.like = true;
    } else {
      fail("\"=\" or LIKE");
    }
    skipWs();
    expect('"', "a value in double quotes");
    size_t end = t_.find('"', p_);
    if (end == std::string::npos) fail("the closing double quote");
    q.value = t_.substr(p_, end - p_);
    p_ = end + 1;
    skipWs();
    expect(']', "\"]\"");
    if (peek() == '/') {
      ++p_;
      if (q.anyType) fail("the end of the query (child components need a named item type)");
      q.child = name("a child component name", false);
    }
    skipWs();
    if (p_ != t_.size()) fail("the end of the query");
    return q;
  }

 private:
  char peek() const { return p_ < t_.size() ? t_[p_] : '\0'; }
  void skipWs() {
    while (p_ < t_.size() && (t_[p_] == ' ' || t_[p_] == '\t')) ++p_;
  }
  void expect(char c, const char* what) {
    if (peek() != c) fail(what);
    ++p_;
  }
  static bool nameChar(char c, bool dot) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
           c == '-' || (dot && c == '.');
  }
  std::string name(const char* what, bool dot) {
    size_t start = p_;
    while (p_ < t_.size() && nameChar(t_[p_], dot)) ++p_;
    if (p_ == start) fail(what);
    return t_.substr(start, p_ - start);
  }
  bool keywordLike() {
    if (t_.size() - p_ < 4) return false;
    for (int i = 0; i < 4; ++i) {
      char c = t_[p_ + static_cast<size_t>(i)];
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
      if (c != "LIKE"[i]) return false;
    }
    char after = p_ + 4 < t_.size() ? t_[p_ + 4] : '\0';
    if (after != ' ' && after != '\t' && after != '"') return false;
    p_ += 4;
    return true;
  }
  [[noreturn]] void fail(const char* what) {
    GX_THROW(GX_EXC_BAD_QUERY, "unsupported query '" + t_ + "': expected " + what + " at position " +
                                   std::to_string(p_ + 1));
  }

  const std::string& t_;
  size_t p_ = 0;
};

}  // namespace

ParsedQuery parseQuery(const std::string& text) { return Parser(text).parse(); }

}  // namespace gx_internal
