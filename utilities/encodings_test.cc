// Key/value and id-list encodings.
#include <random>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "QELUtilities.h"

namespace {

using ::testing::ElementsAreArray;

TEST(EncodeKeyValue, JoinsKeySeparatorValue) {
  struct Row { const char* key; const char* value; const char* sep; const char* want; const char* why; };
  const Row rows[] = {
      {"HostID", "12", "#@#", "HostID#@#12", "configuration record child"},
      {"ZulDB", "", "#@#", "ZulDB#@#", "empty value is kept"},
      {"a", "b", "", "ab", "no checks on the separator"},
      {nullptr, "v", "=", "=v", "null key counts as empty"},
  };
  for (const Row& r : rows) {
    GxString out("old");
    EXPECT_EQ(0, EncodeKeyValue(r.key, r.value, r.sep, out)) << r.why;
    EXPECT_EQ(std::string(r.want), out.str()) << r.why;
  }
}

TEST(DecodeKeyValue, SplitsAtFirstSeparatorOrRejects) {
  struct Row { const char* text; const char* sep; int rc; const char* key; const char* value; const char* why; };
  const Row rows[] = {
      {"HostID#@#12", "#@#", 0, "HostID", "12", "plain pair"},
      {"ZulDB#@#", "#@#", 0, "ZulDB", "", "empty value"},
      {"a#@#b#@#c", "#@#", 0, "a", "b#@#c", "first separator splits"},
      {"#@#x", "#@#", -1, "", "", "empty key"},
      {"ZulDB", "#@#", -1, "", "", "no separator"},
      {"a=b", "", -1, "", "", "empty separator"},
      {"a=b", nullptr, -1, "", "", "null separator"},
      {nullptr, "#@#", -1, "", "", "null text"},
      {"k#@", "#@#", -1, "", "", "separator cut short"},
  };
  for (const Row& r : rows) {
    GxString key("stale"), value("stale");
    EXPECT_EQ(r.rc, DecodeKeyValue(key, value, r.sep, r.text)) << r.why;
    EXPECT_EQ(std::string(r.key), key.str()) << r.why;
    EXPECT_EQ(std::string(r.value), value.str()) << r.why;
  }
}

TEST(EncodeLongArray2Str, WritesCountAndEachIdWithColon) {
  struct Row { std::vector<long> ids; const char* want; };
  const Row rows[] = {
      {{10, 20, 30}, "3::10:20:30:"},
      {{7}, "1::7:"},
      {{}, "0::"},
      {{-1, 0, 4}, "3::-1:0:4:"},
      {{2147483647L, -2147483647L - 1}, "2::2147483647:-2147483648:"},
  };
  for (const Row& r : rows) {
    GxString out;
    EXPECT_EQ(0, EncodeLongArray2Str(out, static_cast<int>(r.ids.size()), r.ids.data()));
    EXPECT_EQ(std::string(r.want), out.str());
  }
}

TEST(EncodeLongArray2Str, RejectsNegativeCountAndNullIdsLeavingOutput) {
  GxString out("keep");
  long one = 1;
  EXPECT_EQ(-1, EncodeLongArray2Str(out, -1, &one));
  EXPECT_EQ("keep", out.str());
  EXPECT_EQ(-1, EncodeLongArray2Str(out, 2, nullptr));
  EXPECT_EQ("keep", out.str());
}

TEST(DecodeStr2LongArray, Table) {
  struct Row { const char* text; int rc; std::vector<long> ids; const char* why; };
  const Row rows[] = {
      {"2::5:6:", 0, {5, 6}, "two ids"},
      {"1::7:", 0, {7}, "one id"},
      {"3::-1:0:4:", 0, {-1, 0, 4}, "negative and zero"},
      {"1::7:8:", 0, {7}, "text after the ids it needs is ignored"},
      {"3::10:20:30:", 0, {10, 20, 30}, "the example list"},
      {"2::5:", -1, {}, "one value short"},
      {"2::5:6", -1, {}, "no final colon"},
      {"0::", -1, {}, "an empty list cannot be read back"},
      {"-1::5:", -1, {}, "negative count"},
      {"x::5:", -1, {}, "no count"},
      {"1:", -1, {}, "nothing after the count"},
      {"1::x:", -1, {}, "id not a number"},
      {"1::7 :", -1, {}, "white space ends the remainder"},
      {"99999999999::1:", -1, {}, "count out of int range"},
      {"2000000000::1:2:", -1, {}, "count larger than the text can hold"},
      {"1::99999999999999999999:", -1, {}, "id out of range"},
  };
  for (const Row& r : rows) {
    int count = 42;
    long* ids = reinterpret_cast<long*>(0x1);
    const int rc = DecodeStr2LongArray(r.text, count, ids);
    EXPECT_EQ(r.rc, rc) << r.why << " [" << r.text << "]";
    if (rc == 0) {
      ASSERT_NE(nullptr, ids) << r.why;
      EXPECT_THAT(std::vector<long>(ids, ids + count), ElementsAreArray(r.ids)) << r.why;
      delete[] ids;
    } else {
      EXPECT_EQ(0, count) << r.why;
      EXPECT_EQ(nullptr, ids) << r.why;
    }
  }
}

TEST(DecodeStr2LongArray, NullOrEmptyTextLeavesOutputsUntouched) {
  for (const char* text : {static_cast<const char*>(nullptr), ""}) {
    int count = 42;
    long sentinel = 0;
    long* ids = &sentinel;
    EXPECT_EQ(-1, DecodeStr2LongArray(text, count, ids));
    EXPECT_EQ(42, count);
    EXPECT_EQ(&sentinel, ids);
  }
}

// Seeded random lists survive an encode/decode round trip.
TEST(IdListEncoding, RoundTripMatchesModel) {
  std::mt19937 rng(20260411);
  std::uniform_int_distribution<int> len(1, 30);
  std::uniform_int_distribution<long> val(-2147483648L, 2147483647L);
  for (int round = 0; round < 300; ++round) {
    std::vector<long> model(static_cast<size_t>(len(rng)));
    for (long& v : model) v = val(rng);
    GxString text;
    ASSERT_EQ(0, EncodeLongArray2Str(text, static_cast<int>(model.size()), model.data()));
    int count = 0;
    long* ids = nullptr;
    ASSERT_EQ(0, DecodeStr2LongArray(text.c_str(), count, ids)) << text.str();
    EXPECT_THAT(std::vector<long>(ids, ids + count), ElementsAreArray(model));
    delete[] ids;
  }
}

}  // namespace
