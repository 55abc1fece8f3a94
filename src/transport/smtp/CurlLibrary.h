#pragma once

#include <curl/curl.h>

namespace orv::smtp {

// libcurl's calls that sending needs. With its TLS, Kerberos and LDAP libraries, libcurl is
// some thirty libraries the program would otherwise load at every start, before its window
// shows; it is loaded when the first mail is sent.
struct CurlLibrary {
    decltype(&::curl_easy_init) easyInit = nullptr;
    decltype(&::curl_easy_cleanup) easyCleanup = nullptr;
    decltype(&::curl_easy_reset) easyReset = nullptr;
    decltype(&::curl_easy_setopt) easySetopt = nullptr;
    decltype(&::curl_easy_perform) easyPerform = nullptr;
    decltype(&::curl_easy_getinfo) easyGetinfo = nullptr;
    decltype(&::curl_easy_strerror) easyStrerror = nullptr;
    decltype(&::curl_slist_append) slistAppend = nullptr;
    decltype(&::curl_slist_free_all) slistFreeAll = nullptr;
};

// The library, loaded and initialised on the first call from any thread; null when it
// cannot be loaded.
const CurlLibrary *curlLibrary();

} // namespace orv::smtp
