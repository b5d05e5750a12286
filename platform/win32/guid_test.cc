#include "guid.h"

#include <gtest/gtest.h>

#include <map>

#include "com.h"

namespace {

TEST(GuidTest, ParseTable) {
  struct Row {
    const char* text;
    bool ok;
    const char* why;
  };
  const Row rows[] = {
      {"{7F017F97-9257-11D5-87EA-00B0D0BE6479}", true, "upper case"},
      {"{88d969c0-f192-11d4-a65f-0040963251e5}", true, "lower case"},
      {"{88d969C0-F192-11d4-A65f-0040963251E5}", true, "mixed case"},
      {"7F017F97-9257-11D5-87EA-00B0D0BE6479", false, "braces are required"},
      {"{7F017F97-9257-11D5-87EA-00B0D0BE6479", false, "closing brace missing"},
      {"{7F017F97-9257-11D5-87EA-00B0D0BE647}", false, "one digit short"},
      {"{7F017F97-9257-11D5-87EA-00B0D0BE64790}", false, "one digit too many"},
      {"{7F017F97-9257-11D5-87EA00B0D0BE64790}", false, "dash missing"},
      {"{7F017F97-9257-11D5-87EA-00B0D0BE647G}", false, "non-hex digit"},
      {"{7F017F97+9257-11D5-87EA-00B0D0BE6479}", false, "wrong separator"},
      {" {7F017F97-9257-11D5-87EA-00B0D0BE6479}", false, "leading space"},
      {"", false, "empty"},
  };
  for (const Row& r : rows) {
    GUID g = IID_IDispatch;
    EXPECT_EQ(r.ok, parseGuid(r.text, &g)) << r.why << ": " << r.text;
    if (!r.ok) {
      EXPECT_EQ(IID_IDispatch, g) << r.why << ": failure must leave the output alone";
    }
  }
}

TEST(GuidTest, FieldsAndPrinting) {
  GUID g;
  ASSERT_TRUE(parseGuid("{2933bf95-7b36-11d2-b20e-00c04f983e60}", &g));
  EXPECT_EQ(0x2933BF95u, g.Data1);
  EXPECT_EQ(0x7B36, g.Data2);
  EXPECT_EQ(0x11D2, g.Data3);
  EXPECT_EQ(0xB2, g.Data4[0]);
  EXPECT_EQ(0x0E, g.Data4[1]);
  EXPECT_EQ(0x60, g.Data4[7]);
  EXPECT_EQ("{2933BF95-7B36-11D2-B20E-00C04F983E60}", guidToString(g));
  EXPECT_EQ("{00020400-0000-0000-C000-000000000046}", guidToString(IID_IDispatch));
  EXPECT_EQ("{00000000-0000-0000-C000-000000000046}", guidToString(IID_IUnknown));
  EXPECT_EQ("{00000000-0000-0000-0000-000000000000}", guidToString(IID_NULL));

  OLECHAR buf[39];
  EXPECT_EQ(39, StringFromGUID2(g, buf, 39));
  EXPECT_EQ(std::u16string(u"{2933BF95-7B36-11D2-B20E-00C04F983E60}"), std::u16string(buf));
  EXPECT_EQ(0, StringFromGUID2(g, buf, 38)) << "buffer one short";

  CLSID c;
  EXPECT_EQ(NOERROR, CLSIDFromString(u"{2933BF95-7B36-11D2-B20E-00C04F983E60}", &c));
  EXPECT_EQ(g, c);
  EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromString(u"{2933BF95-7B36-11D2-B20E-00C04F983E6\u00e9}", &c));
  EXPECT_EQ(CLSID_NULL, c);
  EXPECT_EQ(CO_E_CLASSSTRING, CLSIDFromString(nullptr, &c));
}

TEST(GuidTest, OrderingAndHashDistinguishEveryField) {
  GUID base;
  ASSERT_TRUE(parseGuid("{11111111-2222-3333-4444-555555555555}", &base));
  std::map<GUID, int> m;
  m[base] = 0;
  for (int field = 0; field < 11; ++field) {
    GUID g = base;
    if (field == 0) g.Data1++;
    if (field == 1) g.Data2++;
    if (field == 2) g.Data3++;
    if (field >= 3) g.Data4[field - 3]++;
    EXPECT_NE(base, g) << "field " << field;
    EXPECT_TRUE(base < g) << "field " << field;
    m[g] = field + 1;
  }
  EXPECT_EQ(12u, m.size());
}

}  // namespace
