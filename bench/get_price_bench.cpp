// One quote fetch, Mini::GetPrice (address, request with our headers driven by the UI thread's
// event loop, decoding, look-up, label and tooltip update), beside a bare libcurl GET of the
// same quote address (its own easy handle per call, no headers of ours, no decoding). The
// processor time reported is the calling thread's: the UI thread's for GetPrice, which never
// waits on the network, and for the bare GET that of the thread blocked in it. Both talk to
// the in-process quote server on loopback; the prices move by one step before every call,
// outside the timing, so the panel takes its usual rise/fall road.

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <QApplication>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>
#include <atomic>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "net/endpoints.h"
#include "net/wire_paths.h"
#include "server/quote_server.h"
#include "settings/stored_values.h"
#include "shell/control.h"
#include "shell/environment.h"
#include "shell/mini.h"
#include "shell/tray.h"

namespace {

lumetta_server::QuoteServer* server = nullptr;
Mini* panel = nullptr;
std::atomic<size_t> quote_requests{0};

size_t Append(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

// Every timed call must have reached the server, or the figure is of something else.
void CheckEveryCallArrived(benchmark::State& state) {
  // Quote requests only: the usage counter's load at start-up may arrive late. Counted as
  // they come: the server's log keeps only the latest requests.
  if (quote_requests.exchange(0) != static_cast<size_t>(state.iterations())) {
    state.SkipWithError("not every call reached the quote server");
  }
}

constexpr int kLongRunFetches = 10000;

// The process's resident memory (VmRSS) in kB, 0 when it cannot be read.
long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::strtol(line.c_str() + 6, nullptr, 10);
  }
  return 0;
}

// Waits, outside or inside the timing as the caller chose, until the reply is applied.
void WaitUntilApplied() {
  while (!panel->FetchesIdle()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// One quote fetch per iteration, from the tick to the applied reply.
void BM_GetPrice(benchmark::State& state) {
  server->ClearLog();
  quote_requests = 0;
  for (auto _ : state) {
    state.PauseTiming();
    server->AdvanceQuotes(1);
    state.ResumeTiming();
    panel->GetPrice();
    WaitUntilApplied();
  }
  CheckEveryCallArrived(state);
  if (panel->Quotes().Record().empty()) state.SkipWithError("no quote was shown");
}
BENCHMARK(BM_GetPrice)->UseRealTime();

void BM_BareCurlGet(benchmark::State& state) {
  server->ClearLog();
  quote_requests = 0;
  for (auto _ : state) {
    state.PauseTiming();
    server->AdvanceQuotes(1);
    state.ResumeTiming();
    const std::string url = endpoints::QuoteListUrl(server->host());
    std::string body;
    CURL* handle = curl_easy_init();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
    long status = 0;
    if (curl_easy_perform(handle) != CURLE_OK ||
        curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status) != CURLE_OK || status != 200 ||
        body.empty()) {
      state.SkipWithError("transfer failed");
    }
    curl_easy_cleanup(handle);
    benchmark::DoNotOptimize(body);
  }
  CheckEveryCallArrived(state);
}
BENCHMARK(BM_BareCurlGet)->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  // No screen is needed to fetch and set texts; QApplication reads this before it starts.
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  // The server is in this process on loopback; no proxy from the environment may intervene.
  setenv("no_proxy", "*", 1);
  QApplication application(argc, argv);
  curl_global_init(CURL_GLOBAL_DEFAULT);

  lumetta_server::ServerOptions options;
  options.quote_step = std::chrono::milliseconds(0);
  options.on_request = [](const lumetta_server::LoggedRequest& request) {
    if (request.target.starts_with(wire::kPricePath)) ++quote_requests;
  };
  lumetta_server::QuoteServer quote_server(options);
  if (!quote_server.Start()) {
    std::cerr << "get_price_bench: cannot start the quote server\n";
    return 1;
  }
  server = &quote_server;

  QTemporaryDir folder;
  if (!folder.isValid()) {
    std::cerr << "get_price_bench: no temporary folder\n";
    return 1;
  }
  std::vector<std::string> opened_pages;
  std::vector<QString> questions;
  int program_ends = 0;
  Environment environment;
  environment.program_dir = folder.path().toStdString();
  environment.settings_file = settings::SettingsFilePath(folder.path().toStdString());
  environment.server_host = quote_server.host();
  environment.autostart_dir = folder.path().toStdString() + "/autostart";
  environment.open_page = [&](const std::string& address) { opened_pages.push_back(address); };
  environment.ask = [&](const QString& text, const QString& /*title*/, bool /*with_cancel*/) {
    questions.push_back(text);
    return true;
  };
  environment.end_program = [&] { ++program_ends; };

  int status = 0;
  {
    Mini mini(std::move(environment));
    mini.Load();
    panel = &mini;
    // Only the fetches under measurement reach the server.
    for (QTimer* timer :
         {mini.PriceTimer(), mini.NewsTimer(), mini.CountTimer(), mini.HideTimer()}) {
      timer->stop();
    }

    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    // Memory over many fetches: what the panel keeps from one refresh to the next, once the
    // allocator's arenas and the caches have grown to their working size.
    const auto fetches = [&](int count) {
      for (int i = 0; i < count; ++i) {
        // The in-process server logs every request; that log is not the panel's memory.
        quote_server.ClearLog();
        quote_server.AdvanceQuotes(1);
        panel->GetPrice();
        WaitUntilApplied();
      }
    };
    fetches(kLongRunFetches);
    const long before_kb = ResidentKb();
    fetches(kLongRunFetches);
    std::cout << "rss_growth_kb_over_" << kLongRunFetches << "_fetches," << ResidentKb() - before_kb
              << "\n";

    // Fetching quotes opens nothing, asks nothing and never ends the program.
    if (!opened_pages.empty() || !questions.empty() || program_ends != 0) {
      std::cerr << "get_price_bench: the panel opened a page, asked or ended the program\n";
      status = 1;
    }
    panel = nullptr;
  }
  Tray::DeleteTrayIcon();
  quote_server.Stop();
  return status;
}
