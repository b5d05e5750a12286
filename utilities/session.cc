// Records-server session: logon of a working user or the administrator, and
// logoff.
#include <memory>
#include <string>

#include "HLNinterfaces.h"
#include "QELResource.h"
#include "QELUtilities.h"
#include "TaVNtrace.h"

namespace {

constexpr const char* kModule = "QELUtilities";
// Qualifies a content-management name with its library server.
constexpr const char* kQualifier = "::@%@::";

// `text` as an XML attribute value: a library server or group name holding
// a quote or an ampersand must not break the group list.
void appendEscaped(std::string& out, const char* text) {
  for (const char* p = text; *p != '\0'; ++p) {
    switch (*p) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += *p; break;
    }
  }
}

// The groups of `userId`, as the group list the records server takes. Looked
// up through a connection of its own as "qeladmin", since the working user
// may not list groups; any failure there means no groups.
std::string groupListFor(GxDatastoreDVX* datastore, const TaVNcfgInfo_t& info,
                         const GxString& userId) {
  GxString* groups = nullptr;
  int count = 0;
  {
    GxDatastoreDVX admin;
    GxString errorText;
    if (DVXlogon(&admin, datastore->getDatastoreName().c_str(), "qeladmin", info.QELPwd.c_str(),
                 errorText) == -1) {
      TaVNOutputTrace(1, kModule, "TaVNlogon", "Unable to logon as qeladmin: %s",
                      errorText.c_str());
    } else {
      count = GetDVXgroup4user(&admin, userId.c_str(), groups);
    }
  }
  std::unique_ptr<GxString[]> owned(groups);

  std::string list = "<List>";
  for (int i = 0; i < count; ++i) {
    list += "<Item XtGrpID=\"";
    appendEscaped(list, info.LibSer.c_str());
    list += kQualifier;
    appendEscaped(list, groups[i].c_str());
    list += "\"/>";
  }
  list += "</List>";
  return list;
}

// Initialises a new facade on `url`; null (traced under `function`) when
// that fails.
std::unique_ptr<HLNinterfaces> initializedFacade(const GxString& url, const char* function) {
  auto hln = std::make_unique<HLNinterfaces>();
  try {
    hln->initialize(CString(url.c_str()));
  } catch (...) {
    TaVNOutputTrace(1, kModule, function, "Failed to initialize HLNinterfaces");
    return nullptr;
  }
  return hln;
}

}  // namespace

QELsession::QELsession() : m_pHLN(nullptr) {}

QELsession& QELsession::operator=(const QELsession& other) {
  m_pHLN = other.m_pHLN;
  return *this;
}

int TaVNlogon(GxDatastoreDVX* datastore, QELsession& session) {
  TaVNOutputTrace(3, kModule, "TaVNlogon", "Begins");
  session.m_pHLN = nullptr;
  try {
    TaVNcfgInfo_t info;
    if (GetTaVNcfgInfo(datastore, info) != 0) {
      TaVNOutputTrace(1, kModule, "TaVNlogon", "Failed at GetTaVNcfgInfo");
      return -1;
    }

    const GxString userId = datastore->getUserId();
    const std::string userKey = std::string(info.LibSer.c_str()) + kQualifier + userId.c_str();
    const std::string groupList = groupListFor(datastore, info, userId);

    TaVNOutputTrace(2, kModule, "TaVNlogon", "Logging in HLN with user:  %s", userKey.c_str());
    TaVNOutputTrace(2, kModule, "TaVNlogon", "Logging in HLN with group: %s", groupList.c_str());

    std::unique_ptr<HLNinterfaces> hln = initializedFacade(info.ZulSURL, "TaVNlogon");
    if (!hln) return -1;
    try {
      hln->integrationHostLogin(_bstr_t(userKey), static_cast<long>(info.HostID),
                                _bstr_t(info.HostPW.c_str()), _bstr_t(info.ZulDB.c_str()),
                                _bstr_t(groupList), _bstr_t(QELGetLang()));
    } catch (...) {
      TaVNOutputTrace(1, kModule, "TaVNlogon", "Failed to login HLN");
      return -1;
    }
    session.m_pHLN = hln.release();
  } catch (GxException& e) {
    // The caller's datastore could not name its user or server.
    OutputDebugGxException(&e, kModule, "TaVNlogon");
    return -1;
  } catch (...) {
    // Out of memory while building the texts; no exception leaves an export.
    return -1;
  }
  TaVNOutputTrace(3, kModule, "TaVNlogon", "Ends");
  return 0;
}

int TaVNAdminLogon(GxDatastoreDVX* datastore, QELsession& session) {
  session.m_pHLN = nullptr;
  try {
    TaVNcfgInfo_t info;
    if (GetTaVNcfgInfo(datastore, info) != 0) {
      TaVNOutputTrace(1, kModule, "TaVNAdminLogon", "Failed at GetTaVNcfgInfo");
      return -1;
    }
    std::unique_ptr<HLNinterfaces> hln = initializedFacade(info.ZulSURL, "TaVNAdminLogon");
    if (!hln) return -1;
    try {
      hln->integrationLogin(_bstr_t("administrator"), _bstr_t(info.ZulPwd.c_str()),
                            _bstr_t(info.ZulDB.c_str()), _bstr_t(""), _bstr_t(QELGetLang()));
    } catch (...) {
      TaVNOutputTrace(1, kModule, "TaVNAdminLogon", "Failed to login HLN");
      return -1;
    }
    session.m_pHLN = hln.release();
    return 0;
  } catch (...) {
    return -1;
  }
}

int TaVNlogoff(QELsession& session) {
  TaVNOutputTrace(3, kModule, "TaVNlogoff", "Begins");
  if (session.m_pHLN == nullptr) {
    TaVNOutputTrace(1, kModule, "TaVNlogoff", "NULL QELsession");
    return -1;
  }
  try {
    session.m_pHLN->logout();
  } catch (...) {
    // The session ends here whatever the server thinks of it.
    TaVNOutputTrace(1, kModule, "TaVNlogoff", "Failed to logoff HLN");
  }
  delete session.m_pHLN;
  session.m_pHLN = nullptr;
  TaVNOutputTrace(3, kModule, "TaVNlogoff", "Ends");
  return 0;
}
