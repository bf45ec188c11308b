#pragma once

// Owning wrappers for the libcurl objects of the Internet layer. Only the layer's own sources include
// this header; no public header shows a curl type.

#include <curl/curl.h>

#include <memory>

namespace velbrook::inet::detail {

struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct MultiDeleter {
  void operator()(CURLM* multi) const { (void)curl_multi_cleanup(multi); }  // nothing to do on failure
};
struct SlistDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct ShareDeleter {
  void operator()(CURLSH* share) const { (void)curl_share_cleanup(share); }  // nothing to do on failure
};

using EasyPtr = std::unique_ptr<CURL, EasyDeleter>;
using MultiPtr = std::unique_ptr<CURLM, MultiDeleter>;
using SlistPtr = std::unique_ptr<curl_slist, SlistDeleter>;
using SharePtr = std::unique_ptr<CURLSH, ShareDeleter>;

// Initialises libcurl once per process; false when that failed.
bool EnsureCurlInitialised();

}  // namespace velbrook::inet::detail
