// Content-management logon, server and group lists, diagnostics.
#include <iostream>
#include <memory>
#include <string>

#include "QELResource.h"
#include "QELUtilities.h"
#include "TaVNtrace.h"

namespace {
constexpr const char* kModule = "QELUtilities";
constexpr const char* kRule = "----------------------------------------------";
}  // namespace

int DVXlogon(GxDatastoreDVX* datastore, const char* server, const char* userId,
             const char* password, GxString& errorText) {
  if (datastore == nullptr) {
    errorText = static_cast<const char*>(QELLoadString(2055));
    return -1;
  }
  try {
    datastore->connect(GxString(server), GxString(userId), GxString(password), GxString(""));
    return 0;
  } catch (GxException& e) {
    OutputDebugGxException(&e, kModule, "DVXlogon");
    switch (e.exceptionId()) {
      case 11: errorText = static_cast<const char*>(QELLoadString(2005)); break;
      case 16: errorText = static_cast<const char*>(QELLoadString(2003)); break;
      default: errorText = static_cast<const char*>(QELLoadString(3937)); break;
    }
    return -1;
  }
}

int DVXlogoff(GxDatastoreDVX* datastore) {
  if (datastore == nullptr) return -1;
  try {
    datastore->disconnect();
    return 0;
  } catch (GxException& e) {
    OutputDebugGxException(&e, kModule, "DVXlogoff");
    return -1;
  }
}

int GetDVXservers(GxString*& servers) {
  std::unique_ptr<gxCollection> list;
  std::unique_ptr<gxIterator> it;
  try {
    GxDatastoreDVX temp;
    list.reset(temp.listDataSources());
    long count = list ? list->count() : 0;
    if (count < 1) return 0;
    servers = new GxString[count];
    it.reset(list->createIterator());
    for (long i = 0; i < count && it->more(); ++i) {
      std::unique_ptr<gxDataObjectBase> element(static_cast<gxDataObjectBase*>(it->next()));
      if (auto* def = dynamic_cast<gxEntityDef*>(element.get())) servers[i] = def->getName();
    }
    return static_cast<int>(count);
  } catch (GxException& e) {
    OutputDebugGxException(&e, kModule, "GetDVXservers");
    return 0;
  }
}

int GetDVXgroup4user(GxDatastoreDVX* datastore, const char* userId, GxString*& groups) {
  groups = nullptr;
  if (datastore == nullptr || userId == nullptr) return 0;
  std::unique_ptr<gxCollection> list;
  long count = 0;
  try {
    GxDatastoreAdminDVX admin(datastore);
    std::unique_ptr<GxUserMgmtDVX> users(admin.userMgmt());
    list.reset(users->listGroupsForUser(GxString(userId)));
    count = list ? list->count() : 0;
  } catch (GxException& e) {
    OutputDebugGxException(&e, kModule, "GetDVXgroup4user");
    return 0;
  }
  if (count < 0) return 0;
  groups = new GxString[count + 1];
  groups[0] = "DVXPUBLC";
  if (count == 0) return 1;
  try {
    std::unique_ptr<gxIterator> it(list->createIterator());
    for (long i = 1; i <= count && it->more(); ++i) {
      gxDataObjectBase* element = it->next();
      if (auto* def = dynamic_cast<gxEntityDef*>(element)) groups[i] = def->getName();
    }
    return static_cast<int>(count + 1);
  } catch (GxException& e) {
    OutputDebugGxException(&e, kModule, "GetDVXgroup4user");
    return 1;
  }
}

void OutputDebugGxException(GxException* exception, const char* module, const char* function) {
  if (exception == nullptr) return;
  try {
    const std::string mod = (module != nullptr && *module != '\0') ? module : "QEL";
    const std::string fn = (function != nullptr && *function != '\0') ? function : "...";
    const char* m = mod.c_str();
    const char* f = fn.c_str();
    TaVNOutputTrace(1, m, f, kRule);
    TaVNOutputTrace(1, m, f, "Caught GxException!");
    TaVNOutputTrace(1, m, f, "      Error ID: %d",
                    static_cast<int>(static_cast<uint32_t>(exception->errorId())));
    TaVNOutputTrace(1, m, f, "  Exception ID: %d", static_cast<int>(exception->exceptionId()));
    for (long i = 0; i < exception->textCount(); ++i)
      TaVNOutputTrace(1, m, f, "    Error Text: %s", exception->text(i));
    for (long i = 0; i < exception->locationCount(); ++i) {
      const GxExceptionLocation& loc = exception->locationAtIndex(i);
      TaVNOutputTrace(1, m, f, "      Filename: %s", loc.fileName());
      TaVNOutputTrace(1, m, f, "      Function: %s", loc.functionName());
      TaVNOutputTrace(1, m, f, "   Line Number: %d", static_cast<int>(loc.lineNumber()));
    }
    TaVNOutputTrace(1, m, f, kRule);
  } catch (...) {
    // A diagnostic must never become a failure of its own (out of memory).
  }
}

void PrintDDO(GxDDO* item) {
  if (item == nullptr) return;
  std::cout << "------------------" << std::endl;
  std::cout << "Object Type: " << item->getObjectType() << std::endl;
  for (unsigned short p = 1; p <= item->propertyCount(); ++p) {
    std::cout << "\tProperty (" << p << ") " << item->getPropertyName(p) << ": "
              << item->getProperty(p) << std::endl;
  }
  for (unsigned short d = 1; d <= item->dataCount(); ++d) {
    std::cout << "\t\tData (" << d << ") " << item->getDataName(d) << ": " << item->getData(d)
              << std::endl;
    for (unsigned short p = 1; p <= item->dataPropertyCount(d); ++p) {
      std::cout << "\t\t\tData Property (" << p << ") " << item->getDataPropertyName(d, p) << ": "
                << item->getDataProperty(d, p) << std::endl;
    }
  }
  std::cout << "------------------" << std::endl;
}
