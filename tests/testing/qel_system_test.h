#pragma once
// QelSystemTest: a GoogleTest fixture with one QelTestSystem per test suite
// (started in SetUpTestSuite, stopped in TearDownTestSuite). After every test
// the configuration record is stored again as the fixture made it, so a test
// may change it freely. Derive a suite from it:
//
//   class DeclareE2e : public QelSystemTest {};
//   TEST_F(DeclareE2e, ...) { auto ds = sys().connect("alice", QelTestSystem::kAlicePw); ... }
#include <gtest/gtest.h>

#include "qel_test_system.h"

class QelSystemTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { system_ = new QelTestSystem(); }
  static void TearDownTestSuite() {
    delete system_;
    system_ = nullptr;
  }
  void TearDown() override {
    if (system_ != nullptr) system_->restoreConfig();
  }

  static QelTestSystem& sys() { return *system_; }

 private:
  static inline QelTestSystem* system_ = nullptr;
};
