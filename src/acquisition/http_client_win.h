// A small request interface over one cCurlHandle, used by the telemetry upload.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "acquisition/curl_handle_win.h"

namespace tavrin::launcher {

class cHttpClient {
public:
    cHttpClient() = default;
    cHttpClient(const cHttpClient&) = delete;
    cHttpClient& operator=(const cHttpClient&) = delete;

    virtual bool Init();
    virtual void Shutdown();
    virtual void Reset();
    // port 0: the URL's own.
    virtual bool Get(const std::string& url, uint16_t port);
    virtual bool Post(const std::string& url, uint16_t port, const void* body, uint32_t size,
                      int32_t totalTimeoutMs);
    virtual void SetHeader(const std::string& name, const std::string& value);
    // The status of the last request, 0 when there is none; body null when empty.
    virtual uint32_t GetResponse(const uint8_t*& body, int32_t& size);
    virtual void SetConnectTimeout(int32_t milliseconds);
    // A low-speed limit of 30 bytes per second over milliseconds / 1000 seconds.
    virtual void SetLowSpeedTimeout(int32_t milliseconds);
    // The same rule through a second entry, as the upload applies it twice.
    virtual void SetLowSpeedTimeoutAgain(int32_t milliseconds);
    virtual std::string GetResponseHeader(const std::string& name);
    virtual ~cHttpClient();

    bool Initialized() const { return IsInitialized; }
    cCurlHandle& Handle() { return Curl; }

private:
    // Reset, then the timeouts set since Init, then the header lines.
    void PrepareRequest();
    void ApplyLowSpeed(int32_t milliseconds);

    cCurlHandle Curl;
    bool IsInitialized = false;
    std::map<std::string, std::string> RequestHeaders;
    std::optional<int32_t> ConnectTimeoutMs;
    std::optional<int32_t> LowSpeedTimeoutMs;
};

}  // namespace tavrin::launcher
