#include "services/single_instance.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "services/connect_within.h"

namespace services {
namespace {

// A holder is between bind and listen for a moment only; one that stays unreachable longer
// is not a panel of ours.
constexpr int kAttempts = 40;
constexpr std::chrono::milliseconds kPause{25};
// A hung panel must not hang the start that calls it.
constexpr std::chrono::milliseconds kCallTimeout{1000};

// FNV-1a: a fixed-length name whatever the folder's length (abstract names end at 107 bytes),
// and the same one from every build of the program.
std::uint64_t NameHash(std::string_view key) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (const char c : key) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ULL;
  }
  return hash;
}

// $XDG_RUNTIME_DIR/lumetta, made if missing; empty when there is no runtime folder or it
// could be reached by another user, who could then put a socket of their own on the name.
std::string PrivateFolder(std::string_view runtime_folder) {
  if (runtime_folder.empty() || runtime_folder.front() != '/') return {};
  const uid_t user = ::geteuid();
  struct stat info {};
  const std::string runtime(runtime_folder);
  if (::stat(runtime.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != user ||
      (info.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
    return {};
  }
  std::string folder = runtime + "/lumetta";
  if (::mkdir(folder.c_str(), S_IRWXU) != 0 && errno != EEXIST) return {};
  // Not a link, and a folder of this user that nobody else may enter.
  if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != user) {
    return {};
  }
  if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0 && ::chmod(folder.c_str(), S_IRWXU) != 0) return {};
  return folder;
}

struct SocketName {
  sockaddr_un address{};
  socklen_t length = 0;
  std::string file;  // the socket's path, empty for an abstract name
  std::string lock;  // the file whose lock is held while the name is taken over
};

SocketName NameOf(std::string_view key, const std::string& folder) {
  char hash[17];
  std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(NameHash(key)));
  SocketName name;
  name.address.sun_family = AF_UNIX;
  const std::string file = folder + "/" + hash + ".sock";
  if (!folder.empty() && file.size() < sizeof name.address.sun_path) {
    std::memcpy(name.address.sun_path, file.data(), file.size());
    name.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + file.size() + 1);
    name.file = file;
    name.lock = folder + "/" + hash + ".lock";
    return name;
  }
  // The user is part of an abstract name: those are shared by every user of the machine, and
  // one user's panels must not stand in the way of another's.
  char text[64];
  const int size = std::snprintf(text, sizeof text, "lumetta-panel/%u/%s",
                                 static_cast<unsigned>(::geteuid()), hash);
  // sun_path[0] stays NUL: the abstract namespace, nothing on disk.
  std::memcpy(name.address.sun_path + 1, text, static_cast<std::size_t>(size));
  name.length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + size);
  return name;
}

// Held while a start binds or takes over a socket file: a start that finds the file refusing
// calls then knows it is stale, not a holder between bind and listen, and no two starts both
// remove it.
class TakeOverLock {
 public:
  explicit TakeOverLock(const std::string& file)
      : fd_(file.empty() ? -1
                         : ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW,
                                  S_IRUSR | S_IWUSR)) {}
  ~TakeOverLock() {
    if (fd_ >= 0) ::close(fd_);
  }
  TakeOverLock(const TakeOverLock&) = delete;
  TakeOverLock& operator=(const TakeOverLock&) = delete;

  // Takes the lock if free; true once held.
  bool Take() {
    if (fd_ >= 0 && !held_) held_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    return held_;
  }

 private:
  int fd_;
  bool held_ = false;
};

const sockaddr* AsAddress(const SocketName& name) {
  return reinterpret_cast<const sockaddr*>(&name.address);
}

bool PeerIsUs(int connection, SingleInstance::PeerUserCall peer_user) {
  return peer_user(connection) == ::geteuid();
}

enum class Call { kDelivered, kRefused, kUnanswered };

Call CallHolder(const SocketName& name, char request, SingleInstance::PeerUserCall peer_user) {
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return Call::kUnanswered;
  Call result = Call::kRefused;
  if (const int error = ConnectWithin(fd, AsAddress(name), name.length, kCallTimeout); error != 0) {
    // Refused: the holder has not listened yet or has just ended. A queue that stays full
    // (its length is the system's maximum) is no panel of ours but someone sitting on the
    // name, as is a holder of another user: neither may keep the panel from starting. A
    // signal is neither: taken for a refusal, it would start a second panel.
    if (error != ECONNREFUSED) result = Call::kUnanswered;
  } else if (!PeerIsUs(fd, peer_user)) {
    result = Call::kUnanswered;
  } else if (::send(fd, &request, 1, MSG_NOSIGNAL) == 1) {
    result = Call::kDelivered;
  }
  ::close(fd);
  return result;
}

}  // namespace

std::optional<uid_t> PeerUser(int connection) {
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (::getsockopt(connection, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) {
    return std::nullopt;
  }
  return credentials.uid;
}

std::string InstanceKey(std::string_view settings_file) {
  const std::filesystem::path file(settings_file);
  // The file need not exist yet: the existing part of the path is resolved, the rest kept.
  std::error_code error;
  const std::filesystem::path real = std::filesystem::weakly_canonical(file, error);
  return error ? file.lexically_normal().string() : real.string();
}

SingleInstance::SingleInstance(std::string_view key, std::string_view runtime_folder, char request,
                               PeerUserCall peer_user)
    : peer_user_(peer_user) {
  const SocketName name = NameOf(key, PrivateFolder(runtime_folder));
  TakeOverLock lock(name.lock);
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    if (attempt > 0) std::this_thread::sleep_for(kPause);
    // Another start is binding or taking over the file: it is about to answer.
    if (!name.file.empty() && !lock.Take()) continue;
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return;
    if (::bind(fd, AsAddress(name), name.length) == 0) {
      if (::listen(fd, SOMAXCONN) != 0) {
        ::close(fd);
        return;
      }
      listen_fd_ = fd;
      socket_file_ = name.file;
      state_ = State::kFirst;
      return;
    }
    const int bind_error = errno;
    ::close(fd);
    if (bind_error != EADDRINUSE) return;
    switch (CallHolder(name, request, peer_user_)) {
      case Call::kDelivered:
        state_ = State::kRunning;
        return;
      case Call::kUnanswered:
        return;
      case Call::kRefused:
        // A file nobody listens on, while we hold the lock, was left by a panel that was
        // killed: it must not keep the next one from starting.
        if (!name.file.empty()) ::unlink(name.file.c_str());
        break;
    }
  }
}

SingleInstance::~SingleInstance() {
  if (listen_fd_ < 0) return;
  if (!socket_file_.empty()) ::unlink(socket_file_.c_str());
  ::close(listen_fd_);
}

int SingleInstance::Accept(bool* out_of_descriptors) const {
  if (out_of_descriptors != nullptr) *out_of_descriptors = false;
  if (listen_fd_ < 0) return -1;
  for (;;) {
    const int connection = ::accept4(listen_fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (connection < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      if (out_of_descriptors != nullptr) {
        *out_of_descriptors =
            errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM;
      }
      return -1;
    }
    if (PeerIsUs(connection, peer_user_)) return connection;
    ::close(connection);
  }
}

std::optional<char> ReadRequest(int connection) {
  char request = 0;
  ssize_t size = 0;
  do {
    size = ::read(connection, &request, 1);
  } while (size < 0 && errno == EINTR);
  if (size != 1) return std::nullopt;
  return request;
}

}  // namespace services
