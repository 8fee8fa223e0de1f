#include "net/cookie_limits.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <ostream>
#include <string>
#include <vector>

namespace {

using Code::CookiesToKeep;

std::string Line(const std::string& domain, const std::string& name, std::size_t value_bytes) {
  std::string line = domain;
  line += "\tFALSE\t/\tFALSE\t0\t";
  line += name;
  line += '\t';
  line.append(value_bytes, 'v');
  return line;
}

// `count` cookies named c0, c1, ..., spread over `domains` in turn.
std::vector<std::string> Cookies(const std::vector<std::string>& domains, std::size_t count,
                                 std::size_t value_bytes) {
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < count; ++i) {
    std::string name = "c";
    name += std::to_string(i);
    lines.push_back(Line(domains[i % domains.size()], name, value_bytes));
  }
  return lines;
}

struct BoundCase {
  const char* name;
  std::vector<std::string> listing;
  std::size_t kept;  // the first this many of the listing
};
void PrintTo(const BoundCase& bound_case, std::ostream* out) { *out << bound_case.name; }

class CookieBoundTest : public ::testing::TestWithParam<BoundCase> {};

TEST_P(CookieBoundTest, CookiesPastTheBoundAreRefused) {
  const std::vector<std::string>& listing = GetParam().listing;
  const std::vector<std::string> first(listing.begin(), listing.begin() + GetParam().kept);
  EXPECT_EQ(CookiesToKeep(listing, {}), first);
}

// A line of host "h00".."h19" with a 4000-byte value is about 4,023 bytes: 16 fit 64 KiB.
INSTANTIATE_TEST_SUITE_P(
    Bounds, CookieBoundTest,
    ::testing::Values(BoundCase{"FiftyPerHostHoweverSpelt",
                                Cookies({"a.test", ".A.test", "#HttpOnly_a.test"}, 60, 10), 50},
                      BoundCase{"OneHundredFiftyInAll",
                                Cookies({"a.test", "b.test", "c.test", "d.test"}, 200, 10), 150},
                      BoundCase{"SixtyFourKiBInAll",
                                Cookies({"h00", "h01", "h02", "h03", "h04", "h05", "h06",
                                         "h07", "h08", "h09", "h10", "h11", "h12", "h13",
                                         "h14", "h15", "h16", "h17", "h18", "h19"},
                                        20, 4000),
                                16},
                      BoundCase{"AllThatFit", Cookies({"a.test"}, 50, 1000), 50}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CookieLimitsTest, ACookieOver4096BytesIsDroppedAndSoIsALineThatIsNotACookie) {
  const std::vector<std::string> listing = {Line("a.test", "n", 4095), Line("a.test", "m", 4096),
                                            "a.test\tFALSE\t/", Line("a.test", "x", 1) + "\tmore",
                                            Line("a.test", "o", 0)};
  EXPECT_EQ(CookiesToKeep(listing, {}), (std::vector<std::string>{listing[0], listing[4]}));
}

TEST(CookieLimitsTest, CookiesKeptEarlierComeFirstWithTheirNewValue) {
  std::vector<std::string> listing = Cookies({"a.test"}, 50, 5);
  listing.push_back(Line("a.test", "CountId", 6));
  const std::vector<std::string> kept = CookiesToKeep(listing, {Line("a.test", "CountId", 5)});
  ASSERT_EQ(kept.size(), 50u);
  EXPECT_EQ(kept.front(), listing.back());
  EXPECT_EQ(kept.back(), listing[48]);
}

}  // namespace
