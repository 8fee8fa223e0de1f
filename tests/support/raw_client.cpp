#include "tests/support/raw_client.h"

namespace lumetta_test {
namespace {

size_t Append(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

}  // namespace

RawClient::RawClient() : handle_(curl_easy_init()) {
  curl_easy_setopt(handle_, CURLOPT_COOKIEFILE, "");  // cookie engine on, nothing loaded
  curl_easy_setopt(handle_, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle_, CURLOPT_TIMEOUT_MS, 10000L);
}

RawClient::~RawClient() { curl_easy_cleanup(handle_); }

RawReply RawClient::Get(const std::string& url, const std::vector<std::string>& header_lines) {
  RawReply reply;
  curl_slist* headers = nullptr;
  for (const std::string& line : header_lines) headers = curl_slist_append(headers, line.c_str());
  curl_easy_setopt(handle_, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(handle_, CURLOPT_WRITEFUNCTION, Append);
  curl_easy_setopt(handle_, CURLOPT_WRITEDATA, &reply.body);
  reply.result = curl_easy_perform(handle_);
  curl_easy_getinfo(handle_, CURLINFO_RESPONSE_CODE, &reply.status);
  curl_easy_setopt(handle_, CURLOPT_HTTPHEADER, nullptr);
  curl_slist_free_all(headers);
  return reply;
}

}  // namespace lumetta_test
