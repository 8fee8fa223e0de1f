#include "server/connection_quota.h"

#include <utility>

namespace lumetta_server {

ConnectionQuota::Place::Place(Place&& other) noexcept
    : quota_(std::exchange(other.quota_, nullptr)), owner_(other.owner_) {}

ConnectionQuota::Place::~Place() {
  if (quota_ != nullptr) quota_->GiveBack(owner_);
}

ConnectionQuota::Place ConnectionQuota::Take(std::optional<uid_t> owner) {
  std::lock_guard lock(mutex_);
  int& held = held_[owner];
  if (held >= per_account_) {
    if (held == 0) held_.erase(owner);
    return {nullptr, owner};
  }
  ++held;
  return {this, owner};
}

void ConnectionQuota::GiveBack(std::optional<uid_t> owner) {
  std::lock_guard lock(mutex_);
  const auto found = held_.find(owner);
  if (--found->second == 0) held_.erase(found);
}

}  // namespace lumetta_server
