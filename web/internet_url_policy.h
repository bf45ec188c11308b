#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "web/internet_handle_table.h"
#include "web/internet_transfer.h"

namespace velbrook::inet::detail {

// The URL ready for curl when its scheme is one of `allowedSchemes` ("http", "https", "ftp"),
// compared without letter case; nullopt for every other scheme, file:// above all. Bytes that a URL
// cannot carry as they are (controls, blanks, bytes above 0x7E) are percent-encoded after the host.
std::optional<std::string> CheckedUrl(std::string_view url, std::initializer_list<std::string_view> allowed);

// The lower-case scheme of an absolute URL, or empty.
std::string SchemeOf(std::string_view url);

// Puts the session's proxy choice for a URL of this scheme into `setup`.
void ChooseProxy(const Session& session, std::string_view scheme, TransferSetup* setup);

// Whether the usual proxy environment variables name a proxy.
bool EnvironmentNamesProxy();

}  // namespace velbrook::inet::detail
