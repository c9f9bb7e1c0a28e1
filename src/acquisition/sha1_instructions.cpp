#include "acquisition/sha1_instructions.h"

#include <algorithm>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <immintrin.h>
#define TAVRIN_SHA1_X86 1
#endif

namespace tavrin::launcher {

namespace {

constexpr uint32_t kInitialState[5] = {0x67452301u, 0xEFCDAB89u, 0x98BADCFEu, 0x10325476u, 0xC3D2E1F0u};

#if defined(TAVRIN_SHA1_X86)

bool ProcessorHasShaExtensions()
{
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (!__get_cpuid(1, &eax, &ebx, &ecx, &edx)) {
        return false;
    }
    const bool ssse3 = (ecx & bit_SSSE3) != 0;
    const bool sse41 = (ecx & bit_SSE4_1) != 0;
    if (!__get_cpuid_count(7, 0, &eax, &ebx, &ecx, &edx)) {
        return false;
    }
    return ssse3 && sse41 && (ebx & bit_SHA) != 0;
}

#define TAVRIN_SHA_TARGET __attribute__((target("sha,ssse3,sse4.1")))

// Four rounds: the message words of group G (0..19) are expanded in a ring
// of four registers, E comes from A of four rounds before.
template <int G>
TAVRIN_SHA_TARGET __attribute__((always_inline)) inline void
Rounds(__m128i& abcd, __m128i& e, __m128i& previous, __m128i (&message)[4], const uint8_t* block)
{
    const __m128i byteSwap = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    __m128i& words = message[G & 3];
    if constexpr (G < 4) {
        words = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * G)), byteSwap);
    } else {
        words = _mm_sha1msg2_epu32(
            _mm_xor_si128(_mm_sha1msg1_epu32(words, message[(G + 1) & 3]), message[(G + 2) & 3]),
            message[(G + 3) & 3]);
    }
    __m128i term;
    if constexpr (G == 0) {
        term = _mm_add_epi32(e, words);
    } else {
        term = _mm_sha1nexte_epu32(previous, words);
    }
    previous = abcd;
    abcd = _mm_sha1rnds4_epu32(abcd, term, G / 5);
}

TAVRIN_SHA_TARGET void CompressBlocks(uint32_t (&state)[5], const uint8_t* bytes, size_t blocks)
{
    __m128i abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0x1B);
    __m128i e = _mm_set_epi32(static_cast<int>(state[4]), 0, 0, 0);
    for (size_t block = 0; block < blocks; ++block, bytes += 64) {
        const __m128i savedAbcd = abcd;
        const __m128i savedE = e;
        __m128i message[4];
        __m128i previous = abcd;
        Rounds<0>(abcd, e, previous, message, bytes);
        Rounds<1>(abcd, e, previous, message, bytes);
        Rounds<2>(abcd, e, previous, message, bytes);
        Rounds<3>(abcd, e, previous, message, bytes);
        Rounds<4>(abcd, e, previous, message, bytes);
        Rounds<5>(abcd, e, previous, message, bytes);
        Rounds<6>(abcd, e, previous, message, bytes);
        Rounds<7>(abcd, e, previous, message, bytes);
        Rounds<8>(abcd, e, previous, message, bytes);
        Rounds<9>(abcd, e, previous, message, bytes);
        Rounds<10>(abcd, e, previous, message, bytes);
        Rounds<11>(abcd, e, previous, message, bytes);
        Rounds<12>(abcd, e, previous, message, bytes);
        Rounds<13>(abcd, e, previous, message, bytes);
        Rounds<14>(abcd, e, previous, message, bytes);
        Rounds<15>(abcd, e, previous, message, bytes);
        Rounds<16>(abcd, e, previous, message, bytes);
        Rounds<17>(abcd, e, previous, message, bytes);
        Rounds<18>(abcd, e, previous, message, bytes);
        Rounds<19>(abcd, e, previous, message, bytes);
        e = _mm_sha1nexte_epu32(previous, savedE);
        abcd = _mm_add_epi32(abcd, savedAbcd);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_shuffle_epi32(abcd, 0x1B));
    state[4] = static_cast<uint32_t>(_mm_extract_epi32(e, 3));
}

#undef TAVRIN_SHA_TARGET

#else

bool ProcessorHasShaExtensions() { return false; }

void CompressBlocks(uint32_t (&)[5], const uint8_t*, size_t) {}

#endif

}  // namespace

bool cSha1Instructions::Start()
{
    static const bool available = ProcessorHasShaExtensions();
    Started = available;
    std::memcpy(State, kInitialState, sizeof State);
    PendingSize = 0;
    TotalBytes = 0;
    return Started;
}

void cSha1Instructions::Update(const uint8_t* bytes, size_t size)
{
    if (!Started || bytes == nullptr || size == 0) {
        return;
    }
    TotalBytes += size;
    if (PendingSize > 0) {
        const size_t taken = std::min(size, sizeof Pending - PendingSize);
        std::memcpy(Pending + PendingSize, bytes, taken);
        PendingSize += taken;
        bytes += taken;
        size -= taken;
        if (PendingSize < sizeof Pending) {
            return;
        }
        CompressBlocks(State, Pending, 1);
        PendingSize = 0;
    }
    CompressBlocks(State, bytes, size / 64);
    PendingSize = size % 64;
    std::memcpy(Pending, bytes + size - PendingSize, PendingSize);
}

bool cSha1Instructions::Finish(uint8_t (&digest)[kDigestBytes])
{
    if (!Started) {
        return false;
    }
    // 0x80, zeros up to 56 bytes into a block, then the length in bits, big-endian.
    const uint64_t bits = TotalBytes * 8;
    uint8_t tail[128] = {0x80};
    const size_t padding = (PendingSize < 56 ? 56 : 120) - PendingSize;
    for (int i = 0; i < 8; ++i) {
        tail[padding + i] = static_cast<uint8_t>(bits >> (56 - 8 * i));
    }
    Update(tail, padding + 8);
    for (size_t i = 0; i < 5; ++i) {
        for (size_t b = 0; b < 4; ++b) {
            digest[4 * i + b] = static_cast<uint8_t>(State[i] >> (24 - 8 * b));
        }
    }
    Started = false;
    return true;
}

bool Sha1WithInstructions(const uint8_t* bytes, size_t size,
                          uint8_t (&digest)[cSha1Instructions::kDigestBytes])
{
    cSha1Instructions hash;
    if (!hash.Start()) {
        return false;
    }
    hash.Update(bytes, size);
    return hash.Finish(digest);
}

}  // namespace tavrin::launcher
