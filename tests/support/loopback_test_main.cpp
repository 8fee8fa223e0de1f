#include <gtest/gtest.h>

#include <cstdlib>

int main(int argc, char** argv) {
  // Every peer of these tests is on loopback inside this process; a proxy named in the
  // environment must not catch the requests.
  setenv("no_proxy", "*", 1);
  setenv("NO_PROXY", "*", 1);
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
