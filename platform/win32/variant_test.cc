#include "variant.h"

#include <gtest/gtest.h>

#include <cmath>

#include "com.h"

namespace {

// Counts live references so a test can see VariantClear/VariantCopy at work.
class Counted : public ComObject<IDispatch> {
 public:
  explicit Counted(int* live) : live_(live) { ++*live_; }
  ~Counted() override { --*live_; }
  HRESULT GetTypeInfoCount(UINT* n) override {
    *n = 0;
    return S_OK;
  }
  HRESULT GetTypeInfo(UINT, LCID, void**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return DISP_E_UNKNOWNNAME; }
  HRESULT Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) override {
    return DISP_E_MEMBERNOTFOUND;
  }

 private:
  int* live_;
};

TEST(VariantTest, TagsAndBoolValuesHaveWireValues) {
  EXPECT_EQ(-1, VARIANT_TRUE) << "VARIANT_TRUE is all bits set, not 1";
  EXPECT_EQ(0, VARIANT_FALSE);
  EXPECT_EQ(0, VT_EMPTY);
  EXPECT_EQ(3, VT_I4);
  EXPECT_EQ(7, VT_DATE);
  EXPECT_EQ(8, VT_BSTR);
  EXPECT_EQ(9, VT_DISPATCH);
  EXPECT_EQ(11, VT_BOOL);
  EXPECT_EQ(13, VT_UNKNOWN);
  EXPECT_EQ(22, VT_INT);
  EXPECT_EQ(0x4000, VT_BYREF);
}

TEST(VariantTest, InitClearAndCopyOwnership) {
  VARIANT v;
  std::memset(&v, 0xAB, sizeof v);
  VariantInit(&v);
  EXPECT_EQ(VT_EMPTY, v.vt);

  v.vt = VT_BSTR;
  v.bstrVal = SysAllocString(u"text");
  VARIANT c;
  VariantInit(&c);
  ASSERT_EQ(S_OK, VariantCopy(&c, &v));
  EXPECT_NE(v.bstrVal, c.bstrVal) << "a copy owns its own string";
  EXPECT_EQ(std::u16string(u"text"), std::u16string(c.bstrVal));
  EXPECT_EQ(S_OK, VariantClear(&v));  // ASan reports a leak or double free if ownership is wrong
  EXPECT_EQ(VT_EMPTY, v.vt);
  EXPECT_EQ(S_OK, VariantClear(&c));

  int live = 0;
  VARIANT d;
  VariantInit(&d);
  ASSERT_EQ(S_OK, qelCreateInstance<Counted>(IID_IDispatch, reinterpret_cast<void**>(&d.pdispVal), &live));
  d.vt = VT_DISPATCH;
  EXPECT_EQ(1, live);
  VARIANT e;
  VariantInit(&e);
  ASSERT_EQ(S_OK, VariantCopy(&e, &d));
  EXPECT_EQ(S_OK, VariantClear(&d));
  EXPECT_EQ(1, live) << "the copy still holds a reference";
  EXPECT_EQ(S_OK, VariantClear(&e));
  EXPECT_EQ(0, live) << "VariantClear released the last reference";

  VARIANT bad;
  VariantInit(&bad);
  bad.vt = 0x0FFE;
  EXPECT_EQ(DISP_E_BADVARTYPE, VariantClear(&bad));
  EXPECT_EQ(E_INVALIDARG, VariantClear(nullptr));

  LONG target = 5;
  VARIANT ref;
  VariantInit(&ref);
  ref.vt = VT_I4 | VT_BYREF;
  ref.plVal = &target;
  EXPECT_EQ(S_OK, VariantClear(&ref)) << "by-reference values are not owned";
  EXPECT_EQ(5, target);
}

VARIANT makeI4(LONG v) {
  VARIANT r;
  VariantInit(&r);
  r.vt = VT_I4;
  r.lVal = v;
  return r;
}

VARIANT makeBstr(const char16_t* s) {
  VARIANT r;
  VariantInit(&r);
  r.vt = VT_BSTR;
  r.bstrVal = SysAllocString(s);
  return r;
}

TEST(VariantTest, ChangeTypeTable) {
  struct Row {
    VARIANT src;
    VARTYPE to;
    HRESULT hr;
    const char16_t* text;  // expected BSTR text when `to` is VT_BSTR
    double number;         // expected value otherwise
    const char* why;
  };
  VARIANT t = makeI4(0);
  t.vt = VT_BOOL;
  t.boolVal = VARIANT_TRUE;
  VARIANT r8;
  VariantInit(&r8);
  r8.vt = VT_R8;
  r8.dblVal = 2.5;
  VARIANT r8b = r8;
  r8b.dblVal = 3.5;
  VARIANT big = r8;
  big.dblVal = 3e9;
  VARIANT empty;
  VariantInit(&empty);
  VARIANT null;
  VariantInit(&null);
  null.vt = VT_NULL;
  Row rows[] = {
      {makeI4(42), VT_BSTR, S_OK, u"42", 0, "integer prints in decimal"},
      {makeI4(-7), VT_INT, S_OK, nullptr, -7, "VT_I4 to VT_INT keeps the value"},
      {makeBstr(u" 123 "), VT_I4, S_OK, nullptr, 123, "text with blanks parses"},
      {makeBstr(u"12x"), VT_I4, DISP_E_TYPEMISMATCH, nullptr, 0, "trailing garbage"},
      {makeBstr(u""), VT_I4, DISP_E_TYPEMISMATCH, nullptr, 0, "empty text is no number"},
      {makeBstr(u"70000"), VT_I2, DISP_E_OVERFLOW, nullptr, 0, "out of VT_I2 range"},
      {makeBstr(u"-1"), VT_UI4, DISP_E_OVERFLOW, nullptr, 0, "negative into unsigned"},
      {makeBstr(u"1.5e3"), VT_R8, S_OK, nullptr, 1500, "exponent form"},
      {makeBstr(u"TRUE"), VT_BOOL, S_OK, nullptr, VARIANT_TRUE, "boolean text, any case"},
      {makeBstr(u"0"), VT_BOOL, S_OK, nullptr, VARIANT_FALSE, "zero is false"},
      {t, VT_I4, S_OK, nullptr, -1, "true converts to -1"},
      {t, VT_BSTR, S_OK, u"-1", 0, "true prints as -1 without VARIANT_ALPHABOOL"},
      {r8, VT_I4, S_OK, nullptr, 2, "2.5 rounds half to even"},
      {r8b, VT_I4, S_OK, nullptr, 4, "3.5 rounds half to even"},
      {big, VT_I4, DISP_E_OVERFLOW, nullptr, 0, "3e9 does not fit 32 bits"},
      {r8, VT_BSTR, S_OK, u"2.5", 0, "double prints shortest"},
      {empty, VT_I4, S_OK, nullptr, 0, "empty is zero"},
      {empty, VT_BSTR, S_OK, u"", 0, "empty is the empty string"},
      {null, VT_I4, DISP_E_TYPEMISMATCH, nullptr, 0, "null has no value"},
  };
  for (Row& r : rows) {
    VARIANT out;
    VariantInit(&out);
    HRESULT hr = VariantChangeType(&out, &r.src, 0, r.to);
    EXPECT_EQ(r.hr, hr) << r.why;
    if (SUCCEEDED(hr) && SUCCEEDED(r.hr)) {
      EXPECT_EQ(r.to, out.vt) << r.why;
      if (r.to == VT_BSTR) {
        EXPECT_EQ(std::u16string(r.text), std::u16string(out.bstrVal, SysStringLen(out.bstrVal))) << r.why;
      } else {
        VARIANT asR8;
        VariantInit(&asR8);
        ASSERT_EQ(S_OK, VariantChangeType(&asR8, &out, 0, VT_R8)) << r.why;
        EXPECT_EQ(r.number, asR8.dblVal) << r.why;
      }
    } else {
      EXPECT_EQ(VT_EMPTY, out.vt) << r.why << ": failure leaves dest unchanged";
    }
    VariantClear(&out);
    VariantClear(&r.src);
  }
}

TEST(VariantTest, ChangeTypeInPlaceAndAlphaBool) {
  VARIANT v = makeBstr(u"17");
  ASSERT_EQ(S_OK, VariantChangeType(&v, &v, 0, VT_I4)) << "dest may be src; the old BSTR is freed";
  EXPECT_EQ(VT_I4, v.vt);
  EXPECT_EQ(17, v.lVal);
  VARIANT b;
  VariantInit(&b);
  b.vt = VT_BOOL;
  b.boolVal = VARIANT_FALSE;
  ASSERT_EQ(S_OK, VariantChangeType(&b, &b, VARIANT_ALPHABOOL, VT_BSTR));
  EXPECT_EQ(std::u16string(u"False"), std::u16string(b.bstrVal));
  VariantClear(&b);

  LONG target = 99;
  VARIANT ref;
  VariantInit(&ref);
  ref.vt = VT_I4 | VT_BYREF;
  ref.plVal = &target;
  VARIANT out;
  VariantInit(&out);
  ASSERT_EQ(S_OK, VariantChangeType(&out, &ref, 0, VT_BSTR)) << "by-reference source is dereferenced";
  EXPECT_EQ(std::u16string(u"99"), std::u16string(out.bstrVal));
  VariantClear(&out);
}

}  // namespace
