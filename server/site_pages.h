#pragma once

#include <string>

namespace lumetta_server {

// The small HTML pages of the site, UTF-8.
std::string HomePage();
std::string DownloadPage();
std::string CounterPage(int loads);
std::string NotFoundPage();

}  // namespace lumetta_server
