// The record attribute and record-id attribute of declarable items, the
// search for items by record id, and the installation path.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <optional>
#include <memory>
#include <string>
#include <vector>

#include "QELUtilities.h"
#include "caches.h"
#include "debug_output.h"
#include "environment.h"

namespace {

const char kDupMsg[] = "ERROR [GetTaVNattrByDDO]: Duplicated or mismatched TaVN attribute.";

void dumpAnonymous(GxException& e) { OutputDebugGxException(&e, nullptr, nullptr); }

// True when `name` ends with `suffix` and that is the first occurrence of
// `suffix` in it.
bool endsWithOnly(const GxString& name, const char* suffix) {
  const long pos = name.indexOf(suffix, 0);
  const long len = static_cast<long>(std::strlen(suffix));
  return pos > 0 && pos + len - 1 == name.length();
}

bool cachedNames(const GxString& server, const GxString& itemType, GxString& recordAttr,
                 GxString& recordIdAttr) {
  return attrPairCache().GetCopy(server.c_str(), itemType.c_str(), [&](const void* o) {
    const auto* pair = static_cast<const TaVNattrPair*>(o);
    recordAttr = pair->recordAttr;
    recordIdAttr = pair->recordIdAttr;
  });
}

void cacheNames(const GxString& server, const GxString& itemType, const GxString& recordAttr,
                const GxString& recordIdAttr) {
  auto* pair = new TaVNattrPair{recordAttr, recordIdAttr};
  if (attrPairCache().Add(pair, server.c_str(), itemType.c_str()) != 0) delete pair;
}

// Text of an attribute; "" when it has no value.
GxString attrText(GxDDO* item, const GxString& name) {
  const unsigned short id = item->dataId(name);
  GxAny value = item->getData(id);
  if (value.isNull()) return GxString();
  return value.asString();
}

void setAttr(GxDDO* item, const GxString& name, const GxString& text) {
  item->setData(item->dataId(name), GxAny(text));
}

// Stores `ids` as the item's id list and marks it declared.
void storeDeclared(GxDDO* item, const GxString& rec, const GxString& recId,
                   const std::vector<long>& ids) {
  GxString list;
  EncodeLongArray2Str(list, static_cast<int>(ids.size()), ids.data());
  setAttr(item, recId, list);
  setAttr(item, rec, GxString("yes"));
}

// The frame shared by the functions that work on an item's record
// attributes: -1 for a null item or a failed name look-up, otherwise
// body(record attribute, record-id attribute), with a connector exception
// dumped and turned into -1.
template <class Body>
int withRecordAttrs(GxDDO* item, Body body) {
  if (item == nullptr) return -1;
  GxString rec, recId;
  if (GetTaVNattrNamesByDDO(item, rec, recId) != 0) return -1;
  try {
    return body(rec, recId);
  } catch (GxException& e) {
    dumpAnonymous(e);
    return -1;
  }
}

}  // namespace

int GetTaVNattrNamesByDDO(GxDDO* item, GxString& recordAttr, GxString& recordIdAttr) {
  if (item == nullptr) return -1;
  try {
    const GxString itemType = item->getObjectType();
    GxDatastoreDVX* datastore = item->getDatastore();
    if (datastore == nullptr) return -1;
    const GxString server = datastore->getDatastoreName();
    if (cachedNames(server, itemType, recordAttr, recordIdAttr)) {
      OutputDebugStringA("INFO [GetTaVNattrByDDO]: got cached copy\n");
      return 0;
    }

    recordAttr = "";
    recordIdAttr = "";
    bool plainRec = false, plainRecId = false, prefRec = false, prefRecId = false;
    auto fail = [](const std::string& message) {
      OutputDebugStringA(message.c_str());
      return -1;
    };
    const unsigned short n = item->dataCount();
    for (unsigned short i = 1; i <= n; ++i) {
      const GxString name = item->getDataName(i);
      if (name == "eRecord") {
        if (prefRec || prefRecId) return fail(std::string(kDupMsg) + "(1)\n");
        recordAttr = name;
        plainRec = true;
      } else if (name == "eRecordID") {
        if (prefRec || prefRecId) return fail(std::string(kDupMsg) + "(2)\n");
        recordIdAttr = name;
        plainRecId = true;
      } else if (endsWithOnly(name, ".eRecord")) {
        if (plainRec || plainRecId || prefRec) return fail(std::string(kDupMsg) + "(3)\n");
        recordAttr = name;
        prefRec = true;
      } else if (endsWithOnly(name, ".eRecordID")) {
        if (plainRec || plainRecId || prefRecId) return fail(std::string(kDupMsg) + "(4)\n");
        recordIdAttr = name;
        prefRecId = true;
      }
    }
    if (plainRec != plainRecId || prefRec != prefRecId)
      return fail("ERROR [GetTaVNattrByDDO]: Un-matched TaVN attribute.\n");
    if (plainRec) {
      cacheNames(server, itemType, recordAttr, recordIdAttr);
      return 0;
    }
    if (!prefRec) return -3;
    // The prefix keeps its final ".".
    const GxString prefix = recordAttr.subString(1, recordAttr.length() - 7);
    if (recordIdAttr.indexOf(prefix, 0) != 1)
      return fail("ERROR [GetTaVNattrByDDO]: Mis-matched TaVN attribute.\n");
    cacheNames(server, itemType, recordAttr, recordIdAttr);
    return 0;
  } catch (GxException& e) {
    dumpAnonymous(e);
    return -1;
  }
}

int GetTaVNattrNamesByItemType(GxDatastoreDVX* datastore, const char* itemType,
                               GxString& recordAttr, GxString& recordIdAttr) {
  if (datastore == nullptr || itemType == nullptr) return -1;
  try {
    const GxString server = datastore->getDatastoreName();
    if (cachedNames(server, GxString(itemType), recordAttr, recordIdAttr)) {
      OutputDebugStringA("INFO [GetTaVNattrByItemType]: got cached copy\n");
      return 0;
    }
    std::unique_ptr<GxDDO> item(datastore->createDDO(GxString(itemType), 1));
    return GetTaVNattrNamesByDDO(item.get(), recordAttr, recordIdAttr);
  } catch (GxException& e) {
    dumpAnonymous(e);
    return -1;
  }
}

int IsDeclarableDDO(GxDDO* item) {
  if (item == nullptr) return -1;
  GxString rec, recId;
  return GetTaVNattrNamesByDDO(item, rec, recId);
}

int IsDeclarableItemType(GxDatastoreDVX* datastore, const char* itemType) {
  if (datastore == nullptr) return -1;
  GxString rec, recId;
  return GetTaVNattrNamesByItemType(datastore, itemType, rec, recId);
}

int IsDeclaredDDO(GxDDO* item) {
  if (item == nullptr) return -1;
  GxString rec, recId;
  if (GetTaVNattrNamesByDDO(item, rec, recId) != 0) return -3;
  try {
    GxAny value = item->getData(item->dataId(rec));
    if (value.isNull()) return -3;
    return value.asString() == "yes" ? 0 : -3;
  } catch (GxException& e) {
    dumpAnonymous(e);
    return -1;
  }
}

int GetRecordID(GxDDO* item, int& count, long*& ids) {
  return withRecordAttrs(item, [&](const GxString&, const GxString& recId) {
    GxAny value = item->getData(item->dataId(recId));
    if (value.isNull()) return -1;
    const GxString text = value.asString();
    return DecodeStr2LongArray(text.c_str(), count, ids);
  });
}

int AddRecordID(GxDDO* item, long recordId) {
  return withRecordAttrs(item, [&](const GxString& rec, const GxString& recId) {
    const GxString old = attrText(item, recId);
    std::vector<long> all;
    if (!old.isEmpty()) {
      int count = 0;
      long* ids = nullptr;
      if (DecodeStr2LongArray(old.c_str(), count, ids) != 0) {
        MarkDDOnotDeclared(item);
        return -1;
      }
      all.assign(ids, ids + count);
      delete[] ids;
    }
    all.push_back(recordId);
    storeDeclared(item, rec, recId, all);
    return 0;
  });
}

int RemoveRecordID(GxDDO* item, long recordId) {
  return withRecordAttrs(item, [&](const GxString& rec, const GxString& recId) {
    const GxString old = attrText(item, recId);
    int count = 0;
    long* ids = nullptr;
    if (old.isEmpty() || DecodeStr2LongArray(old.c_str(), count, ids) != 0) {
      MarkDDOnotDeclared(item);
      return -1;
    }
    std::vector<long> all(ids, ids + count);
    delete[] ids;
    if (all.size() == 1) return all[0] == recordId ? MarkDDOnotDeclared(item) : -1;
    auto it = std::find(all.begin(), all.end(), recordId);
    if (it == all.end()) return -1;
    all.erase(it);
    storeDeclared(item, rec, recId, all);
    return 0;
  });
}

int MarkDDOnotDeclared(GxDDO* item) {
  return withRecordAttrs(item, [&](const GxString& rec, const GxString& recId) {
    setAttr(item, rec, GxString("no"));
    item->setNull(item->dataId(recId));
    return 0;
  });
}

int GetItemId4eId(GxDatastoreDVX* datastore, long recordId, GxString itemType, int& count,
                  GxString*& itemIds) {
  count = 0;
  itemIds = nullptr;
  if (datastore == nullptr) return -1;
  try {
    char pattern[32];
    std::snprintf(pattern, sizeof pattern, ":%ld:", recordId);
    std::string query;
    char buf[512];
    if (itemType == "***") {
      std::snprintf(buf, sizeof buf, "/*[@%s LIKE \"%%%s%%\"]", "eRecordID", pattern);
      query = buf;
    } else {
      query = "/" + itemType.str() + "[@eRecordID LIKE \"%" + pattern + "%\"]";
    }
    GxNVPair options[3];
    options[0].setName("MAX_RESULTS");
    options[0].setValue(GxAny("0"));
    options[1].setName("RETRIEVE_OPTION");
    options[1].setValue(GxAny(2050L));
    options[2].setName("End");
    GxAny answer = datastore->query(GxString(query), 7, options);
    std::unique_ptr<gxCollection> results(static_cast<gxCollection*>(answer));
    const long n = results ? results->count() : 0;
    count = static_cast<int>(n);
    if (n == 0) return -1;
    itemIds = new GxString[n];
    std::unique_ptr<gxIterator> it(results->createIterator());
    for (long i = 0; i < n && it->more(); ++i) {
      auto* ddo = dynamic_cast<GxDDO*>(static_cast<gxDataObjectBase*>(it->next()));
      if (ddo != nullptr) itemIds[i] = ddo->getItemId();
    }
    return 0;
  } catch (GxException& e) {
    dumpAnonymous(e);
    count = 0;
    delete[] itemIds;
    itemIds = nullptr;
    return -1;
  }
}

int GetTaVNpath(GxString& path) {
  path = "/";
  std::optional<std::string> root = qelGetEnv("QELROOT");
  if (!root || root->size() < 2) return -1;
  if (root->back() == '/')
    path = GxString(*root);
  else
    path = GxString(*root + "/");
  return 0;
}
