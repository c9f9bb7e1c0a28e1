#include "acquisition/http_client_win.h"

namespace tavrin::launcher {

namespace {

constexpr long kLowSpeedBytesPerSecond = 30;

}  // namespace

cHttpClient::~cHttpClient() { IsInitialized = false; }

bool cHttpClient::Init()
{
    IsInitialized = Curl.Setup();
    return IsInitialized;
}

void cHttpClient::Shutdown() { IsInitialized = false; }

void cHttpClient::Reset()
{
    if (!IsInitialized) {
        return;
    }
    RequestHeaders.clear();
    Curl.Reset();
}

void cHttpClient::SetHeader(const std::string& name, const std::string& value)
{
    if (IsInitialized) {
        RequestHeaders[name] = value;
    }
}

void cHttpClient::SetConnectTimeout(int32_t milliseconds)
{
    if (IsInitialized && Curl.SetConnectTimeout(milliseconds)) {
        ConnectTimeoutMs = milliseconds;
    }
}

void cHttpClient::ApplyLowSpeed(int32_t milliseconds)
{
    Curl.SetOption(CURLOPT_LOW_SPEED_LIMIT, kLowSpeedBytesPerSecond);
    Curl.SetOption(CURLOPT_LOW_SPEED_TIME, static_cast<long>(milliseconds / 1000));
}

void cHttpClient::SetLowSpeedTimeout(int32_t milliseconds)
{
    if (IsInitialized) {
        ApplyLowSpeed(milliseconds);
        LowSpeedTimeoutMs = milliseconds;
    }
}

void cHttpClient::SetLowSpeedTimeoutAgain(int32_t milliseconds) { SetLowSpeedTimeout(milliseconds); }

void cHttpClient::PrepareRequest()
{
    Curl.Reset();
    if (ConnectTimeoutMs) {
        Curl.SetConnectTimeout(*ConnectTimeoutMs);
    }
    if (LowSpeedTimeoutMs) {
        ApplyLowSpeed(*LowSpeedTimeoutMs);
    }
    for (const auto& [name, value] : RequestHeaders) {
        Curl.AddRequestHeaderLine(name + ": " + value);
    }
}

bool cHttpClient::Get(const std::string& url, uint16_t port)
{
    if (!IsInitialized) {
        return false;
    }
    PrepareRequest();
    Curl.SetOption(CURLOPT_HTTPGET, 1L);
    Curl.SetOption(CURLOPT_PORT, static_cast<long>(port));
    CURLcode code = CURLE_OK;
    return Curl.Perform(url, code, 0);
}

bool cHttpClient::Post(const std::string& url, uint16_t port, const void* body, uint32_t size,
                       int32_t totalTimeoutMs)
{
    if (!IsInitialized) {
        return false;
    }
    PrepareRequest();
    Curl.SetOption(CURLOPT_POST, 1L);
    Curl.SetOption(CURLOPT_PORT, static_cast<long>(port));
    if (body != nullptr && size != 0) {
        Curl.SetOption(CURLOPT_POSTFIELDSIZE, static_cast<long>(size));
        Curl.SetOption(CURLOPT_COPYPOSTFIELDS, static_cast<const char*>(body));
    } else {
        // Without this the library would read the body from standard input.
        Curl.SetOption(CURLOPT_POSTFIELDSIZE, 0L);
        Curl.SetOption(CURLOPT_POSTFIELDS, "");
    }
    CURLcode code = CURLE_OK;
    return Curl.Perform(url, code, totalTimeoutMs);
}

uint32_t cHttpClient::GetResponse(const uint8_t*& body, int32_t& size)
{
    const std::vector<uint8_t>& bytes = Curl.Body();
    body = bytes.empty() ? nullptr : bytes.data();
    size = static_cast<int32_t>(bytes.size());
    return IsInitialized ? static_cast<uint32_t>(Curl.ResponseCode()) : 0;
}

std::string cHttpClient::GetResponseHeader(const std::string& name)
{
    std::string value;
    if (IsInitialized) {
        Curl.GetResponseHeader(name, value);
    }
    return value;
}

}  // namespace tavrin::launcher
