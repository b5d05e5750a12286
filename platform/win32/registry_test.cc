#include "registry.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <string>

#include "debug_output.h"
#include "environment.h"

namespace {

const char kHelpKey[] = "CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32";

// Reads a REG_SZ through the Win32 calls, as the callers do.
std::string readDefault(HKEY root, const char* subKey, LONG* rc, const char* valueName = nullptr) {
  HKEY key = nullptr;
  *rc = RegOpenKeyExA(root, subKey, 0, KEY_QUERY_VALUE, &key);
  if (*rc != ERROR_SUCCESS) return "";
  char buf[MAX_PATH];
  DWORD size = sizeof buf;
  DWORD type = 0;
  *rc = RegQueryValueExA(key, valueName, nullptr, &type, reinterpret_cast<LPBYTE>(buf), &size);
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
  if (*rc != ERROR_SUCCESS) return "";
  EXPECT_EQ(REG_SZ, type);
  EXPECT_EQ(std::strlen(buf) + 1, size) << "size counts the NUL";
  return buf;
}

// Points QELROOT at a fresh directory with the given registry.conf and
// reloads; restores the environment and the store afterwards.
class RegistryOverlay : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/qelwin-reg-XXXXXX";
    ASSERT_NE(nullptr, mkdtemp(tmpl));
    dir_ = tmpl;
    old_ = qelGetEnv("QELROOT");
  }
  void TearDown() override {
    SetEnvironmentVariableA("QELROOT", old_ ? old_->c_str() : nullptr);
    qelRegistryReload();
    std::remove((dir_ + "/registry.conf").c_str());
    rmdir(dir_.c_str());
  }
  void load(const std::string& text) {
    std::ofstream(dir_ + "/registry.conf") << text;
    SetEnvironmentVariableA("QELROOT", dir_.c_str());
    qelRegistryReload();
  }
  std::string dir_;
  std::optional<std::string> old_;
};

TEST(RegistryTest, DefaultsAnswerTheHelpControl) {
  qelRegistryReload();
  LONG rc;
  EXPECT_EQ("libqelhhctrl.so", readDefault(HKEY_CLASSES_ROOT, kHelpKey, &rc));
  EXPECT_EQ(ERROR_SUCCESS, rc);
  EXPECT_EQ("libqelhhctrl.so",
            readDefault(HKEY_CLASSES_ROOT, "clsid\\{adb880a6-d8ff-11cf-9377-00aa003b7a11}\\INPROCSERVER32", &rc))
      << "key names ignore case";
  EXPECT_EQ("libqelhhctrl.so", readDefault(HKEY_CLASSES_ROOT, kHelpKey, &rc, "")) << "\"\" is the default value";
}

TEST(RegistryTest, ErrorTable) {
  qelRegistryReload();
  HKEY key = nullptr;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_CLASSES_ROOT, kHelpKey, 0, KEY_READ, &key));
  struct Row {
    const char* valueName;
    DWORD bufSize;
    bool withBuffer;
    LONG rc;
    DWORD sizeAfter;
    const char* why;
  };
  const DWORD needed = sizeof("libqelhhctrl.so");
  const Row rows[] = {
      {nullptr, 260, true, ERROR_SUCCESS, needed, "fits"},
      {nullptr, needed, true, ERROR_SUCCESS, needed, "exactly fits with the NUL"},
      {nullptr, needed - 1, true, ERROR_MORE_DATA, needed, "one byte short of the NUL"},
      {nullptr, 0, false, ERROR_SUCCESS, needed, "size query without a buffer"},
      {"NoSuchValue", 260, true, ERROR_FILE_NOT_FOUND, 260, "missing value"},
  };
  for (const Row& r : rows) {
    char buf[260];
    DWORD size = r.bufSize;
    EXPECT_EQ(r.rc, RegQueryValueExA(key, r.valueName, nullptr, nullptr,
                                     r.withBuffer ? reinterpret_cast<LPBYTE>(buf) : nullptr, &size))
        << r.why;
    EXPECT_EQ(r.sizeAfter, size) << r.why;
  }
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(key));
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegCloseKey(key)) << "closed twice";
  char buf[8];
  DWORD size = sizeof buf;
  EXPECT_EQ(ERROR_INVALID_HANDLE, RegQueryValueExA(key, nullptr, nullptr, nullptr, reinterpret_cast<LPBYTE>(buf), &size));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID\\{nothing}", 0, KEY_READ, &key));
  EXPECT_EQ(nullptr, key);
  EXPECT_EQ(ERROR_INVALID_HANDLE,
            RegOpenKeyExA(reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x77)), "CLSID", 0, KEY_READ, &key));
  EXPECT_EQ(ERROR_INVALID_PARAMETER, RegOpenKeyExA(HKEY_CLASSES_ROOT, "CLSID", 0, KEY_READ, nullptr));
  EXPECT_EQ(ERROR_SUCCESS, RegCloseKey(HKEY_CLASSES_ROOT)) << "predefined keys may be closed";
  LONG rc;
  readDefault(HKEY_CLASSES_ROOT, kHelpKey, &rc);
  EXPECT_EQ(ERROR_SUCCESS, rc) << "and stay usable";
}

TEST(RegistryTest, TestApiSetsAndClears) {
  qelRegistryReload();
  ASSERT_TRUE(qelRegistrySetString("HKLM\\Software\\Qel\\Test", "Name", "Grüße"));
  ASSERT_TRUE(qelRegistrySetDword("HKLM\\Software\\Qel\\Test", "Count", 31));
  LONG rc;
  EXPECT_EQ("Grüße", readDefault(HKEY_LOCAL_MACHINE, "Software\\Qel\\Test", &rc, "name"));
  HKEY key;
  ASSERT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Qel\\Test", 0, KEY_READ, &key));
  DWORD value = 0, size = sizeof value, type = 0;
  EXPECT_EQ(ERROR_SUCCESS, RegQueryValueExA(key, "Count", nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size));
  EXPECT_EQ(REG_DWORD, type);
  EXPECT_EQ(31u, value);
  EXPECT_EQ(4u, size);
  HKEY parent;
  EXPECT_EQ(ERROR_SUCCESS, RegOpenKeyExA(HKEY_LOCAL_MACHINE, "Software\\Qel", 0, KEY_READ, &parent))
      << "parents exist";
  RegCloseKey(parent);
  EXPECT_TRUE(qelRegistryDeleteValue("HKLM\\Software\\Qel\\Test", "NAME"));
  EXPECT_FALSE(qelRegistryDeleteValue("HKLM\\Software\\Qel\\Test", "Name"));
  EXPECT_TRUE(qelRegistryDeleteKey("HKLM\\Software\\Qel"));
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegQueryValueExA(key, "Count", nullptr, nullptr, nullptr, &size))
      << "an open handle to a deleted key finds nothing";
  RegCloseKey(key);
  EXPECT_FALSE(qelRegistrySetString("HKXX\\Bad", nullptr, "x")) << "unknown root";
  EXPECT_FALSE(qelRegistryDeleteKey("HKCR")) << "roots cannot be deleted";
  EXPECT_TRUE(qelRegistrySetString("HKCR\\Temp", nullptr, "x"));
  qelRegistryReload();
  EXPECT_EQ(std::nullopt, qelRegistryGetString("HKCR\\Temp", nullptr)) << "reload drops test changes";
}

TEST_F(RegistryOverlay, OverlayAddsReplacesAndDeletes) {
  DebugOutputCapture capture;
  load(
      "# comment\n"
      "; another comment\n"
      "[HKEY_CLASSES_ROOT\\CLSID\\{ADB880A6-D8FF-11CF-9377-00AA003B7A11}\\InprocServer32]\n"
      "@=\"/opt/qel/lib/libother.so\"\n"
      "\n"
      "HKCU\\Software\\Qel\n"
      "\"Quoted\"=\"say \\\"hi\\\" C:\\\\dir\"\n"
      "\"Gone\"=\"x\"\n"
      "\"Gone\"=-\n"
      "\"Hex\"=dword:0000001f\n"
      "\"Broken\"=dword:xyz\n"
      "[HKCR\\Doomed\\Child]\n"
      "@=\"d\"\n"
      "[-HKCR\\Doomed]\n"
      "[HKXX\\Unknown]\n");
  LONG rc;
  EXPECT_EQ("/opt/qel/lib/libother.so", readDefault(HKEY_CLASSES_ROOT, kHelpKey, &rc)) << "overlay replaces a default";
  EXPECT_EQ("say \"hi\" C:\\dir", readDefault(HKEY_CURRENT_USER, "Software\\Qel", &rc, "Quoted"));
  readDefault(HKEY_CURRENT_USER, "Software\\Qel", &rc, "Gone");
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, rc) << "value deleted by a later line";
  EXPECT_EQ(std::nullopt, qelRegistryGetString("HKCR\\Doomed\\Child", nullptr)) << "key deleted with subkeys";
  HKEY key;
  EXPECT_EQ(ERROR_FILE_NOT_FOUND, RegOpenKeyExA(HKEY_CLASSES_ROOT, "Doomed", 0, KEY_READ, &key));
  std::string out = capture.joined();
  EXPECT_NE(std::string::npos, out.find("registry.conf:11: bad dword value")) << out;
  EXPECT_NE(std::string::npos, out.find("registry.conf:15: unknown root key")) << out;
}

TEST_F(RegistryOverlay, MissingFileKeepsDefaults) {
  SetEnvironmentVariableA("QELROOT", dir_.c_str());
  qelRegistryReload();
  LONG rc;
  EXPECT_EQ("libqelhhctrl.so", readDefault(HKEY_CLASSES_ROOT, kHelpKey, &rc));
}

}  // namespace
