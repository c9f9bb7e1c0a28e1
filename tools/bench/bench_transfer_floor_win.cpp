// BenchTransferFloor: one transfer through the launcher's libcurl build and
// TLS back-end with the launcher's transfer settings, and nothing of the
// launcher around it: the platform's share of its revalidation and download.
//
//   BenchTransferFloor revalidate URL CA_FILE ETAG   (expects 304)
//   BenchTransferFloor download URL CA_FILE          (expects 200)
//
// Prints one JSON line: {"figure": "revalidate", "seconds": 0.031, "bytes": 0}
// timed from before curl's global set-up to the end of the transfer, as the
// launcher's first transfer of a run pays both. The body is counted, not kept.
// Exit code 0 when the answer had the expected status.
#include <curl/curl.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using Clock = std::chrono::steady_clock;

size_t CountBody(char*, size_t size, size_t count, void* total)
{
    *static_cast<size_t*>(total) += size * count;
    return size * count;
}

int NoProgress(void*, curl_off_t, curl_off_t, curl_off_t, curl_off_t) { return 0; }

// The launcher's fixed and transfer options.
void SetLauncherOptions(CURL* easy, const char* caFile, size_t* body)
{
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy, CURLOPT_SSL_OPTIONS, static_cast<long>(CURLSSLOPT_NO_REVOKE));
    curl_easy_setopt(easy, CURLOPT_CAINFO, caFile);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CountBody);
    curl_easy_setopt(easy, CURLOPT_WRITEDATA, static_cast<void*>(body));
    curl_easy_setopt(easy, CURLOPT_DNS_SHUFFLE_ADDRESSES, 1L);
    curl_easy_setopt(easy, CURLOPT_DNS_CACHE_TIMEOUT, 0L);
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, 30000L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_LIMIT, 5120L);
    curl_easy_setopt(easy, CURLOPT_LOW_SPEED_TIME, 60L);
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, 512L * 1024);
    curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, &NoProgress);
}

}  // namespace

int main(int argc, char** argv)
{
    const bool revalidate = argc == 5 && std::strcmp(argv[1], "revalidate") == 0;
    const bool download = argc == 4 && std::strcmp(argv[1], "download") == 0;
    if (!revalidate && !download) {
        std::fprintf(stderr, "usage: BenchTransferFloor revalidate URL CA_FILE ETAG | download URL CA_FILE\n");
        return 2;
    }
    const Clock::time_point start = Clock::now();
    if (curl_global_init(CURL_GLOBAL_ALL) != CURLE_OK)
        return 1;
    CURL* easy = curl_easy_init();
    if (easy == nullptr)
        return 1;
    size_t body = 0;
    SetLauncherOptions(easy, argv[3], &body);
    curl_slist* headers = nullptr;
    for (const char* line : {"Accept: application/octet-stream", "Accept-Encoding: identity",
                             "Cache-Control: max-age=0", "User-Agent: Tavrin-Client/1.0"})
        headers = curl_slist_append(headers, line);
    const std::string match = revalidate ? std::string("If-None-Match: ") + argv[4] : std::string();
    if (revalidate)
        headers = curl_slist_append(headers, match.c_str());
    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers);
    curl_easy_setopt(easy, CURLOPT_URL, argv[2]);
    const CURLcode code = curl_easy_perform(easy);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    long status = 0;
    curl_easy_getinfo(easy, CURLINFO_RESPONSE_CODE, &status);
    curl_slist_free_all(headers);
    curl_easy_cleanup(easy);
    curl_global_cleanup();
    if (code != CURLE_OK || status != (revalidate ? 304 : 200)) {
        std::fprintf(stderr, "BenchTransferFloor: curl code %d, status %ld\n", static_cast<int>(code), status);
        return 1;
    }
    std::printf("{\"figure\": \"%s\", \"seconds\": %.6f, \"bytes\": %zu}\n", argv[1], seconds, body);
    return 0;
}
