#include "platform/gx/gx_exception.h"

GxExceptionLocation::GxExceptionLocation(const char* file, const char* function, long line)
    : file_(file ? file : ""), function_(function ? function : ""), line_(line) {}
const char* GxExceptionLocation::fileName() const { return file_.c_str(); }
const char* GxExceptionLocation::functionName() const { return function_.c_str(); }
long GxExceptionLocation::lineNumber() const { return line_; }

GxExceptionBase::GxExceptionBase() {}
GxExceptionBase::~GxExceptionBase() {}
const char* GxExceptionBase::what() const noexcept { return description(); }

GxException::GxException(short exceptionId, const std::string& text, unsigned long errorId,
                         short code)
    : exceptionId_(exceptionId),
      code_(code),
      errorId_(errorId ? errorId : static_cast<unsigned long>(static_cast<unsigned short>(exceptionId))),
      texts_{text} {}
GxException::GxException(short exceptionId, unsigned long errorId, short code)
    : exceptionId_(exceptionId),
      code_(code),
      errorId_(errorId ? errorId : static_cast<unsigned long>(static_cast<unsigned short>(exceptionId))) {}
GxException::GxException(const GxException& other) = default;
GxException& GxException::operator=(const GxException& other) = default;
GxException::~GxException() {}

unsigned long GxException::errorId() const { return errorId_ & 0xFFFFFFFFUL; }
long GxException::textCount() const { return static_cast<long>(texts_.size()); }
const char* GxException::text(long index) const {
  if (index < 0 || index >= textCount()) return "";
  return texts_[static_cast<size_t>(index)].c_str();
}
long GxException::locationCount() const { return static_cast<long>(locations_.size()); }
const GxExceptionLocation& GxException::locationAtIndex(long index) const {
  static const GxExceptionLocation kNone("", "", 0);
  if (index < 0 || index >= locationCount()) return kNone;
  return locations_[static_cast<size_t>(index)];
}
const char* GxException::description() const { return texts_.empty() ? "" : texts_[0].c_str(); }
short GxException::code() const { return code_; }
short GxException::exceptionId() const { return exceptionId_; }

GxException& GxException::addText(const std::string& text) {
  texts_.push_back(text);
  return *this;
}
GxException& GxException::addLocation(const char* file, const char* function, long line) {
  locations_.emplace_back(file, function, line);
  return *this;
}
