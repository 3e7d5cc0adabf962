#pragma once

#include <curl/curl.h>

// The libcurl functions the HTTP client uses, loaded from libcurl.so.4 on the first request:
// linked, libcurl and the thirty-odd libraries it links would be mapped into every download and
// every window start, which never make a request.
struct CurlLibrary {
    decltype(curl_easy_init)* easyInit;
    decltype(curl_easy_setopt)* easySetopt;
    decltype(curl_easy_perform)* easyPerform;
    decltype(curl_easy_getinfo)* easyGetinfo;
    decltype(curl_easy_cleanup)* easyCleanup;
    decltype(curl_easy_strerror)* easyStrerror;
    decltype(curl_slist_append)* slistAppend;
    decltype(curl_slist_free_all)* slistFreeAll;
    decltype(curl_url)* url;
    decltype(curl_url_cleanup)* urlCleanup;
    decltype(curl_url_get)* urlGet;
    decltype(curl_url_set)* urlSet;
    decltype(curl_free)* free;

    // Loads the library and runs curl_global_init, once per process; thread-safe. Throws
    // NetworkError naming the loader's message when libcurl is missing or too old.
    static const CurlLibrary& get();
};
