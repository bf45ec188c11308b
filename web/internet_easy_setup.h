#pragma once

#include <string_view>

#include "web/internet_curl_handles.h"
#include "web/internet_transfer.h"

namespace velbrook::inet::detail {

// Applies every option of `setup` except the callbacks to `easy`; the header list it builds is kept
// in `*headers`, which must outlive the transfer. False when curl refuses an option.
bool ConfigureEasy(CURL* easy, const TransferSetup& setup, SlistPtr* headers);

// Whether a header line of this name (compared without letter case) is in the "\r\n"-separated block.
bool BlockHasHeader(std::string_view block, std::string_view name);

}  // namespace velbrook::inet::detail
