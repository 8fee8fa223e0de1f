#include "shell/fetcher.h"

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>
#include <utility>

namespace shell {

using Watch = Code::EventTransfer::Watch;

Fetcher::Fetcher()
    : timer_(std::make_unique<QTimer>()),
      transfer_(Code::EventTransfer::Loop{[this](int fd, Watch watch) { WatchSocket(fd, watch); },
                                          [this](long delay_ms) { SetTimer(delay_ms); }}) {
  timer_->setSingleShot(true);
  QObject::connect(timer_.get(), &QTimer::timeout, timer_.get(), [this] { transfer_.Timeout(); });
}

Fetcher::~Fetcher() = default;

bool Fetcher::Start(const Code::PreparedRequest& request, const std::string& charset, Apply apply) {
  return transfer_.Start(request, Code::HttpLimits{},
                         [charset, apply = std::move(apply)](const Code::TransferOutcome& outcome) {
                           apply(Code::ReplyOf(outcome, charset));
                         });
}

void Fetcher::WatchSocket(int fd, Watch watch) {
  if (watch == Watch::kNone) {
    Unwatch(fd);
    return;
  }
  const bool wanted[2] = {watch == Watch::kRead || watch == Watch::kReadWrite,
                          watch == Watch::kWrite || watch == Watch::kReadWrite};
  std::array<QSocketNotifier*, 2>& pair = notifiers_[fd];
  for (int i = 0; i < 2; ++i) {
    if (pair[i] == nullptr && wanted[i]) pair[i] = Notifier(i == 0, fd);
    if (pair[i] != nullptr) pair[i]->setEnabled(wanted[i]);
  }
}

void Fetcher::Unwatch(int fd) {
  const auto found = notifiers_.find(fd);
  if (found == notifiers_.end()) return;
  for (QSocketNotifier* notifier : found->second) {
    if (notifier == nullptr) continue;
    notifier->setEnabled(false);
  }
  for (int i = 0; i < 2; ++i) {
    if (found->second[i] != nullptr) spare_[i].push_back(found->second[i]);
  }
  notifiers_.erase(found);
}

size_t Fetcher::NotifierCount() const {
  return static_cast<size_t>(timer_->findChildren<QSocketNotifier*>().size());
}

QSocketNotifier* Fetcher::Notifier(bool readable, int fd) {
  std::vector<QSocketNotifier*>& spare = spare_[readable ? 0 : 1];
  if (!spare.empty()) {
    QSocketNotifier* notifier = spare.back();
    spare.pop_back();
    notifier->setSocket(fd);
    return notifier;
  }
  auto* notifier = new QSocketNotifier(
      fd, readable ? QSocketNotifier::Read : QSocketNotifier::Write, timer_.get());
  QObject::connect(notifier, &QSocketNotifier::activated, timer_.get(),
                   [this, readable](QSocketDescriptor socket) {
                     transfer_.Ready(static_cast<int>(static_cast<qintptr>(socket)), readable,
                                     !readable);
                   });
  return notifier;
}

void Fetcher::SetTimer(long delay_ms) {
  if (delay_ms < 0) {
    timer_->stop();
    return;
  }
  timer_->start(static_cast<int>(delay_ms));
}

}  // namespace shell
