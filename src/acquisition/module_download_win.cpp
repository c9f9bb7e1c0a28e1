#include "acquisition/module_download_win.h"

#include <windows.h>

#include <string_view>
#include <vector>

#include "acquisition/curl_handle_win.h"
#include "acquisition/download_rules.h"
#include "acquisition/module_decode.h"
#include "base/files_win.h"
#include "localization/localization.h"
#include "localization/messages.h"
#include "logging/logger.h"

namespace tavrin::launcher {

namespace {

constexpr int32_t kDownloadConnectTimeoutMs = 30000;
constexpr long kLowSpeedLimitBytesPerSecond = 5120;
constexpr long kLowSpeedTimeSeconds = 60;
// Fewer, larger reads through the TLS layer for a module of megabytes.
constexpr long kReceiveBufferBytes = 512 * 1024;
constexpr uint64_t kMaxOverrideFileBytes = 64 * 1024;

const char* const kRequestHeaders[] = {
    "Accept: application/octet-stream",
    "Accept-Encoding: identity",
    "Cache-Control: max-age=0",
    "User-Agent: Tavrin-Client/1.0",
};

std::string Text(const ModuleDownloadContext& context, const MessageText& message,
                 const std::vector<std::string>& args = {})
{
    if (context.Texts == nullptr) {
        cLocalization builtIn;
        return builtIn.GetText(message.Key, message.Text, args);
    }
    return context.Texts->GetText(message.Key, message.Text, args);
}

void LogText(const std::string& text) { LogPrintf(Info, "%s", text.c_str()); }

void LogTransportLine(const char* line) { LogPrintf(Info, "%s", line); }

int OnTransferProgress(void* data, curl_off_t downloadTotal, curl_off_t downloaded, curl_off_t, curl_off_t)
{
    auto* context = static_cast<ModuleDownloadContext*>(data);
    if (!context->OnProgress) {
        return 0;
    }
    return context->OnProgress(static_cast<uint32_t>(downloadTotal), static_cast<uint32_t>(downloaded)) == 1
               ? 1
               : 0;
}

void SetTransferOptions(cCurlHandle& curl, ModuleDownloadContext& context)
{
    curl.SetOption(CURLOPT_DNS_SHUFFLE_ADDRESSES, 1L);
    curl.SetOption(CURLOPT_DNS_CACHE_TIMEOUT, 0L);
    curl.SetConnectTimeout(kDownloadConnectTimeoutMs);
    curl.SetOption(CURLOPT_LOW_SPEED_LIMIT, kLowSpeedLimitBytesPerSecond);
    curl.SetOption(CURLOPT_LOW_SPEED_TIME, kLowSpeedTimeSeconds);
    curl.SetOption(CURLOPT_HTTPGET, 1L);
    curl.SetOption(CURLOPT_BUFFERSIZE, kReceiveBufferBytes);
    curl.SetOption(CURLOPT_NOPROGRESS, 0L);
    curl.SetOption(CURLOPT_XFERINFODATA, static_cast<void*>(&context));
    curl.SetOption(CURLOPT_XFERINFOFUNCTION, &OnTransferProgress);
}

void NotifyDone(ModuleDownloadContext& context)
{
    if (context.OnProgress) {
        context.OnProgress(1, 1);
    }
}

bool LoadFromCache(ModuleDownloadContext& context)
{
    return context.Cache != nullptr && LoadCachedModule(*context.Cache, context.LoadModule);
}

// A 200 answer above the size of a "service off" body: its encoded bytes go
// to the cache's temporary file, then the body is decoded in place and moves
// on to the loader, so the module is held in memory once.
void AcceptModule(ModuleDownloadContext& context, cCurlHandle& curl)
{
    NotifyDone(context);
    std::string etag;
    if (!curl.GetResponseHeader("ETag", etag)) {
        etag = "N/A";
    }
    std::vector<uint8_t> module = curl.TakeBody();
    if (context.Cache != nullptr) {
        // A newer module replaces the checked cached copy: not two at once.
        context.Cache->CachedBytes = {};
        StageDownloadedModule(*context.Cache, module.data(), module.size());
        context.Cache->ReceivedETag = etag;
    }
    DecodeModule(module.data(), module.size());
    if (context.LoadModule) {
        context.LoadModule(std::move(module));
    }
}

// Message of a failed transfer; false for a cancellation, which is not reported.
bool DescribeTransferFailure(const ModuleDownloadContext& context, CURLcode code, std::string& message)
{
    switch (code) {
    case CURLE_COULDNT_RESOLVE_PROXY:
        message = Text(context, kMsgDnsResolveFailed);
        return true;
    case CURLE_COULDNT_RESOLVE_HOST:
        message = Text(context, kMsgDns);
        return true;
    case CURLE_ABORTED_BY_CALLBACK:
        message = Text(context, kMsgCancelled);
        return false;
    default:
        message = Text(context, kMsgDnsConnectionFailed, {std::to_string(static_cast<int>(code))});
        return true;
    }
}

}  // namespace

bool DownloadModule(ModuleDownloadContext& context, const std::string& urlTemplate, bool reportErrors,
                    bool& cancelled)
{
    cancelled = false;
    cCurlHandle curl;
    curl.SetLogFunction(&LogTransportLine);
    if (!curl.Setup()) {
        LogPrintf(Error, "Failed to initialize curl!");
        return false;
    }
    for (const char* line : kRequestHeaders) {
        curl.AddRequestHeaderLine(line);
    }
    const std::string prefix =
        context.AllowedPrefix.empty() ? AllowedCdnPrefix(context.GameDev) : context.AllowedPrefix;
    if (!HasAllowedPrefix(urlTemplate, prefix)) {
        LogText(Text(context, kMsgDisallowedCdnPath));
        return false;
    }
    if (context.Cache != nullptr && context.Cache->Valid) {
        curl.AddRequestHeaderLine("If-None-Match: " + context.Cache->CachedETag);
    }
    SetTransferOptions(curl, context);

    const std::string url =
        ExpandUrlTemplate(urlTemplate, context.ProductId, context.DeploymentId, context.SystemName);
    CURLcode code = CURLE_OK;
    curl.Perform(url, code, 0);

    int32_t result = kLoaderCdnUnreachable;
    std::string message;
    if (code == CURLE_OK) {
        const long status = curl.ResponseCode();
        if (status == 304) {
            LogPrintf(Info, "No update needed.");
            NotifyDone(context);
            if (LoadFromCache(context)) {
                return true;
            }
        } else if (status == 200) {
            if (curl.Body().size() > kDisabledServiceMaxBody) {
                AcceptModule(context, curl);
                return true;
            }
            LogPrintf(Info, "Anti-cheat service disabled on backend.");
        }
        result = ResultForHttpStatus(status);
        message = Text(context, kMsgHttpResponse, {std::to_string(status), "0"});
    } else if (!DescribeTransferFailure(context, code, message)) {
        LogText(message);
        cancelled = true;
        return false;
    }

    LogText(message);
    if (reportErrors) {
        if (result == kLoaderCdnUnreachable && LoadFromCache(context)) {
            return false;
        }
        if (context.Report) {
            context.Report(result, message);
        }
    }
    return false;
}

void RunModuleDownload(ModuleDownloadContext& context, const std::string& overrideUrl)
{
    if (overrideUrl.empty()) {
        bool cancelled = false;
        DownloadModule(context, CdnUrlTemplate(context.GameDev), true, cancelled);
        return;
    }
    LogPrintf(Info, "CDN path overridden by local config file.");
    const std::string notice =
        "Downloading undeployed anti-cheat module, build id: " + BuildIdFromOverride(overrideUrl) + ".";
    if (context.ShowInfo && !context.ImmediateExitOnError) {
        context.ShowInfo(notice);
    }
    bool cancelled = false;
    if (!DownloadModule(context, overrideUrl, false, cancelled) && !cancelled && context.Report) {
        context.Report(kLoaderOverrideDownloadFailed, Text(context, kMsgConnectionFailed) + overrideUrl);
    }
    // A module fetched through an override never reaches the cache, and a
    // cached one it used is consumed.
    if (context.Cache != nullptr) {
        StoreCachedModule(*context.Cache, false);
    }
}

std::string ReadCdnOverrideFile(const std::string& gamePath)
{
    std::vector<uint8_t> bytes;
    if (gamePath.empty() ||
        !ReadFileBytes((gamePath + kCdnOverrideExtension).c_str(), bytes, kMaxOverrideFileBytes)) {
        return {};
    }
    return FindCdnOverride(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

void ShowOverrideNotice(const std::string& message)
{
    MessageBoxW(nullptr, Utf8ToUtf16(message).c_str(), L"Tavrin Launch Info", MB_OK | MB_ICONINFORMATION);
}

}  // namespace tavrin::launcher
