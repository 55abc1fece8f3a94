#include "transport/smtp/CurlLibrary.h"

#include <QLibrary>

#include <optional>

namespace orv::smtp {

namespace {

template <typename Function> bool resolve(QLibrary &library, const char *name, Function &function)
{
    function = reinterpret_cast<Function>(library.resolve(name));
    return function != nullptr;
}

std::optional<CurlLibrary> load()
{
    // Never unloaded nor cleaned up: libcurl's global state (TLS, the resolver) lives as
    // long as the program, and a cleanup would race with a send on another thread.
    static QLibrary library(QStringLiteral("curl"), 4);
    if (!library.load())
        return std::nullopt;
    CurlLibrary curl;
    decltype(&::curl_global_init) globalInit = nullptr;
    const bool complete = resolve(library, "curl_global_init", globalInit) &&
                          resolve(library, "curl_easy_init", curl.easyInit) &&
                          resolve(library, "curl_easy_cleanup", curl.easyCleanup) &&
                          resolve(library, "curl_easy_reset", curl.easyReset) &&
                          resolve(library, "curl_easy_setopt", curl.easySetopt) &&
                          resolve(library, "curl_easy_perform", curl.easyPerform) &&
                          resolve(library, "curl_easy_getinfo", curl.easyGetinfo) &&
                          resolve(library, "curl_easy_strerror", curl.easyStrerror) &&
                          resolve(library, "curl_slist_append", curl.slistAppend) &&
                          resolve(library, "curl_slist_free_all", curl.slistFreeAll);
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
