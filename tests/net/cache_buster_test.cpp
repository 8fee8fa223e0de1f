#include "net/cache_buster.h"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale>
#include <optional>
#include <regex>
#include <set>
#include <sstream>
#include <string>

namespace {

using Code::FormatCacheBustingNumber;
using Code::NewCacheBustingNumber;

// One to nine integer digits, maybe a fraction without trailing zeros, never an exponent.
const std::regex kNumberForm(R"([1-9][0-9]{0,8}(\.[0-9]*[1-9])?)");

size_t SignificantDigits(const std::string& number) {
  return number.size() - (number.find('.') == std::string::npos ? 0 : 1);
}

// One step of a single-precision R in [0, 1), scaled by 1e9: 1e9 / 2^24.
constexpr double kDrawStep = 59.604644775390625;

TEST(CacheBusterTest, FormatKeepsFifteenSignificantDigitsWithoutExponent) {
  EXPECT_EQ(FormatCacheBustingNumber(1), "1");
  EXPECT_EQ(FormatCacheBustingNumber(100.5), "100.5");
  EXPECT_EQ(FormatCacheBustingNumber(0.25), "0.25");
  EXPECT_EQ(FormatCacheBustingNumber(123456789.125), "123456789.125");
  EXPECT_EQ(FormatCacheBustingNumber(123456789.1234567), "123456789.123457");
  EXPECT_EQ(FormatCacheBustingNumber(12345.678901234567), "12345.6789012346");
  EXPECT_EQ(FormatCacheBustingNumber(1000000001), "1000000001");
  // Rounding to fifteen digits carries into a new digit.
  EXPECT_EQ(FormatCacheBustingNumber(999999999.9999999), "1000000000");
  // The smallest and largest draws above zero.
  EXPECT_EQ(FormatCacheBustingNumber(1 * kDrawStep + 1), "60.6046447753906");
  EXPECT_EQ(FormatCacheBustingNumber(16777215 * kDrawStep + 1), "999999941.395355");
}

TEST(CacheBusterTest, FreshNumbersAreSinglePrecisionDrawsInTheGeneralForm) {
  std::set<std::string> seen;
  int nine_digit_integers = 0;
  for (int draw = 0; draw < 200; ++draw) {
    const std::string number = NewCacheBustingNumber();
    ASSERT_TRUE(std::regex_match(number, kNumberForm)) << number;
    ASSERT_LE(SignificantDigits(number), 15u) << number;
    double value = 0;
    std::from_chars(number.data(), number.data() + number.size(), value);
    ASSERT_GE(value, 1);
    ASSERT_LT(value, 1e9 + 1);
    // R * 1e9 + 1 with R a multiple of 2^-24, written to six decimals at most.
    const double steps = std::round((value - 1) / kDrawStep);
    EXPECT_NEAR(steps * kDrawStep + 1, value, 1e-6) << number;
    // Nine integer digits leave room for six fraction digits at most.
    if (number.find('.') == 9 || (number.find('.') == std::string::npos && number.size() == 9)) {
      ++nine_digit_integers;
      EXPECT_LE(number.size(), 16u) << number;
    }
    seen.insert(number);
  }
  EXPECT_GT(nine_digit_integers, 150);  // R >= 0.1 nine times in ten
  EXPECT_GT(seen.size(), 1u);
}

// Puts a decimal-comma locale in force for one test and restores the previous one.
class CommaPoint : public std::numpunct<char> {
 protected:
  char do_decimal_point() const override { return ','; }
};

TEST(CacheBusterTest, AFullStopUnderADecimalCommaCxxLocale) {
  const std::locale previous =
      std::locale::global(std::locale(std::locale::classic(), new CommaPoint));
  std::ostringstream probe;
  probe << 0.5;
  const std::string probed = probe.str();
  const std::string formatted = FormatCacheBustingNumber(123456789.5);
  const std::string fresh = NewCacheBustingNumber();
  std::locale::global(previous);

  ASSERT_EQ(probed, "0,5");  // the locale really was in force
  EXPECT_EQ(formatted, "123456789.5");
  EXPECT_TRUE(std::regex_match(fresh, kNumberForm)) << fresh;
}

// Makes glibc also look for locales in the folder the build fills, for one test only: some
// system libraries read the variable when they load and would keep a copy until exit.
class ExtraLocaleFolder {
 public:
  ExtraLocaleFolder() {
    if (const char* previous = std::getenv("LOCPATH")) previous_ = previous;
#ifdef LUMETTA_TEST_LOCALE_DIR
    setenv("LOCPATH", LUMETTA_TEST_LOCALE_DIR, 1);
#endif
  }
  ~ExtraLocaleFolder() {
    if (previous_) {
      setenv("LOCPATH", previous_->c_str(), 1);
    } else {
      unsetenv("LOCPATH");
    }
  }

 private:
  std::optional<std::string> previous_;
};

TEST(CacheBusterTest, AFullStopUnderADecimalCommaCLocale) {
  const ExtraLocaleFolder folder;
  const std::string previous = std::setlocale(LC_ALL, nullptr);
  const char* chosen = nullptr;
  for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "ru_RU.UTF-8"}) {
    if (std::setlocale(LC_ALL, name) != nullptr) {
      chosen = name;
      break;
    }
  }
  if (chosen == nullptr) {
    GTEST_SKIP() << "no decimal-comma C locale on this machine; the C++ locale test covers it";
  }
  char probe[16];
  std::snprintf(probe, sizeof probe, "%.1f", 0.5);
  const std::string formatted = FormatCacheBustingNumber(123456789.5);
  const std::string fresh = NewCacheBustingNumber();
  std::setlocale(LC_ALL, previous.c_str());

  ASSERT_STREQ(probe, "0,5") << chosen;
  EXPECT_EQ(formatted, "123456789.5");
  EXPECT_TRUE(std::regex_match(fresh, kNumberForm)) << fresh;
}

}  // namespace
