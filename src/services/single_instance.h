#pragma once

// One panel per folder. Two panels started from one folder would both write its System.ini,
// each from its own state, and the later write would silently undo the other's choices. The
// first start therefore holds a name of its folder, a Unix-domain socket; a later start finds
// the name taken, sends the holder its request (show yourself, or hide or show at once) and
// ends.
// The socket is a file in the user's runtime folder ($XDG_RUNTIME_DIR/lumetta, which only the
// user may enter), so no other user can take the name first. Only where that folder is
// missing or cannot be trusted is it a name in the abstract namespace, which any local user
// could bind. A socket file left by a panel that was killed is taken over by the next start.

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace services {

// The requests a later start sends, one byte each. A plain start asks the panel to show
// itself; `--toggle` asks it to go out of sight when shown and to come back when hidden.
inline constexpr char kShowRequest = 'S';
inline constexpr char kToggleRequest = 'T';

// The key of the panel that writes `settings_file`: the file's real path, so that a folder
// reached through a symbolic link, "..", or a settings file that is itself a link gives the
// key of the panel that really writes that file.
std::string InstanceKey(std::string_view settings_file);

// The user at the other end of a Unix-domain connection, as the kernel recorded it when the
// connection was made; nullopt when it cannot be told.
std::optional<uid_t> PeerUser(int connection);

class SingleInstance {
 public:
  // Tells who is at the other end of each connection, both of the calls a holder hears and of
  // the holder a start calls: PeerUser, or in tests a stand-in for another user.
  using PeerUserCall = std::optional<uid_t> (*)(int connection);

  enum class State {
    kFirst,    // we hold the name and listen for later starts
    kRunning,  // a panel of ours holds it and was sent the request: end now
    // The name could not be held, or its holder does not answer as a panel of this user
    // does: run unguarded, as before there was a guard, rather than not at all.
    kAlone,
  };

  // Takes the name of `key` or, when a panel of this user holds it, sends it `request`.
  // `runtime_folder` is the user's runtime folder ($XDG_RUNTIME_DIR), empty when unset.
  SingleInstance(std::string_view key, std::string_view runtime_folder, char request = kShowRequest,
                 PeerUserCall peer_user = PeerUser);
  ~SingleInstance();
  SingleInstance(const SingleInstance&) = delete;
  SingleInstance& operator=(const SingleInstance&) = delete;

  State state() const { return state_; }
  // The listening socket while kFirst (non-blocking, close-on-exec), else -1. It turns
  // readable when a later start calls.
  int listen_descriptor() const { return listen_fd_; }

  // A waiting later start's connection (non-blocking, close-on-exec; the caller closes it),
  // or -1 when none waits or none can be taken; `out_of_descriptors`, when given, then says
  // whether the process or the system had no descriptor left for it. Calls from another
  // user's processes are closed unheard.
  int Accept(bool* out_of_descriptors = nullptr) const;

 private:
  PeerUserCall peer_user_;
  State state_ = State::kAlone;
  int listen_fd_ = -1;
  std::string socket_file_;  // removed at the end when the name is a file
};

// The request on an accepted connection once it is readable; nullopt when the caller closed
// without one. The caller closes the connection either way.
std::optional<char> ReadRequest(int connection);

}  // namespace services
