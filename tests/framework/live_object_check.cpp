// Linked into every framework test: after each test no framework object may
// still be alive. A leak, or an object destroyed twice, shows up as a count
// other than 0 and fails the test that caused it.

#include <gtest/gtest.h>

#include "framework/com_object.h"

namespace {

class LiveObjectCheck : public ::testing::EmptyTestEventListener {
  void OnTestEnd(const ::testing::TestInfo&) override {
    EXPECT_EQ(ObjectsActive(), 0) << "framework objects outlived the test";
  }
};

const bool g_installed = [] {
  ::testing::UnitTest::GetInstance()->listeners().Append(new LiveObjectCheck);
  return true;
}();

}  // namespace
