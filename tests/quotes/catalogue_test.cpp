#include "quotes/catalogue.h"
#include "settings/settings_schema.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

#include "text/ascii_case.h"

namespace quotes {
namespace {

// Codes are what the settings file stores and the server sends: plain lower-case ASCII, each
// naming one row, found in any letter case and read back from the file as stored.
TEST(CatalogueTest, EveryCodeIsLowerCaseAsciiUniqueAndReadsBackToItself) {
  std::set<std::string_view> codes;
  for (const Product& row : kCatalogue) {
    SCOPED_TRACE(std::string(row.code));
    EXPECT_FALSE(row.code.empty());
    for (const char c : row.code) EXPECT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'));
    EXPECT_TRUE(codes.insert(row.code).second);
    EXPECT_EQ(text::AsciiLower(row.menu_text), row.code);
    EXPECT_EQ(FindProduct(row.code), &row);
    // The menu passes the code in capitals.
    for (const std::string_view stored : {row.code, row.menu_text}) {
      EXPECT_TRUE(IsKnownProductCode(stored));
      const StoredProduct read = ReadStoredProduct(stored);
      EXPECT_EQ(read.code, stored);
      EXPECT_FALSE(read.write_default);
    }
  }
  EXPECT_NE(FindProduct(settings::RuleOf(settings::Key::kPriceType).fallback), nullptr);
}

}  // namespace
}  // namespace quotes
