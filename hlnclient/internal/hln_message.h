#pragma once
// Thrown message texts of QELHLN (see HLNinterfaces.h for the contract).

#include <string>

namespace hln {

// Limit of distinct run-time texts kept by internText.
inline constexpr size_t kMaxInternedTexts = 65536;
// Text thrown instead once that limit is reached.
inline constexpr char kStoreFullText[] = "Unable to invoke SoapClient method: DISP_E_EXCEPTION";

// A pointer to an immutable copy of `text` that stays valid for the rest
// of the process; equal texts give the same pointer. Thread-safe.
const char* internText(const std::string& text);

// Throws internText(text) as a const char*.
[[noreturn]] void throwText(const std::string& text);

// Number of distinct texts interned so far (for tests).
size_t internedTextCount();

}  // namespace hln
