// The sharp filter, a window row at a time in two passes: down, the picture
// rows the window row covers are blended into four 16-bit channel sums a
// picture column; across, those sums are blended into the window pixels and
// rounded once. A window row that covers the same single picture row as the
// one above it is a copy of it. The weights of every window column and row
// are worked out once a layout. Both passes use SSE2, and AVX2 where the
// processor has it; the plain loops give the same values.
#include "sharp_scaler.h"

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VARNHOLT_AVX2 1
#endif

namespace vh::platform {
namespace {

using Span = SharpScaler::Span;

constexpr int kUnit = 1 << SharpScaler::kWeightBits;
// Both passes' weights multiply: the sum is rounded once, at the end.
constexpr int kShift = 2 * SharpScaler::kWeightBits;
constexpr int kHalf = 1 << (kShift - 1);

// A pixel's four 8-bit channels, each in a 16-bit lane.
inline uint64_t spread(uint32_t pixel) {
    uint64_t p = pixel;
    p = (p | p << 16) & 0x0000FFFF0000FFFFull;
    return (p | p << 8) & 0x00FF00FF00FF00FFull;
}

#ifdef VARNHOLT_AVX2
// Twice as wide where the processor has AVX2, which it is asked once, while
// the program's statics are made (so its features are read first). Each
// answers how far it got; the narrower loops do the rest.
const bool kAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();

__attribute__((target("avx2"))) int blendDownEights(const Uint8* const* lines,
                                                    const int16_t* weights, int count, int c0,
                                                    int c1, uint64_t* sums) {
    const __m256i zero = _mm256_setzero_si256();
    int c = c0;
    for (; c + 8 <= c1; c += 8) {
        __m256i low = zero, high = zero;
        for (int k = 0; k < count; ++k) {
            const __m256i p =
                _mm256_loadu_si256(reinterpret_cast<const __m256i*>(lines[k] + 4 * size_t(c)));
            const __m256i w = _mm256_set1_epi16(weights[k]);
            low = _mm256_add_epi16(low, _mm256_mullo_epi16(_mm256_unpacklo_epi8(p, zero), w));
            high = _mm256_add_epi16(high, _mm256_mullo_epi16(_mm256_unpackhi_epi8(p, zero), w));
        }
        // Each half holds columns 0, 1 and 4, 5 (low) or 2, 3 and 6, 7 (high).
        auto* to = reinterpret_cast<__m256i*>(sums + (c - c0));
        _mm256_storeu_si256(to, _mm256_permute2x128_si256(low, high, 0x20));
        _mm256_storeu_si256(to + 1, _mm256_permute2x128_si256(low, high, 0x31));
    }
    return c;
}

// The window pixels of columns x and x + 1, each as four 32-bit channels.
__attribute__((target("avx2"))) inline __m256i twoAcross(const uint64_t* sums, int c0,
                                                         const Span* spans, const uint32_t* pairs,
                                                         int x) {
    const __m256i both = _mm256_inserti128_si256(
        _mm256_castsi128_si256(
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + (spans[x].first - c0)))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + (spans[x + 1].first - c0))), 1);
    const __m256i paired = _mm256_unpacklo_epi16(both, _mm256_srli_si256(both, 8));
    const __m256i pair = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(pairs + 4 * x));
    return _mm256_srai_epi32(
        _mm256_add_epi32(_mm256_madd_epi16(paired, pair), _mm256_set1_epi32(kHalf)), kShift);
}

__attribute__((target("avx2"))) int blendAcrossEights(const uint64_t* sums, int c0,
                                                      const Span* spans, const uint32_t* pairs,
                                                      int n, uint32_t* out) {
    // The packs work within halves: pixels come out 0 2 4 6 1 3 5 7.
    const __m256i order = _mm256_setr_epi32(0, 4, 1, 5, 2, 6, 3, 7);
    int x = 0;
    for (; x + 8 <= n; x += 8) {
        const __m256i first = _mm256_packs_epi32(twoAcross(sums, c0, spans, pairs, x),
                                                 twoAcross(sums, c0, spans, pairs, x + 2));
        const __m256i second = _mm256_packs_epi32(twoAcross(sums, c0, spans, pairs, x + 4),
                                                  twoAcross(sums, c0, spans, pairs, x + 6));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                            _mm256_permutevar8x32_epi32(_mm256_packus_epi16(first, second), order));
    }
    return x;
}
#endif

// Picture columns [c0, c1) of `count` rows blended down into `sums`.
void blendDown(const Uint8* const* lines, const int16_t* weights, int count, int c0, int c1,
               uint64_t* sums) {
    int c = c0;
#ifdef VARNHOLT_AVX2
    if (kAvx2) c = blendDownEights(lines, weights, count, c0, c1, sums);
#endif
#ifdef __SSE2__
    const __m128i zero = _mm_setzero_si128();
    for (; c + 4 <= c1; c += 4) {
        __m128i low = zero, high = zero;
        for (int k = 0; k < count; ++k) {
            const __m128i p =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(lines[k] + 4 * size_t(c)));
            const __m128i w = _mm_set1_epi16(weights[k]);
            low = _mm_add_epi16(low, _mm_mullo_epi16(_mm_unpacklo_epi8(p, zero), w));
            high = _mm_add_epi16(high, _mm_mullo_epi16(_mm_unpackhi_epi8(p, zero), w));
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + (c - c0)), low);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(sums + (c - c0) + 2), high);
    }
#endif
    for (; c < c1; ++c) {
        uint64_t sum = 0;
        for (int k = 0; k < count; ++k)
            sum += uint64_t(weights[k]) * spread(reinterpret_cast<const uint32_t*>(lines[k])[c]);
        sums[c - c0] = sum;
    }
}

// The window pixel whose column covers `taps` sums from `from`.
inline uint32_t blendAcross(const uint64_t* from, const int16_t* weights, int taps) {
    uint32_t pixel = 0;
    for (int lane = 0; lane < 4; ++lane) {
        int sum = kHalf;
        for (int k = 0; k < taps; ++k) sum += weights[k] * int((from[k] >> (16 * lane)) & 0xFFFF);
        pixel |= uint32_t(sum >> kShift) << (8 * lane);
    }
    return pixel;
}

#ifdef __SSE2__
// Window pixels of columns covering at most two picture columns, four at a
// time: a column's two sums side by side, lane by lane, weighed by one
// multiply-add with the column's `pairs` (its two weights, four times). The
// sums start at picture column c0. Answers how many were drawn.
int blendAcrossFours(const uint64_t* sums, int c0, const Span* spans, const uint32_t* pairs, int n,
                     uint32_t* out) {
#ifdef VARNHOLT_AVX2
    int x = kAvx2 ? blendAcrossEights(sums, c0, spans, pairs, n, out) : 0;
#else
    int x = 0;
#endif
    const __m128i half = _mm_set1_epi32(kHalf);
    auto pixel = [&](int x) {
        const __m128i both =
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(sums + (spans[x].first - c0)));
        const __m128i paired = _mm_unpacklo_epi16(both, _mm_srli_si128(both, 8));
        const __m128i pair = _mm_loadu_si128(reinterpret_cast<const __m128i*>(pairs + 4 * x));
        return _mm_srai_epi32(_mm_add_epi32(_mm_madd_epi16(paired, pair), half), kShift);
    };
    for (; x + 4 <= n; x += 4) {
        const __m128i first = _mm_packs_epi32(pixel(x), pixel(x + 1));
        const __m128i second = _mm_packs_epi32(pixel(x + 2), pixel(x + 3));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + x), _mm_packus_epi16(first, second));
    }
    return x;
}
#else
int blendAcrossFours(const uint64_t*, int, const Span*, const uint32_t*, int, uint32_t*) {
    return 0;
}
#endif

}  // namespace

// Window pixel i covers the picture from i * size / drawn to (i + 1) * size
// / drawn; in units of 1 / drawn of a picture pixel both ends are whole, and
// so is every overlap. The weights are the overlaps over the window pixel's
// width, in 1 / kUnit, rounded as running totals so that they sum to kUnit.
void SharpScaler::Axis::build(int pictureSize, int drawnSize) {
    spans.assign(size_t(std::max(drawnSize, 0)), Span{});
    weights.clear();
    widest = 0;
    if (pictureSize <= 0 || drawnSize <= 0) return;
    const int64_t size = pictureSize, drawn = drawnSize;
    std::vector<int16_t> own;
    for (int64_t i = 0; i < drawn; ++i) {
        const int64_t begin = i * size, end = (i + 1) * size;
        Span& span = spans[size_t(i)];
        span.first = int(begin / drawn);
        span.count = int((end - 1) / drawn) - span.first + 1;
        int64_t covered = 0, given = 0;
        for (int64_t j = span.first; j < span.first + span.count; ++j) {
            covered += std::min(end, (j + 1) * drawn) - std::max(begin, j * drawn);
            const int64_t total = (2 * kUnit * covered + size) / (2 * size);
            own.push_back(int16_t(total - given));
            given = total;
        }
        widest = std::max(widest, span.count);
    }
    // Every window pixel gets `widest` weights, the ones past its own 0, so
    // that a loop over them runs the same length every time.
    weights.assign(spans.size() * size_t(widest), 0);
    size_t next = 0;
    for (size_t i = 0; i < spans.size(); ++i) {
        spans[i].at = int(i) * widest;
        for (int k = 0; k < spans[i].count; ++k) weights[size_t(spans[i].at + k)] = own[next++];
    }
}

void SharpScaler::Axis::covering(int from, int to, int& begin, int& end) const {
    auto lastBefore = [&](const Span& s) { return s.first + s.count <= from; };
    auto firstBefore = [&](const Span& s) { return s.first < to; };
    begin = int(std::partition_point(spans.begin(), spans.end(), lastBefore) - spans.begin());
    end = int(std::partition_point(spans.begin(), spans.end(), firstBefore) - spans.begin());
}

void SharpScaler::relayout(const PictureLayout& layout) {
    layout_ = layout;
    columns_.build(layout.pictureWidth, layout.width);
    rows_.build(layout.pictureHeight, layout.height);
    // Room for the taps past the last column, whose weights are 0.
    sums_.assign(size_t(std::max(layout.pictureWidth, 0) + columns_.widest + 1), 0);
    lines_.assign(size_t(rows_.widest), nullptr);
    pairs_.clear();
    if (columns_.widest > 2) return;
    for (const Span& span : columns_.spans) {
        const int16_t* w = columns_.weights.data() + span.at;
        const uint32_t second = columns_.widest > 1 ? uint16_t(w[1]) : 0;
        pairs_.insert(pairs_.end(), 4, uint16_t(w[0]) | second << 16);
    }
}

SDL_Rect SharpScaler::draw(const SDL_Surface* picture, const SDL_Rect& changed,
                           SDL_Surface* target) {
    const PictureLayout& l = layout_;
    if (l.empty() || changed.w <= 0 || changed.h <= 0) return SDL_Rect{0, 0, 0, 0};
    int x0, x1, y0, y1;
    columns_.covering(changed.x, changed.x + changed.w, x0, x1);
    rows_.covering(changed.y, changed.y + changed.h, y0, y1);
    if (x0 >= x1 || y0 >= y1) return SDL_Rect{0, 0, 0, 0};

    const Span* spans = columns_.spans.data() + x0;
    const int c0 = spans[0].first;
    const int c1 = columns_.spans[size_t(x1 - 1)].first + columns_.spans[size_t(x1 - 1)].count;
    const int n = x1 - x0;
    const int taps = columns_.widest;
    auto windowRow = [&](int y) {
        return reinterpret_cast<uint32_t*>(static_cast<Uint8*>(target->pixels) +
                                           size_t(l.y + y) * size_t(target->pitch)) +
               l.x + x0;
    };
    for (int y = y0; y < y1; ++y) {
        const Span& row = rows_.spans[size_t(y)];
        uint32_t* out = windowRow(y);
        const Span* above = y > y0 ? &rows_.spans[size_t(y - 1)] : nullptr;
        if (above && row.count == 1 && above->count == 1 && above->first == row.first) {
            std::memcpy(out, windowRow(y - 1), size_t(n) * 4);
            continue;
        }
        for (int k = 0; k < row.count; ++k)
            lines_[size_t(k)] = static_cast<const Uint8*>(picture->pixels) +
                                size_t(row.first + k) * size_t(picture->pitch);
        blendDown(lines_.data(), rows_.weights.data() + row.at, row.count, c0, c1, sums_.data());
        const int16_t* weights = columns_.weights.data();
        int x = taps <= 2
                    ? blendAcrossFours(sums_.data(), c0, spans, pairs_.data() + 4 * x0, n, out)
                    : 0;
        for (; x < n; ++x)
            out[x] = blendAcross(sums_.data() + (spans[x].first - c0), weights + spans[x].at, taps);
    }
    return SDL_Rect{l.x + x0, l.y + y0, n, y1 - y0};
}

}  // namespace vh::platform
