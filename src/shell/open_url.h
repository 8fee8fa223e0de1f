#pragma once

// Opening pages in the user's browser.

#include <functional>
#include <string>

namespace Code {

// Hands a web address to the launcher; anything but an http:// or https:// address is
// ignored, as addresses from the server must never start local programs.
void OpenUrl(const std::string& address, const std::function<void(const std::string&)>& launcher);

// The desktop's way of opening an address, falling back to starting a browser directly.
// Never waits for the browser.
void LaunchInBrowser(const std::string& address);

}  // namespace Code
