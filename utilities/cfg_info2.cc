// The five records-server definition ids, kept by the records server as
// engine configuration values.
#include <cctype>
#include <cstdint>
#include <cstdio>

#include "HLNinterfaces.h"
#include "QELUtilities.h"
#include "TaVNtrace.h"

namespace {

constexpr const char* kModule = "QELUtilities";
// The scope argument every engine configuration call passes.
constexpr int kScope = 0;

struct Key {
  const char* name;
  int32_t TaVNcfgInfo2_t::*member;
};

// Member order.
constexpr Key kKeys[] = {
    {"NXDocumentID", &TaVNcfgInfo2_t::NXDocumentID},
    {"NXEmailID", &TaVNcfgInfo2_t::NXEmailID},
    {"NXSprsdViewID", &TaVNcfgInfo2_t::NXSprsdViewID},
    {"NXVersionViewID", &TaVNcfgInfo2_t::NXVersionViewID},
    {"NXCrsRefViewID", &TaVNcfgInfo2_t::NXCrsRefViewID},
};

bool loggedOn(QELsession& session, const char* function) {
  if (session.m_pHLN != nullptr) return true;
  TaVNOutputTrace(1, kModule, function, "NULL QELsession");
  return false;
}

// atol as the values were read where long is 32 bits: a value beyond the
// range saturates instead of being undefined.
int32_t atol32(const char* text) {
  if (text == nullptr) return 0;
  const unsigned char* p = reinterpret_cast<const unsigned char*>(text);
  while (std::isspace(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = (*p++ == '-');
  const int64_t limit = negative ? -static_cast<int64_t>(INT32_MIN) : INT32_MAX;
  int64_t value = 0;
  for (; std::isdigit(*p); ++p) {
    value = value * 10 + (*p - '0');
    if (value > limit) {
      value = limit;
      while (std::isdigit(*p)) ++p;
      break;
    }
  }
  return static_cast<int32_t>(negative ? -value : value);
}

}  // namespace

int GetTaVNcfgInfo2(QELsession& session, TaVNcfgInfo2_t& info) {
  if (!loggedOn(session, "GetTaVNcfgInfo2")) return -1;
  info = TaVNcfgInfo2_t{};
  try {
    for (const Key& key : kKeys) {
      const CString text = session.m_pHLN->getEngineConfigValue(_bstr_t(key.name), kScope);
      info.*key.member = atol32(text.GetString());
    }
  } catch (...) {
    TaVNOutputTrace(1, kModule, "GetTaVNcfgInfo2", "Failed to Get Value from HLN");
    return -1;
  }
  return 0;
}

int SetTaVNcfgInfo2(QELsession& session, TaVNcfgInfo2_t& info) {
  if (!loggedOn(session, "SetTaVNcfgInfo2")) return -1;
  try {
    for (const Key& key : kKeys) {
      char text[16];
      std::snprintf(text, sizeof text, "%d", static_cast<int>(info.*key.member));
      session.m_pHLN->setEngineConfigValue(_bstr_t(key.name), kScope, _bstr_t(text));
    }
  } catch (...) {
    TaVNOutputTrace(1, kModule, "SetTaVNcfgInfo2", "Failed to Set Value in HLN");
    return -1;
  }
  return 0;
}

int CleanTaVNcfgInfo2(QELsession& session) {
  if (!loggedOn(session, "CleanTaVNcfgInfo2")) return -1;
  bool present[sizeof kKeys / sizeof kKeys[0]] = {};
  for (size_t i = 0; i < sizeof kKeys / sizeof kKeys[0]; ++i) {
    try {
      session.m_pHLN->getEngineConfigValue(_bstr_t(kKeys[i].name), kScope);
      present[i] = true;
    } catch (...) {
      // A key the server does not hold needs no deletion.
    }
  }
  try {
    for (size_t i = 0; i < sizeof kKeys / sizeof kKeys[0]; ++i) {
      if (present[i]) session.m_pHLN->deleteEngineConfigValue(_bstr_t(kKeys[i].name), kScope);
    }
  } catch (...) {
    TaVNOutputTrace(1, kModule, "CleanTaVNcfgInfo2", "Failed to Delete Value in HLN");
    return -1;
  }
  return 0;
}
