// One libcurl easy handle with the launcher's fixed options, response
// headers and body collected in memory, and a retry through the proxies
// Windows reports when the direct transfer fails.
#pragma once

#include <windows.h>

#include <curl/curl.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "acquisition/ca_bundle.h"
#include "acquisition/proxy_candidates.h"
#include "acquisition/response_headers.h"
#include "base/host_facts.h"

namespace tavrin::launcher {

using TransportLogFunction = void (*)(const char* line);

inline constexpr int32_t kDefaultConnectTimeoutMs = 300000;
inline constexpr size_t kDiagnosticLineSize = 768;
// A response body beyond this ends the transfer with a write error: no
// answer the launcher expects comes near it, and the body is held in memory.
inline constexpr size_t kDefaultMaxBodyBytes = 512u * 1024 * 1024;

class cCurlHandle {
public:
    // The received body and the most it may grow to.
    struct BodyBuffer {
        std::vector<uint8_t> Bytes;
        size_t Limit = kDefaultMaxBodyBytes;
        // Asked for the announced length when the first bytes arrive.
        CURL* Easy = nullptr;
    };

    // Under Wine the peer is checked against the host's CA bundle.
    explicit cCurlHandle(const cHostFacts& host = DetectHostFacts());
    ~cCurlHandle();
    cCurlHandle(const cCurlHandle&) = delete;
    cCurlHandle& operator=(const cCurlHandle&) = delete;

    void SetLogFunction(TransportLogFunction log) { Log = log; }
    // Which host (Unix) files exist, for finding the CA bundle under Wine;
    // tests inject a host without any bundle.
    void SetHostPathProbe(PathProbe probe) { HostPathExists = std::move(probe); }
    void SetMaxBodyBytes(size_t limit) { ResponseBody.Limit = limit; }

    // Global init and version check once per process, then the handle and
    // its fixed options.
    bool Setup();
    // Library defaults, cleared lists, then Setup again.
    bool Reset();

    void AddRequestHeaderLine(const std::string& line);

    template <typename T>
    bool SetOption(CURLoption option, T value)
    {
        if (Easy == nullptr) {
            return false;
        }
        const CURLcode code = curl_easy_setopt(Easy, option, value);
        return CheckOption(option, code);
    }
    // Sets the option and, on success, remembers the value for the proxy fallback.
    bool SetConnectTimeout(int32_t milliseconds);

    // True when the final transfer code is 0; HTTP statuses are not failures.
    bool Perform(const std::string& url, CURLcode& code, int32_t totalTimeoutMs);

    // Lower-cases the name; true when the stored value is non-empty.
    bool GetResponseHeader(const std::string& name, std::string& value) const;
    long ResponseCode() const;

    // Candidates in the order they are tried: WinHTTP's automatic answer,
    // then the user's static setting.
    bool DiscoverProxies(const std::string& url, std::vector<ProxyCandidate>& list);

    const std::vector<uint8_t>& Body() const { return ResponseBody.Bytes; }
    // Hands the received body over without copying it; the handle's is empty after.
    std::vector<uint8_t> TakeBody();
    const HeaderMap& Headers() const { return ResponseHeaders; }
    int32_t ConnectTimeoutMs() const { return ConnectTimeout; }
    bool ProxyUsed() const { return UsedProxy; }
    bool WinHttpLoaded() const { return WinHttp != nullptr; }
    CURL* Native() const { return Easy; }

    // printf-style diagnostics through the log function, cut to 768 bytes.
    void Logf(const char* format, ...) __attribute__((format(gnu_printf, 2, 3)));

private:
    bool CheckOption(CURLoption option, CURLcode code);
    bool ApplyFixedOptions();
    bool ApplyTrustStore();
    CURLcode Transfer();
    void LogConnectResult(CURLcode code);
    void ClearResponse();
    bool LoadWinHttp();
    void AddUserProxySetting(const std::string& url, std::vector<ProxyCandidate>& list,
                             const void* userConfig);
    void AddAutomaticProxies(const std::string& url, std::vector<ProxyCandidate>& list,
                             const void* userConfig);

    cHostFacts Host;
    TransportLogFunction Log = nullptr;
    PathProbe HostPathExists;
    CURL* Easy = nullptr;
    char ErrorBuffer[CURL_ERROR_SIZE] = {};
    curl_slist* RequestHeaders = nullptr;
    HeaderMap ResponseHeaders;
    BodyBuffer ResponseBody;
    int32_t ConnectTimeout = kDefaultConnectTimeoutMs;
    bool UsedProxy = false;
    HMODULE WinHttp = nullptr;
    FARPROC WinHttpOpenFn = nullptr;
    FARPROC WinHttpGetProxyForUrlFn = nullptr;
    FARPROC WinHttpGetIEProxyConfigFn = nullptr;
    FARPROC WinHttpCloseHandleFn = nullptr;
};

// The CA bundle a Wine process verifies servers against, as a DOS path:
// CURL_CA_BUNDLE, else SSL_CERT_FILE (curl's own order), else the first
// system bundle of the host; empty when the host has none. Unix paths are
// turned into DOS paths; tried lists the host locations probed. onHost, when
// set, answers which host files exist instead of the file system.
std::string WineCaBundlePath(std::vector<std::string>& tried, const PathProbe& onHost = {});
std::string WineCaBundlePath();

}  // namespace tavrin::launcher
