#pragma once

#include <sys/types.h>

#include <map>
#include <mutex>
#include <optional>

namespace lumetta_server {

// How many connections each account holds at once, so that no local client, however many
// connections it opens, takes every one the server serves and leaves none to the panel.
// Connections whose account could not be found count together, as one account.
class ConnectionQuota {
 public:
  explicit ConnectionQuota(int per_account) : per_account_(per_account) {}
  ConnectionQuota(const ConnectionQuota&) = delete;
  ConnectionQuota& operator=(const ConnectionQuota&) = delete;

  // One connection's place, held until it ends; empty (false) when the account held all of
  // its places already.
  class Place {
   public:
    Place(Place&& other) noexcept;
    Place& operator=(Place&&) = delete;
    Place(const Place&) = delete;
    Place& operator=(const Place&) = delete;
    ~Place();

    explicit operator bool() const { return quota_ != nullptr; }

   private:
    friend class ConnectionQuota;
    Place(ConnectionQuota* quota, std::optional<uid_t> owner) : quota_(quota), owner_(owner) {}

    ConnectionQuota* quota_;
    std::optional<uid_t> owner_;
  };

  // A place for a connection of `owner` (nullopt: not found).
  Place Take(std::optional<uid_t> owner);

 private:
  void GiveBack(std::optional<uid_t> owner);

  const int per_account_;
  std::mutex mutex_;
  std::map<std::optional<uid_t>, int> held_;  // accounts holding none are left out
};

}  // namespace lumetta_server
