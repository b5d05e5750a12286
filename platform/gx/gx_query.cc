// GxDatastoreDVX::query: the query subset compiled to parameterised SQL.
#include <string>

#include "platform/gx/gx_datastore_dvx.h"
#include "platform/gx/gx_ddo.h"
#include "platform/gx/internal/datastore_impl.h"
#include "platform/gx/internal/fault_point.h"
#include "platform/gx/internal/gx_throw.h"
#include "platform/gx/internal/query_parser.h"
#include "platform/gx/internal/sqlite_util.h"

using namespace gx_internal;

namespace {

long maxResults(GxNVPair* options) {
  long max = 0;
  if (!options) return max;
  for (int k = 0;; ++k) {
    // A missing "End" would run off the array; stop at a sane bound instead.
    if (k >= 64) GX_THROW(GX_EXC_BAD_QUERY, "query options: no closing pair named \"End\"");
    const GxString& name = options[k].getName();
    if (name == "End") break;
    if (name == "MAX_RESULTS") {
      const GxAny& v = options[k].getValue();
      if (v.kind() != GxAny::kString && v.kind() != GxAny::kLong)
        GX_THROW(GX_EXC_BAD_QUERY, "query option MAX_RESULTS needs a number");
      max = v.asLong();
      if (max < 0) GX_THROW(GX_EXC_BAD_QUERY, "query option MAX_RESULTS may not be negative");
    } else if (name == "RETRIEVE_OPTION") {
      // Attributes are always retrieved.
    } else {
      GX_THROW(GX_EXC_BAD_QUERY, "unknown query option '" + name.str() + "'");
    }
  }
  return max;
}

}  // namespace

GxAny GxDatastoreDVX::query(const GxString& queryText, short queryLanguage, GxNVPair* options) {
  faultPoint(GxFaultOp::kQuery);
  impl_->requireConnected();
  if (queryLanguage != GX_QUERY_LANG_DVX)
    GX_THROW(GX_EXC_BAD_QUERY, "query language " + std::to_string(queryLanguage) + " is not supported (only 7)");
  const long max = maxResults(options);
  ParsedQuery q = parseQuery(queryText.str());

  TypeRef type, child;
  if (!q.anyType) {
    type = impl_->catalog.root(impl_->db, q.type);
    if (!type) GX_THROW(GX_EXC_UNKNOWN_ITEM_TYPE, "query: unknown item type '" + q.type + "'");
    if (type->attrIndex(q.attr) < 0)
      GX_THROW(GX_EXC_UNKNOWN_ATTRIBUTE, "query: item type " + q.type + " has no attribute '" + q.attr + "'");
    if (!q.child.empty()) {
      child = impl_->catalog.child(impl_->db, q.type, q.child);
      if (!child)
        GX_THROW(GX_EXC_UNKNOWN_ITEM_TYPE, "query: item type " + q.type + " has no child component '" + q.child + "'");
    }
  }

  std::string match = "SELECT i.id FROM items i JOIN item_values v ON v.item_id = i.id WHERE v.attr = ?1";
  if (type) match += " AND i.type_id = ?2";
  match += q.like ? " AND v.val LIKE ?3" : " AND v.val = ?3";
  std::string sql;
  if (child) {
    sql = "SELECT c.id, c.type_id, c.version, c.checked_out_by FROM items c WHERE c.type_id = ?4 AND "
          "c.parent_id IN (" + match + ") ORDER BY c.parent_id, c.seq, c.id";
  } else {
    sql = "SELECT i.id, i.type_id, i.version, i.checked_out_by FROM items i JOIN item_values v "
          "ON v.item_id = i.id WHERE v.attr = ?1";
    if (type) sql += " AND i.type_id = ?2";
    sql += q.like ? " AND v.val LIKE ?3" : " AND v.val = ?3";
    sql += " ORDER BY i.id";
  }
  if (max > 0) sql += " LIMIT ?5";

  Stmt s(impl_->db, sql.c_str());
  s.bind(1, q.attr);
  if (type) s.bind(2, type->id);
  s.bind(3, q.value);
  if (child) s.bind(4, child->id);
  if (max > 0) s.bind(5, static_cast<int64_t>(max));

  gxCollection* result = new gxCollection;
  try {
    Stmt vals(impl_->db, "SELECT attr, val FROM item_values WHERE item_id = ?");
    while (s.step()) {
      GxDDO* d = new GxDDO;
      result->addElement(GxAny(static_cast<gxDataObjectBase*>(d)));
      GxDDOImpl* i = ddoImpl(d);
      i->ds = this;
      i->type = impl_->catalog.byId(impl_->db, s.i64(1));
      i->id = s.i64(0);
      i->version = s.i64(2);
      i->stored = true;
      i->checkedOutBy = s.isNull(3) ? "" : s.text(3);
      i->contentLoaded = false;
      i->values.assign(i->type->attrs.size(), std::nullopt);
      vals.reset();
      vals.bind(1, i->id);
      while (vals.step()) {
        int a = i->type->attrIndex(vals.text(0));
        if (a >= 0) i->values[static_cast<size_t>(a)] = vals.text(1);
      }
    }
  } catch (...) {
    delete result;
    throw;
  }
  return GxAny(result);
}
