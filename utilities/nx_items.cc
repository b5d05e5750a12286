// Item creation, deletion and check-in.
#include <cstring>
#include <memory>
#include <string>

#include "QELUtilities.h"
#include "TaVNtrace.h"
#include "nx_items.h"

namespace {
constexpr const char* kModule = "QELUtilities";

void trace3(const char* fn, const char* text) { TaVNOutputTrace(3, kModule, fn, "%s", text); }

// Runs the connector steps of `fn`: 0 when they complete, -1 after a dumped
// connector exception or any other exception ("caught a critical error!").
template <class Steps>
int runSteps(const char* fn, Steps steps) {
  try {
    steps();
    return 0;
  } catch (GxException& e) {
    OutputDebugGxException(&e, kModule, fn);
  } catch (...) {
    TaVNOutputTrace(1, kModule, fn, "%s", "caught a critical error!");
  }
  return -1;
}
}  // namespace

GxString findMimeType(GxDatastoreDVX* datastore, GxString fileName) {
  static const char* fn = "findMimeType";
  trace3(fn, "begin.");
  const std::string& name = fileName.str();
  size_t dot = name.rfind('.');
  GxString suffix(dot == std::string::npos ? std::string() : name.substr(dot + 1));
  suffix.lowerCase();
  TaVNOutputTrace(2, kModule, fn, "file name suffix = %s", suffix.c_str());

  trace3(fn, "getting server mime type objects.");
  GxDatastoreAdminDVX admin(datastore);
  std::unique_ptr<GxMimeTypeMgmtDVX> mimeMgmt(admin.mimeTypeMgmt());
  std::unique_ptr<gxCollection> defs(mimeMgmt->listMimeTypes());
  trace3(fn, "creating server mime type collection.");
  std::unique_ptr<gxIterator> it(defs->createIterator());
  trace3(fn, "looping through available mime types.");

  GxString result;
  bool found = false;
  while (!found && it->more()) {
    auto* def = dynamic_cast<GxMimeTypeDefDVX*>(static_cast<gxDataObjectBase*>(it->next()));
    if (def == nullptr) continue;
    trace3(fn, "getting suffix list for current mime type.");
    GxString suffixes = def->getSuffixes();
    TaVNOutputTrace(3, kModule, fn, "current suffix list is '%s'", suffixes.c_str());
    suffixes.lowerCase();
    if (suffixes.indexOf(suffix, 0) > 0) {
      TaVNOutputTrace(2, kModule, fn, "%s", "found suffix match.");
      result = def->getMimeType();
      TaVNOutputTrace(2, kModule, fn, "mime type = %s", result.c_str());
      if (suffix == "msg") {
        TaVNOutputTrace(3, kModule, fn, "Outlook msg mime type = %s", result.c_str());
      } else if (suffix == "txt") {
        trace3(fn, "found default txt match, saving");
      }
      found = true;
    }
  }
  if (!found) {
    trace3(fn, "could not find a match, using mime type for txt.");
    result = "text/plain";
  }
  trace3(fn, "end.");
  return result;
}

int TaVNCreateNXItem(GxDatastoreDVX* datastore, const char* itemType, const char* fileName,
                     const char* attributes, GxDDO*& item) {
  static const char* fn = "TaVNCreateNXItem";
  trace3(fn, "begin.");
  if (datastore == nullptr || itemType == nullptr || fileName == nullptr) {
    TaVNOutputTrace(1, kModule, fn, "%s", "Invalid input");
    trace3(fn, "end.");
    return -1;
  }
  GxEnvironment::setSubSystem(1);
  const int result = runSteps(fn, [&] {
    trace3(fn, "creating new NX item.");
    item = datastore->createDDO(GxString(itemType), 1);

    if (attributes != nullptr) {
      trace3(fn, "extracting attributes and values provided.");
      // Split like strtok: runs of "|" separate pairs, empty pairs vanish.
      // Names and values are taken whole, however long.
      const std::string list(attributes);
      size_t pos = 0;
      while (pos < list.size()) {
        size_t end = list.find('|', pos);
        if (end == std::string::npos) end = list.size();
        const std::string pair = list.substr(pos, end - pos);
        pos = end + 1;
        if (pair.empty()) continue;
        TaVNOutputTrace(3, kModule, fn, "key/value pair (szPair) = %s", pair.c_str());
        const size_t eq = pair.find('=');
        if (eq == std::string::npos) {
          TaVNOutputTrace(2, kModule, fn, "%s", "key/value pair has no '=', skipping.");
          continue;
        }
        const std::string name = pair.substr(0, eq);
        const std::string value = pair.substr(eq + 1);
        TaVNOutputTrace(2, kModule, fn, "attribute name (szName) = %s", name.c_str());
        TaVNOutputTrace(2, kModule, fn, "attribute value (szValue) = %s", value.c_str());
        unsigned short id = item->dataId(GxString("ATTR"), GxString(name));
        if (id != 0) {
          item->setData(id, GxAny(GxString(value)));
          TaVNOutputTrace(2, kModule, fn, "copied attribute (%s) from list to index class",
                          name.c_str());
        } else {
          TaVNOutputTrace(2, kModule, fn, "possible attribute (%s) in list is not in index class",
                          name.c_str());
          TaVNOutputTrace(2, kModule, fn, "%s", "skipping attribute.");
        }
      }
    }

    trace3(fn, "setting parts (GxParts) and object content (XDO).");
    const unsigned short partsId = item->dataId(GxString("GxParts"));
    gxCollection* parts = item->getData(partsId);

    trace3(fn, "calling findMimeType()...");
    GxString mimeType = findMimeType(datastore, GxString(fileName));
    TaVNOutputTrace(2, kModule, fn, "setting mime type to '%s'", mimeType.c_str());

    trace3(fn, "creating an xdo.");
    std::unique_ptr<GxDDO> part(datastore->createDDO(GxString("DVXBASE"), 128));
    auto* lob = dynamic_cast<GxLobDVX*>(part.get());
    if (lob == nullptr) throw GxException(GX_EXC_CONTENT, "DVXBASE did not give a content part");
    lob->setMimeType(mimeType);
    lob->setContentFromFile(GxString(fileName));
    lob->setPartNumber(7);

    trace3(fn, "add the xdo to the parts.");
    parts->addElement(GxAny(static_cast<gxDataObjectBase*>(part.get())));
    part.release();  // the parts collection owns it now
    trace3(fn, "add the parts to the ddo.");
    item->setData(partsId, GxAny(parts));

    trace3(fn, "calling pDDO->add()...");
    item->add();
    trace3(fn, "pDDO->add() was successful.");
  });
  trace3(fn, "end.");
  return result;
}

int TaVNDeleteNXItem(GxDatastoreDVX* datastore, GxString itemId) {
  static const char* fn = "TaVNDeleteNXItem";
  trace3(fn, "begin.");
  if (datastore == nullptr) {
    TaVNOutputTrace(1, kModule, fn, "%s", "Invalid input");
    trace3(fn, "end.");
    return -1;
  }
  GxEnvironment::setSubSystem(1);
  const int result = runSteps(fn, [&] {
    trace3(fn, "creating DDO.");
    std::unique_ptr<GxDDO> item(datastore->createDDOFromPid(itemId));
    trace3(fn, "calling pDDO->del()...");
    item->del();
    trace3(fn, "pDDO->del() was successful.");
  });
  trace3(fn, "end.");
  return result;
}

int DVXcheckInAll(GxDatastoreDVX* datastore, int count, GxDDO* items) {
  if (count <= 0) return 0;
  if (datastore == nullptr || items == nullptr) return -1;
  try {
    for (int i = 0; i < count; ++i) datastore->checkIn(&items[i]);
    return 0;
  } catch (GxException& e) {
    OutputDebugGxException(&e, kModule, "DVXcheckInAll");
    return -1;
  }
}
