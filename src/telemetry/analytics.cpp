#include "telemetry/analytics.h"

#include <cstdio>
#include <memory>
#include <mutex>

#include "base/json_reader.h"
#include "base/strings.h"

namespace tavrin::launcher {

namespace {

constexpr uint16_t kMachineI386 = 0x014C;
constexpr uint16_t kMachineAmd64 = 0x8664;
constexpr uint16_t kMachineArm64 = 0xAA64;
constexpr uint16_t kHttpsPort = 443;

struct Endpoint {
    const char* Path;
    const char* UploadType;
    const char* AppId;
};

constexpr Endpoint kEndpoints[] = {
    {"/telemetry/data/moxtrel/api/v1/public/data", "sdkevents", "QRVSDK.AntiCheatExt.Launcher"},
    {"/moxtrel/api/v1/public/data", "eteventstream", "tavrin"},
};

std::mutex gIdentityLock;
Analytics::Identity gIdentity;

struct QueuedUpload {
    Analytics::Destinations Destinations;
    std::vector<Analytics::EventDescriptor> Events;
    Analytics::Sender Send;
};

void AppendMember(std::string& out, const std::string& name, const std::string& value, bool quoted)
{
    out += '"';
    out += name;
    out += "\":";
    if (quoted) {
        out += '"';
        out += value;
        out += '"';
    } else {
        out += value;
    }
}

void AppendEvent(std::string& out, const Analytics::EventDescriptor& event,
                 const Analytics::DocumentTexts& texts)
{
    out += '{';
    AppendMember(out, "EventName", event.Name, true);
    const std::pair<const char*, const std::string*> fixed[] = {
        {"Source", &texts.Source},
        {"BuildTime", &texts.BuildTime},
        {"ProductId", &texts.ProductId},
        {"SandboxId", &texts.SandboxId},
        {"DeploymentId", &texts.DeploymentId},
        {"OSName", &texts.OsName},
        {"OSVer", &texts.OsVersion},
    };
    for (const auto& [name, value] : fixed) {
        out += ',';
        AppendMember(out, name, *value, true);
    }
    for (const EventAttribute& attribute : event.Attributes) {
        out += ',';
        AppendMember(out, EscapeJsonString(attribute.Key), EscapeJsonString(attribute.Value), !attribute.Raw);
    }
    out += '}';
}

}  // namespace

EventAttribute::EventAttribute(std::string key, int32_t value) : Key(std::move(key)), Raw(true)
{
    char text[16];
    std::snprintf(text, sizeof text, "%i", value);
    Value = text;
}

EventAttribute::EventAttribute(std::string key, std::string value)
    : Key(std::move(key)), Value(std::move(value)), Raw(false)
{
}

std::string Analytics::BuildEventDocument(const std::vector<EventDescriptor>& events,
                                          const DocumentTexts& texts)
{
    if (events.empty()) {
        return {};
    }
    for (const EventDescriptor& event : events) {
        if (event.Name.empty() || event.Attributes.empty()) {
            return {};
        }
    }
    std::string out = "{\"Events\":[";
    for (size_t i = 0; i < events.size(); ++i) {
        if (i != 0) {
            out += ',';
        }
        AppendEvent(out, events[i], texts);
    }
    out += "]}";
    return out;
}

void Analytics::LogEventsAsyncWith(cBackgroundWorker& worker, Destinations destinations,
                                   const std::vector<EventDescriptor>& events, Sender send)
{
    auto upload = std::make_shared<QueuedUpload>(QueuedUpload{destinations, events, std::move(send)});
    WorkerTask task;
    task.Callable = [](void* context) {
        auto* queued = static_cast<QueuedUpload*>(context);
        if (queued->Send) {
            queued->Send(queued->Destinations, queued->Events);
        }
        return false;
    };
    task.SharedContext = upload;
    task.Priority = 1;
    worker.PostTask(task, true, 0, 0);
}

std::string Analytics::EndpointUrl(uint32_t destination, const std::string& runId)
{
    const Endpoint& endpoint = kEndpoints[destination == 0 ? 0 : 1];
    return std::string("https://") + EndpointHost(destination) + endpoint.Path +
           "?AppVersion=1.0.0&AppEnvironment=Production&UploadType=" + endpoint.UploadType +
           "&AppID=" + endpoint.AppId + "&SessionId=" + runId;
}

uint16_t Analytics::EndpointPort(uint32_t destination)
{
    const std::string host = EndpointHost(destination);
    const size_t colon = host.rfind(':');
    if (colon == std::string::npos || colon + 1 >= host.size() || host.size() - colon > 6) {
        return kHttpsPort;
    }
    uint32_t port = 0;
    for (size_t i = colon + 1; i < host.size(); ++i) {
        if (host[i] < '0' || host[i] > '9') {
            return kHttpsPort;
        }
        port = port * 10 + static_cast<uint32_t>(host[i] - '0');
    }
    return port == 0 || port > 0xFFFF ? kHttpsPort : static_cast<uint16_t>(port);
}

void Analytics::SetIdentity(const std::string& productId, const std::string& sandboxId,
                            const std::string& deploymentId)
{
    std::lock_guard<std::mutex> guard(gIdentityLock);
    gIdentity.ProductId = productId;
    gIdentity.SandboxId = sandboxId;
    gIdentity.DeploymentId = deploymentId;
}

void Analytics::EnsureRunId()
{
    std::lock_guard<std::mutex> guard(gIdentityLock);
    if (gIdentity.RunId.empty()) {
        char id[37] = {};
        MakeRandomId(id);
        gIdentity.RunId = id;
    }
}

Analytics::Identity Analytics::GetIdentity()
{
    std::lock_guard<std::mutex> guard(gIdentityLock);
    return gIdentity;
}

namespace {

// "x86-32", "x86-64", "ARM64" or "Unknown".
const char* MachineName(uint16_t nativeMachine)
{
    switch (nativeMachine) {
    case kMachineI386:
        return "x86-32";
    case kMachineAmd64:
        return "x86-64";
    case kMachineArm64:
        return "ARM64";
    default:
        return "Unknown";
    }
}

}  // namespace

std::string FormatWindowsVersion(uint32_t major, uint32_t minor, uint16_t nativeMachine, uint32_t build)
{
    char text[64];
    std::snprintf(text, sizeof text, "%i.%i %s (Build %i)", static_cast<int>(major), static_cast<int>(minor),
                  MachineName(nativeMachine), static_cast<int>(build));
    return text;
}

}  // namespace tavrin::launcher
