#include "server/fault_mode.h"

#include <algorithm>
#include <utility>

#include "net/wire_paths.h"
#include "server/site_pages.h"
#include "text/ascii_case.h"

namespace lumetta_server {
namespace {

constexpr std::string_view kGbkText = "text/html; charset=gb2312";
constexpr std::size_t kLoopingKept = 16;

// Each byte either lies outside GBK's ranges (0xFF) or is a lead byte whose trail byte is
// invalid, so a decoder has nothing to keep; 0x80 is avoided, code page 936 reads it as a euro.
constexpr std::string_view kNotGbkPattern = "\x81\xFF\xA1\xFF\xFE\xFF\xFF";
constexpr std::size_t kNotGbkRepeats = 100;

constexpr std::string_view kServerErrorPage =
    "<!DOCTYPE html>\n<html><head><title>500</title></head>\n"
    "<body><h1>500 Internal Server Error</h1>\n<p>The script failed.</p></body></html>\n";

ScriptedReply GbkReply(std::string body) {
  ScriptedReply reply;
  reply.body = std::move(body);
  reply.headers = {{"Content-Type", std::string(kGbkText)}};
  return reply;
}

}  // namespace

std::string_view FaultName(Fault fault) {
  switch (fault) {
    case Fault::kClose:
      return "close";
    case Fault::kSilence:
      return "silence";
    case Fault::kNotFound:
      return "not-found";
    case Fault::kServerError:
      return "server-error";
    case Fault::kShortBody:
      return "short-body";
    case Fault::kHugeBody:
      return "huge-body";
    case Fault::kNotGbk:
      return "not-gbk";
    case Fault::kEmpty:
      return "empty";
    case Fault::kNoise:
      return "noise";
    case Fault::kTrickle:
      return "trickle";
    case Fault::kRedirectLoop:
      return "redirect-loop";
  }
  return "unknown";
}

bool IsFaultyPath(std::string_view path) {
  for (const std::string_view faulty : {wire::kPricePath, wire::kNewsPath, wire::kVersionPath}) {
    if (text::EqualsIgnoreAsciiCase(path, faulty)) return true;
  }
  return false;
}

Fault FaultCycle::Next(std::string_view target) {
  if (std::find(looping_.begin(), looping_.end(), target) != looping_.end()) {
    return Fault::kRedirectLoop;
  }
  const Fault fault = kFaultCycle[position_];
  position_ = (position_ + 1) % kFaultCycle.size();
  if (fault == Fault::kRedirectLoop) {
    looping_.emplace_back(target);
    if (looping_.size() > kLoopingKept) looping_.pop_front();
  }
  return fault;
}

ScriptedReply FaultCycle::Reply(Fault fault, std::string_view target,
                                std::string_view normal_body) {
  ScriptedReply reply;
  switch (fault) {
    case Fault::kClose:
      reply.no_answer = true;
      break;
    case Fault::kSilence:
      reply.no_answer = true;
      reply.delay = kSilenceHold;
      break;
    case Fault::kNotFound:
      reply.status = 404;
      reply.body = NotFoundPage();
      reply.headers = {{"Content-Type", "text/html; charset=utf-8"}};
      break;
    case Fault::kServerError:
      reply.status = 500;
      reply.body = kServerErrorPage;
      break;
    case Fault::kShortBody:
      reply = GbkReply(std::string(normal_body));
      reply.drop_mid_body = true;
      break;
    case Fault::kHugeBody: {
      // Plausible lines, just far too many of them.
      std::string body;
      body.reserve(kHugeBodyBytes);
      const std::string_view unit = normal_body.empty() ? std::string_view("0") : normal_body;
      while (body.size() < kHugeBodyBytes) {
        body.append(unit.substr(0, kHugeBodyBytes - body.size()));
      }
      reply = GbkReply(std::move(body));
      break;
    }
    case Fault::kNotGbk: {
      std::string body;
      for (std::size_t i = 0; i < kNotGbkRepeats; ++i) body.append(kNotGbkPattern);
      reply = GbkReply(std::move(body));
      break;
    }
    case Fault::kEmpty:
      reply = GbkReply({});
      break;
    case Fault::kNoise: {
      std::string body(kNoiseBytes, '\0');
      std::uniform_int_distribution<int> byte(0, 255);
      for (char& each : body) each = static_cast<char>(byte(noise_));
      reply = GbkReply(std::move(body));
      break;
    }
    case Fault::kTrickle:
      reply = GbkReply(std::string(normal_body.substr(0, kTrickleBytes)));
      reply.byte_interval = kTrickleInterval;
      break;
    case Fault::kRedirectLoop:
      reply.status = 302;
      reply.headers = {{"Location", std::string(target)}};
      break;
  }
  return reply;
}

}  // namespace lumetta_server
