// One HttpRequest GET of the quote list against the in-process quote server, beside one bare
// libcurl GET of the same address (its own easy handle per call too, no headers of ours, no
// decoding), to show what the routine adds to a transfer.

#include <benchmark/benchmark.h>
#include <curl/curl.h>

#include <cstdlib>
#include <iostream>
#include <string>

#include "net/http_request.h"
#include "net/wire_paths.h"
#include "server/quote_server.h"

namespace {

std::string quote_list_url;

size_t Append(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

void BM_HttpRequestQuoteList(benchmark::State& state) {
  for (auto _ : state) {
    std::string text =
        Code::HttpRequest(quote_list_url, false, "GET", "", "", "", "", false, "gb2312");
    if (text.empty()) state.SkipWithError("empty reply");
    benchmark::DoNotOptimize(text);
  }
}
BENCHMARK(BM_HttpRequestQuoteList);

void BM_BareCurlGet(benchmark::State& state) {
  for (auto _ : state) {
    std::string body;
    CURL* handle = curl_easy_init();
    curl_easy_setopt(handle, CURLOPT_URL, quote_list_url.c_str());
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, Append);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
    if (curl_easy_perform(handle) != CURLE_OK) state.SkipWithError("transfer failed");
    curl_easy_cleanup(handle);
    benchmark::DoNotOptimize(body);
  }
}
BENCHMARK(BM_BareCurlGet);

}  // namespace

int main(int argc, char** argv) {
  // The server is in this process on loopback; no proxy from the environment may intervene.
  setenv("no_proxy", "*", 1);
  curl_global_init(CURL_GLOBAL_DEFAULT);
  lumetta_server::ServerOptions options;
  options.quote_step = std::chrono::milliseconds(0);
  lumetta_server::QuoteServer server(options);
  if (!server.Start()) {
    std::cerr << "http_bench: cannot start the quote server\n";
    return 1;
  }
  quote_list_url = "http://" + server.host();
  quote_list_url += wire::kPricePath;
  quote_list_url += "?Type=0&r=123456789.123456";

  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  server.Stop();
  return 0;
}
