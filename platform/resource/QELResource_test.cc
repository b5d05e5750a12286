#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <stdlib.h>

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "QELResource.h"
#include "bstr.h"
#include "internal/catalog.h"

namespace {

using qel::resource::Catalog;
using qel::resource::languageCode;
using qel::resource::parseCatalog;
using qel::resource::requestedLanguage;

// Every string id the deliverables load, by caller.
const std::vector<unsigned int> kLoadedIds = {
    // DVXlogon error texts
    2055, 2005, 2003, 3937,
    // TaVNdeclare message boxes
    2006, 2007, 2008, 2012, 2013, 2014, 2015, 2016, 2017, 2018, 2019, 2020, 3053, 3084,
    // TaVNaudit entry text
    1300,
    // TaVNshowLinksInfo pieces and formats
    3913, 3914, 3916, 3918, 3919, 3920, 3921,
    // configuration tool, main dialog
    1114, 1115, 1116, 1117, 1118, 1119, 1121, 1138, 1139, 1140, 1141, 1142, 1143, 1144, 1145,
    3018, 3019, 3020, 3021, 3022, 3026, 3027,
    // logon dialog
    1001, 1002, 1103, 1104, 1105, 1120, 3020,
    // records-server registration dialog and its connection helper
    1002, 1004, 1115, 1122, 1132, 1133, 1134, 1135, 1136, 1137, 3014, 3015, 3016, 3017,
    // records-server definitions dialog
    1002, 1004, 1116, 1122, 1127, 1128, 1129, 1130, 1131,
    // content-management information dialog and item-type listing
    1002, 1004, 1118, 1122, 1123, 1124, 3015, 3040, 3041, 3042, 3043, 3044, 3045, 3046, 3047,
    // host application dialog
    1002, 1004, 1117, 1122, 1125, 1126, 1154, 3015, 3023, 3024,
    // filing-mode prompt
    1001, 1002, 1003, 1107, 1108, 1109, 1110, 1111, 2050, 3072,
};

// Texts the callers use as C formats, with the conversions they pass values for.
const std::map<unsigned int, std::vector<std::string>> kFormatTexts = {
    {3914, {"ld"}}, {3916, {"ld", "d"}}, {3918, {"ld", "ld"}}, {3919, {"ld", "d"}}};

// Words that German writes as English does.
const std::vector<unsigned int> kSameInBothLanguages = {1001, 1103, 1118, 3920};

const char* const kLanguages[] = {"en", "de"};

class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = std::string(old);
    if (value == nullptr) {
      unsetenv(name);
    } else {
      setenv(name, value, 1);
    }
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }
  ScopedEnv(const ScopedEnv&) = delete;
  ScopedEnv& operator=(const ScopedEnv&) = delete;

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// Clears every setting the library reads, so that the machine's locale does
// not leak into a test.
class ResourceTest : public ::testing::Test {
 protected:
  ScopedEnv qellang_{"QELLANG", nullptr};
  ScopedEnv lcAll_{"LC_ALL", nullptr};
  ScopedEnv lcMessages_{"LC_MESSAGES", nullptr};
  ScopedEnv lang_{"LANG", nullptr};
  ScopedEnv dir_{"QELRESOURCEDIR", nullptr};
};

Catalog readSourceCatalog(const std::string& lang) {
  std::ifstream in(std::string(QEL_CATALOG_SOURCE_DIR) + "/" + lang + ".txt");
  EXPECT_TRUE(in) << "no catalog " << lang;
  return parseCatalog(in);
}

std::vector<std::string> conversionsOf(const std::string& text) {
  std::vector<std::string> out;
  for (size_t i = text.find('%'); i != std::string::npos; i = text.find('%', i + 1)) {
    size_t end = text.find_first_of("diouxXcspfFeEgGaA%", i + 1);
    out.push_back(text.substr(i + 1, end == std::string::npos ? end : end - i));
    if (end == std::string::npos) break;
    i = end;
  }
  return out;
}

// --- the shipped catalogs ------------------------------------------------------

TEST(ShippedCatalogs, ParseWithoutRejectedLinesAndHoldEveryLoadedId) {
  std::map<std::string, Catalog> catalogs;
  for (const char* lang : kLanguages) {
    catalogs[lang] = readSourceCatalog(lang);
    EXPECT_THAT(catalogs[lang].errors, ::testing::IsEmpty()) << lang;
    for (unsigned int id : kLoadedIds) {
      EXPECT_EQ(1u, catalogs[lang].texts.count(id)) << lang << " lacks " << id;
    }
  }
  std::vector<unsigned int> enIds, deIds;
  for (const auto& [id, text] : catalogs["en"].texts) enIds.push_back(id);
  for (const auto& [id, text] : catalogs["de"].texts) deIds.push_back(id);
  EXPECT_EQ(enIds, deIds) << "both languages must hold the same ids";
}

TEST(ShippedCatalogs, FormatTextsKeepTheirConversionsAndNoOtherTextHasAny) {
  for (const char* lang : kLanguages) {
    for (const auto& [id, text] : readSourceCatalog(lang).texts) {
      auto expected = kFormatTexts.count(id) ? kFormatTexts.at(id) : std::vector<std::string>{};
      EXPECT_EQ(expected, conversionsOf(text)) << lang << " " << id << ": " << text;
    }
  }
}

TEST(ShippedCatalogs, TextsAreCleanUtf8) {
  for (const char* lang : kLanguages) {
    for (const auto& [id, text] : readSourceCatalog(lang).texts) {
      std::u16string wide = utf8ToUtf16(text);
      EXPECT_EQ(std::u16string::npos, wide.find(u'\uFFFD')) << lang << " " << id;
      for (char16_t c : wide) {
        EXPECT_TRUE(c >= 0x20 || c == u'\n') << lang << " " << id << " has control " << int(c);
      }
      EXPECT_NE(' ', text.front()) << lang << " " << id;
    }
  }
}

TEST(ShippedCatalogs, LabelsFollowedByEllipsisDoNotEndInOne) {
  for (const char* lang : kLanguages) {
    Catalog c = readSourceCatalog(lang);
    for (unsigned int id : {1115u, 1116u, 1117u, 1118u, 1143u}) {
      EXPECT_THAT(c.texts[id], ::testing::Not(::testing::EndsWith("."))) << lang << " " << id;
    }
    // Texts that are followed directly by a value end in a blank.
    for (unsigned int id : {3041u, 3042u, 3043u, 3044u, 3045u, 3046u, 3047u}) {
      EXPECT_THAT(c.texts[id], ::testing::EndsWith(": ")) << lang << " " << id;
    }
  }
}

// --- QELLoadString / QELGetLang through the library -----------------------------

TEST_F(ResourceTest, FindsTheInstalledCatalogsWithoutAnySetting) {
  ScopedEnv lang("QELLANG", "en");
  EXPECT_EQ(CString("The user id or password was refused."), QELLoadString(2005));
  EXPECT_EQ(CString("The content-management server is unknown."), QELLoadString(2003));
}

TEST_F(ResourceTest, EveryLoadedIdHasATextInBothLanguagesAndGermanDiffers) {
  std::map<std::string, std::map<unsigned int, std::string>> seen;
  for (const char* lang : kLanguages) {
    ScopedEnv env("QELLANG", lang);
    ASSERT_EQ(CString(lang), QELGetLang());
    for (unsigned int id : kLoadedIds) {
      std::string text = QELLoadString(id).str();
      EXPECT_FALSE(text.empty()) << lang << " " << id;
      EXPECT_THAT(text, ::testing::Not(::testing::StartsWith("[missing text"))) << lang << " " << id;
      seen[lang][id] = text;
    }
  }
  for (unsigned int id : kLoadedIds) {
    bool same = std::find(kSameInBothLanguages.begin(), kSameInBothLanguages.end(), id) !=
                kSameInBothLanguages.end();
    if (same) {
      EXPECT_EQ(seen["en"][id], seen["de"][id]) << id;
    } else {
      EXPECT_NE(seen["en"][id], seen["de"][id]) << id << " is not translated";
    }
  }
}

TEST_F(ResourceTest, GermanNonAsciiTextArrivesAsUtf8) {
  ScopedEnv env("QELLANG", "de");
  EXPECT_EQ(CString("Die Host-ID muss gr\xc3\xb6\xc3\x9f" "er als 0 sein."), QELLoadString(3024));
}

TEST_F(ResourceTest, UnknownIdYieldsAVisiblePlaceholder) {
  for (const char* lang : kLanguages) {
    ScopedEnv env("QELLANG", lang);
    EXPECT_EQ(CString("[missing text 4242]"), QELLoadString(4242)) << lang;
    EXPECT_EQ(CString("[missing text 0]"), QELLoadString(0)) << lang;
    EXPECT_EQ(CString("[missing text 4294967295]"), QELLoadString(UINT_MAX)) << lang;
  }
}

TEST_F(ResourceTest, LanguageComesFromQellangElseTheLocale) {
  struct Row {
    const char* qellang;
    const char* lcAll;
    const char* lcMessages;
    const char* lang;
    const char* expected;
  } rows[] = {
      {nullptr, nullptr, nullptr, nullptr, "en"},               // nothing set
      {"de", nullptr, nullptr, nullptr, "de"},
      {"DE", nullptr, nullptr, nullptr, "de"},
      {"de_DE.UTF-8", nullptr, nullptr, nullptr, "de"},
      {"en", "de_DE.UTF-8", "de_DE", "de_DE", "en"},           // QELLANG wins
      {"fr", nullptr, nullptr, "de_DE", "en"},                  // no French catalog
      {"", nullptr, nullptr, "de_DE.UTF-8", "de"},              // empty QELLANG is unset
      {nullptr, "de_AT.UTF-8", nullptr, "en_US.UTF-8", "de"},   // LC_ALL first
      {nullptr, "C", nullptr, "de_DE.UTF-8", "en"},             // "C" locale means English
      {nullptr, nullptr, "de_CH", "en_GB", "de"},               // LC_MESSAGES before LANG
      {nullptr, "", "", "de_DE@euro", "de"},                    // empty ones are skipped
  };
  for (const Row& r : rows) {
    ScopedEnv a("QELLANG", r.qellang), b("LC_ALL", r.lcAll), c("LC_MESSAGES", r.lcMessages),
        d("LANG", r.lang);
    EXPECT_EQ(CString(r.expected), QELGetLang())
        << (r.qellang ? r.qellang : "-") << " " << (r.lcAll ? r.lcAll : "-") << " "
        << (r.lcMessages ? r.lcMessages : "-") << " " << (r.lang ? r.lang : "-");
    // The texts follow the language reported.
    EXPECT_EQ(std::string(r.expected) == "de" ? CString("Abbrechen") : CString("Cancel"),
              QELLoadString(1002));
  }
}

class CatalogDir : public ResourceTest {
 protected:
  void SetUp() override {
    std::string templ = (std::filesystem::temp_directory_path() / "qelres.XXXXXX").string();
    ASSERT_NE(nullptr, mkdtemp(templ.data()));
    root_ = templ;
  }
  void TearDown() override { std::filesystem::remove_all(root_); }
  void write(const std::string& name, const std::string& content) {
    std::ofstream(root_ / name) << content;
  }
  std::filesystem::path root_;
};

TEST_F(CatalogDir, OverrideFolderWithFallbackToEnglishThenPlaceholder) {
  write("en.txt", "1\tone\n2\ttwo\n");
  write("fr.txt", "1\tun\nbroken line\n3\t\n");
  ScopedEnv dir("QELRESOURCEDIR", root_.c_str());
  ScopedEnv lang("QELLANG", "fr_FR.UTF-8");
  EXPECT_EQ(CString("fr"), QELGetLang());
  EXPECT_EQ(CString("un"), QELLoadString(1));
  EXPECT_EQ(CString("two"), QELLoadString(2)) << "missing in French, taken from English";
  EXPECT_EQ(CString("[missing text 3]"), QELLoadString(3)) << "empty text is rejected";
  ScopedEnv german("QELLANG", "de");
  EXPECT_EQ(CString("en"), QELGetLang()) << "no German catalog in this folder";
  EXPECT_EQ(CString("one"), QELLoadString(1));
}

TEST_F(CatalogDir, NoCatalogAtAllGivesPlaceholdersAndEnglish) {
  const std::string missing = (root_ / "absent").string();
  ScopedEnv dir("QELRESOURCEDIR", missing.c_str());
  ScopedEnv lang("QELLANG", "de");
  EXPECT_EQ(CString("en"), QELGetLang());
  EXPECT_EQ(CString("[missing text 2005]"), QELLoadString(2005));
}

TEST_F(ResourceTest, ConcurrentCallersGetTheSameTexts) {
  ScopedEnv lang("QELLANG", "de");
  std::map<unsigned int, std::string> expected;
  for (unsigned int id : kLoadedIds) expected[id] = QELLoadString(id).str();
  std::vector<std::thread> threads;
  std::vector<int> mismatches(4, 0);
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int round = 0; round < 50; ++round) {
        for (unsigned int id : kLoadedIds) {
          if (QELLoadString(id).str() != expected[id]) ++mismatches[t];
        }
        if (QELGetLang() != CString("de")) ++mismatches[t];
      }
    });
  }
  for (auto& th : threads) th.join();
  EXPECT_THAT(mismatches, ::testing::Each(0));
}

// --- parser and language codes -----------------------------------------------------

TEST(CatalogParser, EntriesEscapesAndRejectedLines) {
  struct Row {
    const char* why;
    std::string input;
    std::map<unsigned int, std::string> texts;
    std::vector<std::string> errors;
  } rows[] = {
      {"plain entry", "1001\tOK\n", {{1001, "OK"}}, {}},
      {"comments and blank lines", "# c\n\n1\ta\n", {{1, "a"}}, {}},
      {"CRLF line ends", "1\ta\r\n2\tb\r\n", {{1, "a"}, {2, "b"}}, {}},
      {"last line without line feed", "1\ta", {{1, "a"}}, {}},
      {"escapes", "1\tx\\ny\\tz\\\\w\\s\n", {{1, "x\ny\tz\\w "}}, {}},
      {"tab inside the text is kept", "1\ta\tb\n", {{1, "a\tb"}}, {}},
      {"blanks inside are kept", "1\t  a  b\n", {{1, "  a  b"}}, {}},
      {"missing tab", "1001 OK\n", {}, {"line 1: expected <id><TAB><text>"}},
      {"empty id", "\tOK\n", {}, {"line 1: expected <id><TAB><text>"}},
      {"id not a number", "12a\tx\n", {}, {"line 1: id is not a number"}},
      {"id beyond 32 bits", "4294967296\tx\n", {}, {"line 1: id out of range"}},
      {"id too long", "12345678901\tx\n", {}, {"line 1: expected <id><TAB><text>"}},
      {"largest id", "4294967295\tx\n", {{4294967295u, "x"}}, {}},
      {"unknown escape", "1\ta\\qb\n", {}, {"line 1: unknown escape \\q"}},
      {"backslash at end", "1\tab\\\n", {}, {"line 1: backslash at end of line"}},
      {"empty text", "1\t\n", {}, {"line 1: empty text"}},
      {"duplicate keeps the first", "1\ta\n2\tb\n1\tc\n", {{1, "a"}, {2, "b"}},
       {"line 3: duplicate id 1"}},
  };
  for (const Row& r : rows) {
    std::istringstream in(r.input);
    Catalog c = parseCatalog(in);
    EXPECT_EQ(r.texts, c.texts) << r.why;
    EXPECT_EQ(r.errors, c.errors) << r.why;
  }
}

TEST(LanguageCodes, PrimaryCodeOfASetting) {
  const std::pair<const char*, const char*> rows[] = {
      {nullptr, ""},      {"", ""},         {"C", ""},          {"POSIX", ""},
      {"C.UTF-8", ""},    {"de", "de"},     {"EN", "en"},       {"de_DE.UTF-8", "de"},
      {"de-AT", "de"},    {"de@euro", "de"}, {"gsw_CH", "gsw"}, {"d3", ""},
      {"deutsch", ""},    {"x", ""},
  };
  for (const auto& [setting, expected] : rows) {
    EXPECT_EQ(expected, languageCode(setting)) << (setting ? setting : "(null)");
  }
  EXPECT_EQ("de", requestedLanguage(nullptr, nullptr, nullptr, "de_DE"));
  EXPECT_EQ("", requestedLanguage("xx1", nullptr, nullptr, "de_DE")) << "QELLANG decides when set";
  EXPECT_EQ("", requestedLanguage(nullptr, nullptr, nullptr, nullptr));
}

}  // namespace
