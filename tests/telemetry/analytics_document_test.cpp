#include "telemetry/analytics.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>

namespace tavrin::launcher {
namespace {

using Event = Analytics::EventDescriptor;

Analytics::DocumentTexts Texts()
{
    Analytics::DocumentTexts texts;
    texts.Source = "Bootstrapper/1.9.4";
    texts.BuildTime = "Oct 28 2025 12:43:38";
    texts.ProductId = "prod-1";
    texts.SandboxId = "sand-1";
    texts.DeploymentId = "dep-1";
    texts.OsName = "Wine";
    texts.OsVersion = "wine-8.0";
    return texts;
}

constexpr char kFixed[] = "\"Source\":\"Bootstrapper/1.9.4\",\"BuildTime\":\"Oct 28 2025 12:43:38\","
                          "\"ProductId\":\"prod-1\",\"SandboxId\":\"sand-1\",\"DeploymentId\":\"dep-1\","
                          "\"OSName\":\"Wine\",\"OSVer\":\"wine-8.0\"";

TEST(BuildEventDocument, OneRawAttributeByteForByte)
{
    const std::vector<Event> events = {
        {"AntiCheat.Info.BootstrapperResult", {EventAttribute("LaunchResult", 301)}}};
    EXPECT_EQ(Analytics::BuildEventDocument(events, Texts()),
              std::string("{\"Events\":[{\"EventName\":\"AntiCheat.Info.BootstrapperResult\",") + kFixed +
                  ",\"LaunchResult\":301}]}");
}

TEST(BuildEventDocument, SeveralEventsAndAttributesInOrder)
{
    const std::vector<Event> events = {
        {"A", {EventAttribute("x", -5), EventAttribute("y", std::string("text"))}},
        {"B", {EventAttribute("z", 0)}},
    };
    EXPECT_EQ(Analytics::BuildEventDocument(events, Texts()),
              std::string("{\"Events\":[{\"EventName\":\"A\",") + kFixed +
                  ",\"x\":-5,\"y\":\"text\"},{\"EventName\":\"B\"," + kFixed + ",\"z\":0}]}");
}

TEST(BuildEventDocument, InvalidListsSendNothing)
{
    const std::vector<std::vector<Event>> cases = {
        {},
        {{"A", {EventAttribute("x", 1)}}, {"B", {}}},
        {{"", {EventAttribute("x", 1)}}},
    };
    for (const auto& events : cases) {
        EXPECT_EQ(Analytics::BuildEventDocument(events, Texts()), "");
    }
}

TEST(BuildEventDocument, EscapesAttributeKeysAndValues)
{
    const std::pair<std::string, std::string> cases[] = {
        {"a\"b", "a\\\"b"},
        {std::string("k\x01"), "k\\u0001"},
        {"back\\slash", "back\\\\slash"},
        {"\b\t\n\f\r", "\\b\\t\\n\\f\\r"},
        {"\x1F", "\\u001F"},
        {"\xC3\xA9t\xC3\xA9", "\xC3\xA9t\xC3\xA9"},
    };
    for (const auto& [raw, escaped] : cases) {
        const std::vector<Event> events = {{"E", {EventAttribute(raw, raw)}}};
        const std::string document = Analytics::BuildEventDocument(events, Texts());
        EXPECT_NE(document.find("\"" + escaped + "\":\"" + escaped + "\"}"), std::string::npos) << document;
    }
}

TEST(EventAttribute, IntegerKindIsRaw)
{
    const EventAttribute number("n", -2147483647 - 1);
    EXPECT_TRUE(number.Raw);
    EXPECT_EQ(number.Value, "-2147483648");
    EXPECT_FALSE(EventAttribute("t", std::string("1")).Raw);
}

TEST(EndpointUrl, PathAndQueryPerDestination)
{
    const std::string sdk = Analytics::EndpointUrl(0, "run-id");
    EXPECT_EQ(sdk, std::string("https://") + Analytics::EndpointHost(0) +
                       "/telemetry/data/moxtrel/api/v1/public/data?AppVersion=1.0.0&"
                       "AppEnvironment=Production&UploadType=sdkevents&"
                       "AppID=QRVSDK.AntiCheatExt.Launcher&SessionId=run-id");
    EXPECT_EQ(Analytics::EndpointUrl(1, "r"),
              std::string("https://") + Analytics::EndpointHost(1) +
                  "/moxtrel/api/v1/public/data?AppVersion=1.0.0&AppEnvironment=Production&"
                  "UploadType=eteventstream&AppID=tavrin&SessionId=r");
}

TEST(FormatWindowsVersion, MachineNames)
{
    EXPECT_EQ(FormatWindowsVersion(10, 0, 0x8664, 19045), "10.0 x86-64 (Build 19045)");
    EXPECT_EQ(FormatWindowsVersion(10, 0, 0xAA64, 22631), "10.0 ARM64 (Build 22631)");
    EXPECT_EQ(FormatWindowsVersion(6, 1, 0x014C, 7601), "6.1 x86-32 (Build 7601)");
    EXPECT_EQ(FormatWindowsVersion(10, 0, 0, 1), "10.0 Unknown (Build 1)");
}

TEST(Identity, RunIdIsMadeOnce)
{
    Analytics::SetIdentity("p", "s", "d");
    Analytics::EnsureRunId();
    const Analytics::Identity first = Analytics::GetIdentity();
    Analytics::EnsureRunId();
    Analytics::SetIdentity("p2", "s2", "d2");
    const Analytics::Identity second = Analytics::GetIdentity();
    EXPECT_EQ(first.RunId.size(), 36u);
    EXPECT_EQ(first.RunId, second.RunId);
    EXPECT_EQ(second.ProductId, "p2");
    EXPECT_EQ(second.DeploymentId, "d2");
}

TEST(LogEventsAsync, SendsACopyOnTheWorkerThread)
{
    tavrin::cBackgroundWorker worker;
    ASSERT_TRUE(worker.Start());
    std::atomic<int> calls{0};
    std::thread::id sender;
    std::vector<Event> seen;
    Analytics::Destinations seenDestinations = Analytics::DestinationSdk;
    {
        std::vector<Event> events = {{"E", {EventAttribute("k", 7)}}};
        Analytics::LogEventsAsyncWith(worker, Analytics::DestinationBoth, events,
                                      [&](Analytics::Destinations d, const std::vector<Event>& e) {
                                          sender = std::this_thread::get_id();
                                          seenDestinations = d;
                                          seen = e;
                                          ++calls;
                                          return true;
                                      });
        events.clear();  // the queued task owns its own copy
    }
    worker.Drain();
    EXPECT_EQ(calls.load(), 1);
    EXPECT_NE(sender, std::this_thread::get_id());
    EXPECT_EQ(seenDestinations, Analytics::DestinationBoth);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].Attributes[0].Value, "7");
}

}  // namespace
}  // namespace tavrin::launcher
