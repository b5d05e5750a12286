#pragma once
// printf-style formatter of the trace library (contract in TaVNtrace.h).

#include <cstdarg>
#include <string>

namespace qel::trace {

// Formats `format` with `args`. A null format yields "(null)".
// May throw std::bad_alloc; the caller swallows it.
std::string formatTrace(const char* format, va_list args);

}  // namespace qel::trace
