#pragma once

#include <string>
#include <string_view>

namespace lumetta_server {

// What the version record offers: the running version (the widget stays quiet), or a newer one
// that may be declined or that must be taken.
enum class UpdateOffer { kNone, kOptional, kMandatory };

// Five fields joined by CR LF with none after the last: version, mandatory flag ("True" or
// "False"), release date, features on one line, download address on this server. UTF-8.
std::string VersionRecordText(UpdateOffer offer, std::string_view host);

}  // namespace lumetta_server
