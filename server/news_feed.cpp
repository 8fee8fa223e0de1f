#include "server/news_feed.h"

#include <array>
#include <charconv>

#include "net/wire_paths.h"
#include "text/gbk.h"

namespace lumetta_server {
namespace {

struct Story {
  std::string_view title;
  std::string_view text;
};

constexpr std::array<Story, 8> kStories = {{
    {"美联储维持利率不变 国际金价高位震荡",
     "议息会议后美元指数走弱，现货黄金在亚洲时段窄幅波动，市场关注下月通胀数据。"},
    {"上海黄金交易所黄金延期合约成交量回升",
     "本周黄金延期合约成交量较上周增加，夜盘交投尤为活跃。"},
    {"避险需求升温 现货白银站上关键价位", "地缘局势紧张推动避险买盘，白银价格随黄金同步走高。"},
    {"央行连续第六个月增持黄金储备",
     "最新数据显示官方黄金储备继续增加，分析人士认为长期配置需求稳定。"},
    {"铂金供应偏紧 机构上调年内价格预期", "南非矿山减产消息传出，多家机构上调铂金年内均价预期。"},
    {"香港金银业贸易场金价随国际市场走强", "港金报价跟随国际金价上行，实物金条需求保持平稳。"},
    {"纸黄金投资者须关注点差与交易时间",
     "银行账户贵金属交易存在买卖点差，投资者应留意周末及节假日休市安排。"},
    {"钯金价格回落 汽车催化剂需求放缓", "汽车产量增速放缓拖累钯金需求，钯金价格连续三日下跌。"},
}};

// The prices walk at random near real levels and the stories read like real ones, so the list
// opens with this notice and repeats it often enough that no reader takes either for the market.
constexpr Story kNotice = {
    "演示服务器：报价为模拟，并非市场行情",
    "这些报价来自本机运行的演示服务器 lumetta-server，是在真实价位附近随机变动的模拟数据，"
    "并非市场行情，不能作为买卖依据。资讯标题同样为演示而编写。"};

// Items 0, kNoticeEvery, 2 * kNoticeEvery, ... are the notice; the stories fill the rest in turn.
constexpr size_t kNoticeEvery = 8;
constexpr size_t kStoriesBetween = kNoticeEvery - 1;
// Up to the last story: each story gets one place, each started group of stories a notice.
constexpr size_t kItemCount =
    kStories.size() + (kStories.size() + kStoriesBetween - 1) / kStoriesBetween;

// The item at `index` (counted from 0); the list has kItemCount of them.
const Story& Item(size_t index) {
  if (index % kNoticeEvery == 0) return kNotice;
  return kStories[index - index / kNoticeEvery - 1];
}

std::string NumberText(int number) {
  char digits[16];
  const auto written = std::to_chars(digits, digits + sizeof digits, number);
  return std::string(digits, written.ptr);
}

std::string PageLink(std::string_view host, int number) {
  std::string link = "http://";
  link += host;
  link += wire::kNewsPagePrefix;
  link += NumberText(number);
  link += wire::kNewsPageSuffix;
  return link;
}

// The names joined with "、"; a "|" would split the headline from its link, so it becomes "/".
std::string JoinedNames(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) {
    if (!joined.empty()) joined += "、";
    for (const char c : name) joined += c == '|' ? '/' : c;
  }
  return joined;
}

std::string LiveTitle(const std::vector<std::string>& names) {
  return "行情来自公开来源：" + JoinedNames(names) + "，仅供参考";
}

std::string HtmlEscaped(std::string_view text) {
  std::string escaped;
  for (const char c : text) {
    switch (c) {
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '&':
        escaped += "&amp;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

}  // namespace

std::string LiveNewsListText(std::string_view host, const std::vector<std::string>& source_names) {
  return LiveTitle(source_names) + "|" + PageLink(host, 1) + "\r\n";
}

std::optional<Page> LiveNewsPage(int number, const std::vector<std::string>& source_names) {
  if (number != 1) return std::nullopt;
  const std::string title = HtmlEscaped(LiveTitle(source_names));
  std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>";
  html += title;
  html += "</title></head>\n<body><h1>";
  html += title;
  html += "</h1>\n<p>本机的 lumetta-server 从以下公开网页的行情数据取得报价：";
  html += HtmlEscaped(JoinedNames(source_names));
  html +=
      "。这些数据由各网站提供，并非为本程序提供的服务；其条款以各网站为准，可能随时变化或停止。"
      "报价仅供个人参考，不能作为买卖依据。</p>\n<p><a href=\"";
  html += wire::kHomePagePath;
  html += "\">返回首页</a></p></body></html>\n";
  return Page{html, "text/html; charset=utf-8"};
}

std::string NewsListText(std::string_view host) {
  std::string text;
  for (size_t index = 0; index < kItemCount; ++index) {
    text += Item(index).title;
    text += '|';
    text += PageLink(host, static_cast<int>(index) + 1);
    text += "\r\n";
  }
  return text;
}

std::optional<Page> NewsPage(int number) {
  if (number < 1 || number > static_cast<int>(kItemCount)) return std::nullopt;
  const Story& story = Item(static_cast<size_t>(number) - 1);
  // Odd pages are GBK like the rest of the site, even ones UTF-8, as a real mixed site would be.
  const bool gbk = number % 2 == 1;
  std::string html = "<!DOCTYPE html>\n<html><head><meta charset=\"";
  html += gbk ? "gb2312" : "utf-8";
  html += "\"><title>";
  html += story.title;
  html += "</title></head>\n<body><h1>";
  html += story.title;
  html += "</h1>\n<p>";
  html += story.text;
  html += "</p>\n<p><a href=\"";
  html += wire::kHomePagePath;
  html += "\">返回首页</a></p></body></html>\n";
  if (gbk) return Page{text::Utf8ToGbk(html), "text/html; charset=gb2312"};
  return Page{html, "text/html; charset=utf-8"};
}

}  // namespace lumetta_server
