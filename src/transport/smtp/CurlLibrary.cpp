#include "transport/smtp/CurlLibrary.h"

#include "core/LateLibrary.h"

#include <optional>

namespace orv::smtp {

namespace {

std::optional<CurlLibrary> load()
{
    // Never unloaded nor cleaned up: libcurl's global state (TLS, the resolver) lives as
    // long as the program, and a cleanup would race with a send on another thread.
    static QLibrary library(QStringLiteral("curl"), 4);
    if (!library.load())
        return std::nullopt;
    CurlLibrary curl;
    decltype(&::curl_global_init) globalInit = nullptr;
    const bool complete = resolveFunction(library, "curl_global_init", globalInit) &&
                          resolveFunction(library, "curl_easy_init", curl.easyInit) &&
                          resolveFunction(library, "curl_easy_cleanup", curl.easyCleanup) &&
                          resolveFunction(library, "curl_easy_reset", curl.easyReset) &&
                          resolveFunction(library, "curl_easy_setopt", curl.easySetopt) &&
                          resolveFunction(library, "curl_easy_perform", curl.easyPerform) &&
                          resolveFunction(library, "curl_easy_getinfo", curl.easyGetinfo) &&
                          resolveFunction(library, "curl_easy_strerror", curl.easyStrerror) &&
                          resolveFunction(library, "curl_slist_append", curl.slistAppend) &&
                          resolveFunction(library, "curl_slist_free_all", curl.slistFreeAll);
    if (!complete || globalInit(CURL_GLOBAL_DEFAULT) != CURLE_OK)
        return std::nullopt;
    return curl;
}

} // namespace

const CurlLibrary *curlLibrary()
{
    static const std::optional<CurlLibrary> curl = load();
    return curl ? &*curl : nullptr;
}

} // namespace orv::smtp
