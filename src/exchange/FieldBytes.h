#pragma once

#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace orv::exchange {

// The end of a fixed field's text without the blanks that pad it. A blank byte is never the
// second byte of a double-byte character, so the text ends where the blanks begin. Bodies are
// mostly padding, so the blanks are passed over 64 bytes at a time.
inline const char *endWithoutPadding(const char *begin, const char *end)
{
#if defined(__SSE2__)
    const __m128i blanks = _mm_set1_epi8(' ');
    while (end - begin >= 64) {
        const auto *block = reinterpret_cast<const __m128i *>(end - 64);
        const __m128i all =
            _mm_and_si128(_mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(block), blanks),
                                        _mm_cmpeq_epi8(_mm_loadu_si128(block + 1), blanks)),
                          _mm_and_si128(_mm_cmpeq_epi8(_mm_loadu_si128(block + 2), blanks),
                                        _mm_cmpeq_epi8(_mm_loadu_si128(block + 3), blanks)));
        if (_mm_movemask_epi8(all) != 0xFFFF)
            break;
        end -= 64;
    }
#endif
    constexpr std::uint64_t kBlanks = 0x2020202020202020ULL;
    while (end - begin >= 8) {
        std::uint64_t word;
        std::memcpy(&word, end - 8, 8);
        if (word != kBlanks)
            break;
        end -= 8;
    }
    while (end > begin && end[-1] == ' ')
        --end;
    return end;
}

} // namespace orv::exchange
