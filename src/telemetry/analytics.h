// Telemetry events: the records, the JSON document they become and its
// upload over HTTPS on a background worker.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/host_facts.h"
#include "base/worker.h"

namespace tavrin::launcher {

struct EventAttribute {
    std::string Key;
    std::string Value;
    bool Raw = false;  // written bare, as a JSON number

    // The integer kind: the value as "%i", written bare.
    EventAttribute(std::string key, int32_t value);
    // The text kind: written as a JSON string.
    EventAttribute(std::string key, std::string value);
};

class Analytics {
public:
    struct EventDescriptor {
        std::string Name;
        std::vector<EventAttribute> Attributes;
    };

    enum Destinations : uint32_t {
        DestinationSdk = 0,
        DestinationProduct = 1,
        DestinationBoth = 2,  // SDK first
    };

    // The texts every event object carries besides its name and attributes.
    struct DocumentTexts {
        std::string Source;
        std::string BuildTime;
        std::string ProductId;
        std::string SandboxId;
        std::string DeploymentId;
        std::string OsName;
        std::string OsVersion;
    };

    struct Identity {
        std::string ProductId;
        std::string SandboxId;
        std::string DeploymentId;
        std::string RunId;
    };

    using Sender = std::function<bool(Destinations, const std::vector<EventDescriptor>&)>;

    // Copies the events and posts one task that uploads them; never waits for
    // the network (Windows only: the task calls SendEvents).
    static void LogEventsAsync(cBackgroundWorker& worker, Destinations destinations,
                               const std::vector<EventDescriptor>& events);
    static void LogEventsAsync(cBackgroundWorker& worker, const std::vector<EventDescriptor>& events);
    // The same with the upload step given, so the queueing can be tested alone.
    static void LogEventsAsyncWith(cBackgroundWorker& worker, Destinations destinations,
                                   const std::vector<EventDescriptor>& events, Sender send);

    // Builds the document and posts it to the chosen endpoints (Windows only);
    // true when every POST was accepted.
    static bool SendEvents(Destinations destinations, const std::vector<EventDescriptor>& events);

    // The document with this process's texts (Windows only).
    static std::string BuildEventDocument(const std::vector<EventDescriptor>& events);
    // Empty when there are no events or any event has no name or no attributes.
    static std::string BuildEventDocument(const std::vector<EventDescriptor>& events,
                                          const DocumentTexts& texts);

    // POST to destination 0 (SDK) or 1 (product); true for a 2xx answer (Windows only).
    static bool PostEventDocument(uint32_t destination, const std::string& document);

    // "https://" + host + path + query, the run id last.
    static std::string EndpointUrl(uint32_t destination, const std::string& runId);
    // The port of the configured host, 443 when it names none.
    static uint16_t EndpointPort(uint32_t destination);
    static const char* EndpointHost(uint32_t destination);

    // Set when the settings are loaded; the run id is made once per process.
    static void SetIdentity(const std::string& productId, const std::string& sandboxId,
                            const std::string& deploymentId);
    static void EnsureRunId();
    static Identity GetIdentity();

    // "Wine" or "Windows", and the version text for it (Windows only).
    static std::string OsName(const cHostFacts& host);
    static std::string OsVersion(const cHostFacts& host);
};

// "%i.%i %s (Build %i)" with the machine's name, at most 63 characters.
std::string FormatWindowsVersion(uint32_t major, uint32_t minor, uint16_t nativeMachine, uint32_t build);

}  // namespace tavrin::launcher
