#pragma once
// The owners of libcurl's handles, each freed by libcurl's own call for it.
#include <curl/curl.h>

#include <memory>

namespace velfetch {

struct CurlEasyDeleter {
    void operator()(CURL* h) const { curl_easy_cleanup(h); }
};
struct CurlListDeleter {
    void operator()(curl_slist* l) const { curl_slist_free_all(l); }
};
struct CurlUrlDeleter {
    void operator()(CURLU* u) const { curl_url_cleanup(u); }
};
using CurlEasy = std::unique_ptr<CURL, CurlEasyDeleter>;
using CurlList = std::unique_ptr<curl_slist, CurlListDeleter>;
using CurlUrl = std::unique_ptr<CURLU, CurlUrlDeleter>;

// Appends `line` to `list`; false (the list unchanged) when memory ran out.
inline bool AppendToList(CurlList& list, const char* line) {
    curl_slist* grown = curl_slist_append(list.get(), line);
    if (!grown) return false;
    (void)list.release(); // the old head is now part of `grown`
    list.reset(grown);
    return true;
}

} // namespace velfetch
