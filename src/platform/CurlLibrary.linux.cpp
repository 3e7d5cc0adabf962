#include "platform/CurlLibrary.h"

#include "platform/NetworkError.h"
#include "platform/SharedLibrary.h"

#include <string>

namespace {

CurlLibrary load() {
    static const SharedLibrary library("libcurl.so.4");
    CurlLibrary curl{
        .easyInit = library.function<decltype(curl_easy_init)>("curl_easy_init"),
        .easySetopt = library.function<decltype(curl_easy_setopt)>("curl_easy_setopt"),
        .easyPerform = library.function<decltype(curl_easy_perform)>("curl_easy_perform"),
        .easyGetinfo = library.function<decltype(curl_easy_getinfo)>("curl_easy_getinfo"),
        .easyCleanup = library.function<decltype(curl_easy_cleanup)>("curl_easy_cleanup"),
        .easyStrerror = library.function<decltype(curl_easy_strerror)>("curl_easy_strerror"),
        .slistAppend = library.function<decltype(curl_slist_append)>("curl_slist_append"),
        .slistFreeAll = library.function<decltype(curl_slist_free_all)>("curl_slist_free_all"),
        .url = library.function<decltype(curl_url)>("curl_url"),
        .urlCleanup = library.function<decltype(curl_url_cleanup)>("curl_url_cleanup"),
        .urlGet = library.function<decltype(curl_url_get)>("curl_url_get"),
        .urlSet = library.function<decltype(curl_url_set)>("curl_url_set"),
        .free = library.function<decltype(curl_free)>("curl_free"),
    };
    library.function<decltype(curl_global_init)>("curl_global_init")(CURL_GLOBAL_DEFAULT);
    return curl;
}

} // namespace

const CurlLibrary& CurlLibrary::get() {
    // A failed load throws out of the initialisation, so the next request tries again; a loaded
    // library is handed out without a lock (every callback of a transfer asks for it).
    static const CurlLibrary loaded = [] {
        try {
            return load();
        } catch (const SharedLibrary::Unavailable& error) {
            throw NetworkError(std::string("libcurl could not be loaded: ") + error.what());
        }
    }();
    return loaded;
}
