#include <windows.h>

#include "acquisition/http_client_win.h"
#include "acquisition/system_names_win.h"
#include "base/files_win.h"
#include "base/host_facts.h"
#include "base/version.h"
#include "telemetry/analytics.h"

namespace tavrin::launcher {

namespace {

constexpr int32_t kUploadConnectTimeoutMs = 2500;
constexpr int32_t kUploadLowSpeedTimeoutMs = 2000;

// The version fields of the process environment block, as ntdll hands them
// out (unlike GetVersionEx, not shimmed by the application manifest).
bool QueryRunningVersion(RTL_OSVERSIONINFOW& info)
{
    using RtlGetVersionFunction = LONG(WINAPI*)(RTL_OSVERSIONINFOW*);
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    const auto query = ntdll == nullptr ? nullptr
                                        : reinterpret_cast<RtlGetVersionFunction>(reinterpret_cast<void*>(
                                              GetProcAddress(ntdll, "RtlGetVersion")));
    info = {};
    info.dwOSVersionInfoSize = sizeof info;
    return query != nullptr && query(&info) == 0;
}

bool IsAccepted(uint32_t status) { return status >= 200 && status <= 299; }

}  // namespace

std::string Analytics::OsName(const cHostFacts& host) { return host.Wine ? "Wine" : "Windows"; }

std::string Analytics::OsVersion(const cHostFacts& host)
{
    if (host.Wine) {
        return GetWineVersion();
    }
    RTL_OSVERSIONINFOW info;
    if (!QueryRunningVersion(info)) {
        return FormatWindowsVersion(0, 0, NativeMachine(), 0);
    }
    return FormatWindowsVersion(info.dwMajorVersion, info.dwMinorVersion, NativeMachine(),
                                info.dwBuildNumber & 0xFFFF);
}

std::string Analytics::BuildEventDocument(const std::vector<EventDescriptor>& events)
{
    const Identity identity = GetIdentity();
    DocumentTexts texts;
    texts.Source = std::string("Bootstrapper/") + kBootstrapperVersion;
    texts.BuildTime = kBuildTime;
    texts.ProductId = identity.ProductId;
    texts.SandboxId = identity.SandboxId;
    texts.DeploymentId = identity.DeploymentId;
    // The machine the launcher really runs on, whatever module path it takes.
    const cHostFacts host = DetectHostFacts();
    texts.OsName = OsName(host);
    texts.OsVersion = OsVersion(host);
    return BuildEventDocument(events, texts);
}

bool Analytics::PostEventDocument(uint32_t destination, const std::string& document)
{
    const std::string url = EndpointUrl(destination, GetIdentity().RunId);
    cHttpClient client;
    client.Init();
    client.SetHeader("Content-Type", "application/json");
    client.SetHeader("User-Agent", std::string("Tavrin QRV Bootstrapper/") + kBootstrapperVersion);
    if (!client.Initialized()) {
        return false;
    }
    client.SetConnectTimeout(kUploadConnectTimeoutMs);
    client.SetLowSpeedTimeout(kUploadLowSpeedTimeoutMs);
    client.SetLowSpeedTimeoutAgain(kUploadLowSpeedTimeoutMs);
    const bool sent =
        client.Post(url, EndpointPort(destination), document.empty() ? nullptr : document.data(),
                    static_cast<uint32_t>(document.size()), 0);
    const uint8_t* body = nullptr;
    int32_t size = 0;
    return sent && client.Initialized() && IsAccepted(client.GetResponse(body, size));
}

bool Analytics::SendEvents(Destinations destinations, const std::vector<EventDescriptor>& events)
{
    const std::string document = BuildEventDocument(events);
    if (document.empty()) {
        return false;
    }
    bool accepted = true;
    if (destinations == DestinationSdk || destinations == DestinationBoth) {
        accepted = PostEventDocument(0, document);
    }
    if (destinations == DestinationProduct || destinations == DestinationBoth) {
        accepted = PostEventDocument(1, document) && accepted;
    }
    return accepted;
}

void Analytics::LogEventsAsync(cBackgroundWorker& worker, Destinations destinations,
                               const std::vector<EventDescriptor>& events)
{
    LogEventsAsyncWith(worker, destinations, events, &Analytics::SendEvents);
}

void Analytics::LogEventsAsync(cBackgroundWorker& worker, const std::vector<EventDescriptor>& events)
{
    LogEventsAsync(worker, DestinationSdk, events);
}

}  // namespace tavrin::launcher
