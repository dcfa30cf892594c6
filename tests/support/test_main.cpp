// Test entry: the whole process runs inside a sandbox, so a test that does not
// use the fixture still never reaches the real user's folders.
#include <gtest/gtest.h>

#include "tests/support/sandbox.h"

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  testsupport::Sandbox processSandbox;
  return RUN_ALL_TESTS();
}
