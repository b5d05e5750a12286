#pragma once
// Typed access to the arguments of one SOAP call, already checked against
// the operation's argument types by the request parser.
#include <string>
#include <vector>

namespace hollin {

class Args {
 public:
  // REQUIRES: each text is the wire form of its argument and was checked by
  // the parser (decimal for int/long, "true"/"false"/"1"/"0" for bool).
  explicit Args(std::vector<std::string> texts) : texts_(std::move(texts)) {}

  // REQUIRES: i < size().
  const std::string& str(size_t i) const { return texts_.at(i); }
  long long num(size_t i) const { return std::stoll(texts_.at(i)); }
  bool flag(size_t i) const { return texts_.at(i) == "true" || texts_.at(i) == "1"; }
  size_t size() const { return texts_.size(); }

 private:
  std::vector<std::string> texts_;
};

}  // namespace hollin
