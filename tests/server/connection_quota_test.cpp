#include "server/connection_quota.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

namespace lumetta_test {
namespace {

using lumetta_server::ConnectionQuota;

// Each account, and the accounts not found taken together, hold up to their share; a place
// given back is one more for that account alone.
TEST(ConnectionQuotaTest, EachAccountHoldsItsShareAndGetsBackWhatItGivesUp) {
  constexpr int kShare = 3;
  ConnectionQuota quota(kShare);
  const std::vector<std::optional<uid_t>> accounts = {1000, 0, std::nullopt};
  std::vector<std::optional<ConnectionQuota::Place>> held;
  for (const std::optional<uid_t> account : accounts) {
    for (int count = 0; count < kShare; ++count) {
      held.push_back(quota.Take(account));
      EXPECT_TRUE(*held.back()) << account.value_or(-1) << " place " << count;
    }
    EXPECT_FALSE(quota.Take(account)) << account.value_or(-1);
  }
  EXPECT_TRUE(quota.Take(1001));  // and given back at once

  held.front().reset();  // one of 1000's connections ends
  EXPECT_FALSE(quota.Take(0));
  EXPECT_FALSE(quota.Take(std::nullopt));
  {
    const ConnectionQuota::Place again = quota.Take(1000);
    EXPECT_TRUE(again);
    EXPECT_FALSE(quota.Take(1000));
  }
  // A refused place gives nothing back.
  held.push_back(quota.Take(1000));
  EXPECT_TRUE(*held.back());
  EXPECT_FALSE(quota.Take(1000));
}

}  // namespace
}  // namespace lumetta_test
