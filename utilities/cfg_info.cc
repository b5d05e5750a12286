// The system configuration record: one "QELconfig" item keyed "SystemConfig"
// whose "QELvalue" children each hold one member as "key#@#value".
#include <cstdio>
#include <memory>
#include <string>

#include "caches.h"
#include "cfg_info.h"
#include "debug_output.h"

namespace {

constexpr const char* kSep = "#@#";

// The options every query of this record passes.
struct QueryOptions {
  GxNVPair pairs[3];
  QueryOptions() {
    pairs[0].setName("MAX_RESULTS");
    pairs[0].setValue(GxAny("0"));
    pairs[1].setName("RETRIEVE_OPTION");
    pairs[1].setValue(GxAny(2050L));
    pairs[2].setName("End");
  }
};

std::unique_ptr<gxCollection> runQuery(GxDatastoreDVX* datastore, const char* format,
                                       bool children) {
  char text[256];
  if (children)
    std::snprintf(text, sizeof text, format, "QELconfig", "QELkey", "SystemConfig", "QELvalue");
  else
    std::snprintf(text, sizeof text, format, "QELconfig", "QELkey", "SystemConfig");
  QueryOptions options;
  GxAny answer = datastore->query(GxString(text), 7, options.pairs);
  return std::unique_ptr<gxCollection>(static_cast<gxCollection*>(answer));
}

std::unique_ptr<gxCollection> queryRoot(GxDatastoreDVX* datastore) {
  return runQuery(datastore, "/%s[@%s=\"%s\"]", false);
}

std::unique_ptr<gxCollection> queryChildren(GxDatastoreDVX* datastore) {
  return runQuery(datastore, "/%s[@%s=\"%s\"]/%s", true);
}

GxString upperName(GxDatastoreDVX* datastore) {
  GxString name = datastore->getDatastoreName();
  name.upperCase();
  return name;
}

void cacheRecord(const GxString& key, const TaVNcfgInfo_t& info) {
  auto* copy = new TaVNcfgInfo_t(info);
  if (cfgInfoCache().Add(copy, key.c_str(), nullptr) != 0) delete copy;
}

// Member, ordinal and a setter, in the stored order.
struct Member {
  const char* key;
  int ordinal;
  GxString (*get)(const TaVNcfgInfo_t&);
  void (*set)(TaVNcfgInfo_t&, const GxString&);
};

#define QEL_STRING_MEMBER(name, ord)                                        \
  Member {                                                                  \
    #name, ord, [](const TaVNcfgInfo_t& r) { return r.name; },              \
        [](TaVNcfgInfo_t& r, const GxString& v) { r.name = v; }             \
  }
#define QEL_INT_MEMBER(name, ord)                                                   \
  Member {                                                                          \
    #name, ord, [](const TaVNcfgInfo_t& r) { return GxString(static_cast<long>(r.name)); }, \
        [](TaVNcfgInfo_t& r, const GxString& v) { r.name = static_cast<int32_t>(v.asInt()); } \
  }

const Member kMembers[] = {
    QEL_STRING_MEMBER(LibSer, 1), QEL_STRING_MEMBER(ZulHost, 2), QEL_STRING_MEMBER(ZulDB, 3),
    QEL_INT_MEMBER(HostID, 4),    QEL_STRING_MEMBER(HostPW, 5),  QEL_STRING_MEMBER(Outlook, 6),
    QEL_STRING_MEMBER(ZulPwd, 7), QEL_STRING_MEMBER(ZulURL, 8),  QEL_STRING_MEMBER(ZulSURL, 9),
    QEL_INT_MEMBER(ZulORB, 10),   QEL_STRING_MEMBER(QELPwd, 11),
};
constexpr int kMemberCount = 11;
constexpr int kCompleteSum = 66;

const Member* findMember(const GxString& key) {
  for (const Member& m : kMembers)
    if (key == m.key) return &m;
  return nullptr;
}

}  // namespace

GxDDO* CreateTaVNcfgDDO(GxDatastoreDVX* datastore, const TaVNcfgInfo_t& info) {
  if (datastore == nullptr) return nullptr;
  std::unique_ptr<GxDDO> root;
  try {
    root.reset(datastore->createDDO(GxString("QELconfig"), 1));
    root->setData(root->dataId(GxString("QELkey")), GxAny("SystemConfig"));
    gxCollection* children = root->getData(root->dataId(GxString("QELvalue")));
    for (const Member& m : kMembers) {
      GxString text;
      EncodeKeyValue(m.key, m.get(info).c_str(), kSep, text);
      std::unique_ptr<GxDDO> child(datastore->createChildDDO(GxString("QELconfig"),
                                                             GxString("QELvalue")));
      child->setData(child->dataId(GxString("QELvalue")), GxAny(text));
      children->addElement(GxAny(static_cast<gxDataObjectBase*>(child.get())));
      child.release();  // the component collection owns it now
    }
    return root.release();
  } catch (GxException& e) {
    OutputDebugGxException(&e, nullptr, nullptr);
    return nullptr;
  }
}

int GetTaVNcfgInfo(GxDatastoreDVX* datastore, TaVNcfgInfo_t& info) {
  if (datastore == nullptr) return -1;
  try {
    const GxString key = upperName(datastore);
    if (cfgInfoCache().GetCopy(key.c_str(), nullptr, [&info](const void* o) {
          info = *static_cast<const TaVNcfgInfo_t*>(o);
        })) {
      OutputDebugStringA("INFO [GetTaVNcfgInfo]: got cached copy\n");
      return 0;
    }

    std::unique_ptr<gxCollection> children = queryChildren(datastore);
    const long n = children ? children->count() : 0;
    if (n == 0) {
      OutputDebugStringA("ERROR [GetTaVNcfgInfo]: No record found.\n");
      return -1;
    }
    if (n != kMemberCount) {
      OutputDebugStringA("ERROR [GetTaVNcfgInfo]: Incorrect number of data entry.\n");
      return -1;
    }

    int sum = 0;
    unsigned seen = 0;  // bit per ordinal, so that duplicates cannot pass as complete
    bool duplicate = false;
    std::unique_ptr<gxIterator> it(children->createIterator());
    while (it->more()) {
      auto* child = dynamic_cast<GxDDO*>(static_cast<gxDataObjectBase*>(it->next()));
      GxString text;
      if (child != nullptr) {
        GxAny value = child->getData(child->dataId(GxString("QELvalue")));
        if (!value.isNull()) text = value.asString();
      }
      GxString k, v;
      if (DecodeKeyValue(k, v, kSep, text.c_str()) != 0) {
        OutputDebugStringA(
            (std::string("ERROR [GetTaVNcfgInfo]: Cannot decode data - ") + text.str() + "\n")
                .c_str());
        return -1;
      }
      const Member* m = findMember(k);
      if (m == nullptr) {
        OutputDebugStringA(
            (std::string("ERROR [GetTaVNcfgInfo]: Invalid Key - ") + k.str() + "\n").c_str());
        break;
      }
      m->set(info, v);
      sum += m->ordinal;
      if (seen & (1u << m->ordinal)) duplicate = true;
      seen |= 1u << m->ordinal;
    }
    if (sum != kCompleteSum || duplicate) {
      OutputDebugStringA(("ERROR [GetTaVNcfgInfo]: Incorrect checksum " + std::to_string(sum) +
                          ".\n")
                             .c_str());
      return -1;
    }
    cacheRecord(key, info);
    return 0;
  } catch (GxException& e) {
    OutputDebugGxException(&e, nullptr, nullptr);
    return -1;
  }
}

int SetTaVNcfgInfo(GxDatastoreDVX* datastore, TaVNcfgInfo_t& info) {
  if (datastore == nullptr) return -1;
  bool ownTransaction = false;
  try {
    std::unique_ptr<gxCollection> roots = queryRoot(datastore);
    const long n = roots ? roots->count() : 0;
    if (n > 1) return -1;
    // Build the new item before touching the old one, and swap them in one
    // transaction, so that a failure keeps the stored record.
    std::unique_ptr<GxDDO> fresh(CreateTaVNcfgDDO(datastore, info));
    if (!fresh) return -1;
    if (!datastore->inTransaction()) {
      datastore->startTransaction();
      ownTransaction = true;
    }
    if (n == 1) {
      auto* old = dynamic_cast<GxDDO*>(roots->elementAt(0).asObject());
      if (old == nullptr) throw GxException(GX_EXC_BAD_ARGUMENT, "query gave no item");
      old->del();
    }
    fresh->add();
    if (ownTransaction) {
      ownTransaction = false;
      datastore->commit();
    }
    cacheRecord(upperName(datastore), info);
    return 0;
  } catch (GxException& e) {
    OutputDebugGxException(&e, nullptr, nullptr);
    if (ownTransaction) {
      try {
        datastore->rollback();
      } catch (GxException&) {
        // Already dumped the cause; a failed rollback leaves the store's own recovery.
      }
    }
    return -1;
  }
}

int CleanTaVNcfgInfo(GxDatastoreDVX* datastore) {
  if (datastore == nullptr) return -1;
  try {
    std::unique_ptr<gxCollection> roots = queryRoot(datastore);
    const long n = roots ? roots->count() : 0;
    if (n != 1) {
      OutputDebugStringA("ERROR [CleanTaVNcfgInfo]: None or more than one record found.\n");
      return -1;
    }
    auto* root = dynamic_cast<GxDDO*>(roots->elementAt(0).asObject());
    if (root == nullptr) throw GxException(GX_EXC_BAD_ARGUMENT, "query gave no item");
    root->del();
    cfgInfoCache().Reset();
    return 0;
  } catch (GxException& e) {
    OutputDebugGxException(&e, nullptr, nullptr);
    return -1;
  }
}
