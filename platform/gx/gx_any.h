#pragma once
// GxAny: the connector's variant. It holds nothing (null), a text, an integer,
// or a pointer to a collection or a data object. It never owns what it points
// to: a pointer in a GxAny is only a reference (see gxCollection for who owns
// objects placed in a collection).
#include <iosfwd>

#include "platform/gx/gx_export.h"
#include "platform/gx/gx_string.h"

class gxCollection;
class gxDataObjectBase;

class GXBASE_EXPORT GxAny {
 public:
  enum Kind { kNull = 0, kString = 1, kLong = 2, kCollection = 3, kObject = 4 };

  GxAny();  // null
  GxAny(const GxString& s);
  GxAny(const char* s);  // null pointer gives a null GxAny
  GxAny(int n);
  GxAny(long n);
  GxAny(gxCollection* c);       // null pointer gives a null GxAny
  GxAny(gxDataObjectBase* o);   // null pointer gives a null GxAny
  GxAny(const GxAny& other);
  GxAny& operator=(const GxAny& other);
  ~GxAny();

  bool isNull() const;
  Kind kind() const;

  // The held pointer (collection or object) as an untyped pointer; for an
  // object this is its gxDataObjectBase address, so cast it back to
  // gxDataObjectBase* (then dynamic_cast) or static_cast it to the element
  // class a listing documents. Null for null, text and integer values.
  void* value() const;

  // Conversions. Text of an integer is its decimal form; the integer of a
  // text is GxString::asInt. A null value converts to "" and 0.
  // Throws GxException (GX_EXC_BAD_VALUE) when a pointer value is asked for
  // as text or integer, or a text/integer as a pointer; null gives nullptr.
  // `long` and `void*` are explicit so that GxString s(any) stays unambiguous:
  // write (long)any or asLong().
  operator GxString() const;
  explicit operator long() const;
  operator gxCollection*() const;
  operator gxDataObjectBase*() const;
  explicit operator void*() const;
  GxString asString() const;
  long asLong() const;
  gxCollection* asCollection() const;
  gxDataObjectBase* asObject() const;

 private:
  Kind kind_;
  long n_;
  void* p_;
  GxString* s_;  // owned; only for kString
};

// Text and integer values print as their text, null as "(null)", a collection
// as "(collection of N)", an object as "(object)".
GXBASE_EXPORT std::ostream& operator<<(std::ostream& os, const GxAny& a);
