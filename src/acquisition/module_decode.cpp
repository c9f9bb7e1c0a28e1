#include "acquisition/module_decode.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tavrin::launcher {

namespace {

uint8_t IndexTerm(size_t k) { return static_cast<uint8_t>(3u * static_cast<uint8_t>(k)); }

// Written as D[k] = (-1)^k d[k], the decoding is a suffix sum:
// D[k] = (-1)^k (e[k] - 3k) + D[k + 1], D[n] = 0. Bytes from `from` up are
// decoded one at a time, from the end; the sum so far is returned.
uint8_t DecodeTail(uint8_t* bytes, size_t from, size_t length)
{
    uint8_t sum = 0;
    for (size_t k = length; k-- > from;) {
        const uint8_t term = static_cast<uint8_t>(bytes[k] - IndexTerm(k));
        sum = static_cast<uint8_t>(sum + ((k & 1) != 0 ? -term : term));
        bytes[k] = (k & 1) != 0 ? static_cast<uint8_t>(-sum) : sum;
    }
    return sum;
}

#if defined(__SSE2__)

// Negates the odd lanes: (x ^ m) - m is -x where m is all ones.
__m128i NegateOddLanes(__m128i x)
{
    const __m128i odd = _mm_set1_epi16(static_cast<short>(0xFF00));
    return _mm_sub_epi8(_mm_xor_si128(x, odd), odd);
}

// Sixteen bytes at a time: the suffix sum inside a block in four shifted
// additions, plus the sum carried from the block above it.
void DecodeBlocks(uint8_t* bytes, size_t blocks, uint8_t carried)
{
    const __m128i lanes = _mm_setr_epi8(0, 3, 6, 9, 12, 15, 18, 21, 24, 27, 30, 33, 36, 39, 42, 45);
    __m128i carry = _mm_set1_epi8(static_cast<char>(carried));
    for (size_t block = blocks; block-- > 0;) {
        uint8_t* at = bytes + block * 16;
        const __m128i index = _mm_add_epi8(lanes, _mm_set1_epi8(static_cast<char>(IndexTerm(block * 16))));
        __m128i sum =
            NegateOddLanes(_mm_sub_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(at)), index));
        sum = _mm_add_epi8(sum, _mm_srli_si128(sum, 1));
        sum = _mm_add_epi8(sum, _mm_srli_si128(sum, 2));
        sum = _mm_add_epi8(sum, _mm_srli_si128(sum, 4));
        sum = _mm_add_epi8(sum, _mm_srli_si128(sum, 8));
        sum = _mm_add_epi8(sum, carry);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(at), NegateOddLanes(sum));
        // Lane 0 to every lane.
        carry = _mm_unpacklo_epi8(sum, sum);
        carry = _mm_shuffle_epi32(_mm_shufflelo_epi16(carry, 0), 0);
    }
}

#endif

}  // namespace

void DecodeModule(uint8_t* bytes, size_t length)
{
    if (bytes == nullptr || length < 2) {
        return;
    }
#if defined(__SSE2__)
    const size_t blocks = length / 16;
    DecodeBlocks(bytes, blocks, DecodeTail(bytes, blocks * 16, length));
#else
    DecodeTail(bytes, 0, length);
#endif
}

void EncodeModule(uint8_t* bytes, size_t length)
{
    if (bytes == nullptr || length < 2) {
        return;
    }
    // Ascending, so bytes[k + 1] still holds the plain byte when bytes[k] is encoded.
    for (size_t k = 0; k + 1 < length; ++k) {
        bytes[k] = static_cast<uint8_t>(bytes[k] + bytes[k + 1] + IndexTerm(k));
    }
    bytes[length - 1] = static_cast<uint8_t>(bytes[length - 1] + IndexTerm(length - 1));
}

}  // namespace tavrin::launcher
