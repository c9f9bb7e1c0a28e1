#include "check/module_probe_win.h"

#include "acquisition/http_client_win.h"

namespace tavrin::check {

namespace {

constexpr int32_t kConnectTimeoutMs = 15000;
constexpr int32_t kLowSpeedTimeoutMs = 60000;

}  // namespace

ModuleProbe ProbeModule(const std::string& url)
{
    ModuleProbe probe;
    launcher::cHttpClient client;
    if (!client.Init()) {
        return probe;
    }
    client.SetConnectTimeout(kConnectTimeoutMs);
    client.SetLowSpeedTimeout(kLowSpeedTimeoutMs);
    // The launcher's own request, without a cached ETag: a full answer.
    client.SetHeader("Accept", "application/octet-stream");
    client.SetHeader("Accept-Encoding", "identity");
    client.SetHeader("Cache-Control", "max-age=0");
    client.SetHeader("User-Agent", "Tavrin-Client/1.0");
    if (!client.Get(url, 0)) {
        return probe;
    }
    const uint8_t* body = nullptr;
    int32_t size = 0;
    probe.Status = client.GetResponse(body, size);
    probe.Reached = probe.Status != 0;
    probe.Bytes = size > 0 ? static_cast<uint64_t>(size) : 0;
    probe.ETag = client.GetResponseHeader("ETag");
    return probe;
}

}  // namespace tavrin::check
