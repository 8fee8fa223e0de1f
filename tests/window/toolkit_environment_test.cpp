#include "window/toolkit_environment.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

namespace {

std::optional<std::string> Get(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::nullopt : std::optional<std::string>(value);
}

TEST(ToolkitEnvironmentTest, EveryVariableReturnsToWhatItWasBeforeTheFirstSet) {
  ::unsetenv("LUMETTA_TEST_ABSENT");
  ::setenv("LUMETTA_TEST_USERS", "users", 1);
  {
    window::ToolkitEnvironment start;
    start.Set("LUMETTA_TEST_ABSENT", "1");
    start.Set("LUMETTA_TEST_USERS", "first");
    start.Set("LUMETTA_TEST_USERS", "second");
    EXPECT_EQ(Get("LUMETTA_TEST_ABSENT"), "1");
    EXPECT_EQ(Get("LUMETTA_TEST_USERS"), "second");
    start.Restore();
    EXPECT_EQ(Get("LUMETTA_TEST_ABSENT"), std::nullopt);
    EXPECT_EQ(Get("LUMETTA_TEST_USERS"), "users");
    // Once restored, a later change of the user's variable is the user's: leaving does not
    // undo it.
    ::setenv("LUMETTA_TEST_USERS", "changed", 1);
  }
  EXPECT_EQ(Get("LUMETTA_TEST_USERS"), "changed");
  {
    window::ToolkitEnvironment start;
    start.Set("LUMETTA_TEST_ABSENT", "1");
  }
  EXPECT_EQ(Get("LUMETTA_TEST_ABSENT"), std::nullopt);
  ::unsetenv("LUMETTA_TEST_USERS");
}

}  // namespace
