#include "net/event_transfer.h"

#include <curl/curl.h>

#include <string>
#include <utility>

#include "net/easy_setup.h"

namespace Code {

struct EventTransfer::State {
  explicit State(Loop loop) : loop(std::move(loop)) {}

  static int OnSocket(CURL*, curl_socket_t fd, int what, void* user, void*) {
    auto* state = static_cast<State*>(user);
    if (state->closing) return 0;
    Watch watch = Watch::kNone;
    if (what == CURL_POLL_IN) watch = Watch::kRead;
    if (what == CURL_POLL_OUT) watch = Watch::kWrite;
    if (what == CURL_POLL_INOUT) watch = Watch::kReadWrite;
    state->loop.watch(fd, watch);
    return 0;
  }
  static int OnTimer(CURLM*, long delay_ms, void* user) {
    auto* state = static_cast<State*>(user);
    if (!state->closing) state->loop.timer(delay_ms);
    return 0;
  }

  // The multi handle and the easy one are made once and kept: a tick then costs the request,
  // not their buffers and wake-up sockets.
  bool Prepare() {
    InitCurlOnce();
    if (multi == nullptr) {
      multi = curl_multi_init();
      if (multi == nullptr) return false;
      curl_multi_setopt(multi, CURLMOPT_SOCKETFUNCTION, OnSocket);
      curl_multi_setopt(multi, CURLMOPT_SOCKETDATA, this);
      curl_multi_setopt(multi, CURLMOPT_TIMERFUNCTION, OnTimer);
      curl_multi_setopt(multi, CURLMOPT_TIMERDATA, this);
    }
    if (!easy) easy.reset(curl_easy_init());
    return easy != nullptr;
  }

  // Takes the easy handle off the multi one and back to its defaults, so nothing points into
  // the finished transfer's setup.
  void Detach() {
    curl_multi_remove_handle(multi, easy.get());
    curl_easy_reset(easy.get());
    setup.reset();
    running = false;
  }

  // Hands on the outcome of a transfer that has ended.
  void Finish() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi, &left)) {
      if (message->msg != CURLMSG_DONE || message->easy_handle != easy.get()) continue;
      TransferOutcome outcome = OutcomeOf(easy.get(), message->data.result, std::move(body));
      body.clear();
      Detach();
      // Last, and from a local: `done` may start the next transfer or end this object.
      const Done finished = std::move(done);
      done = nullptr;
      if (finished) finished(outcome);
      return;
    }
  }

  void Act(curl_socket_t fd, int events) {
    if (!running) return;
    int still_running = 0;
    curl_multi_socket_action(multi, fd, events, &still_running);
    if (still_running == 0) Finish();
  }

  Loop loop;
  CURLM* multi = nullptr;
  EasyHandle easy;
  // What curl reads from while the transfer runs (the POST body is not copied).
  PreparedRequest request;
  std::unique_ptr<EasySetup> setup;
  std::string body;
  Done done;
  bool running = false;
  bool closing = false;
};

EventTransfer::EventTransfer(Loop loop) : state_(std::make_unique<State>(std::move(loop))) {}

EventTransfer::~EventTransfer() {
  // The loop may be on its way out already: curl's farewells to it are not passed on.
  state_->closing = true;
  if (state_->running) state_->Detach();
  state_->easy.reset();
  if (state_->multi != nullptr) curl_multi_cleanup(state_->multi);
}

bool EventTransfer::Start(const PreparedRequest& request, const HttpLimits& limits, Done done) {
  State& state = *state_;
  if (state.running || !state.Prepare()) return false;
  state.request = request;
  state.setup = std::make_unique<EasySetup>();
  state.body.clear();
  if (!state.setup->Configure(state.easy.get(), state.request, limits, &state.body) ||
      curl_multi_add_handle(state.multi, state.easy.get()) != CURLM_OK) {
    curl_easy_reset(state.easy.get());
    state.setup.reset();
    return false;
  }
  state.done = std::move(done);
  state.running = true;
  return true;
}

bool EventTransfer::Busy() const { return state_->running; }

void EventTransfer::Ready(int fd, bool readable, bool writable) {
  state_->Act(fd, (readable ? CURL_CSELECT_IN : 0) | (writable ? CURL_CSELECT_OUT : 0));
}

void EventTransfer::Timeout() { state_->Act(CURL_SOCKET_TIMEOUT, 0); }

}  // namespace Code
