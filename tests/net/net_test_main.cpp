#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

int main(int argc, char** argv) {
  // Every peer of these tests is on loopback inside this process; a proxy named in the
  // environment must not catch the requests.
  setenv("no_proxy", "*", 1);
  setenv("NO_PROXY", "*", 1);
#ifdef LUMETTA_TEST_LOCALE_DIR
  // A decimal-comma C locale built next to the tests, for the number-format checks.
  if (std::filesystem::exists(LUMETTA_TEST_LOCALE_DIR)) setenv("LOCPATH", LUMETTA_TEST_LOCALE_DIR, 1);
#endif
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
