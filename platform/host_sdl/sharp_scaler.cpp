// The sharp filter in two passes. Across: each picture row the drawn part
// needs is blended once into four 16-bit channel sums a window column.
// Down: each window row blends the one or two (more when reduced) such rows
// it covers and rounds once, so the two passes round as one would. A window
// row that covers the same single picture row as the one above it is a copy
// of it. The weights of every window column and row are worked out once a
// layout. Where the processor has AVX2 both passes use it for the usual
// case, a window column covering at most two picture columns and a window
// row at most two picture rows; the plain loops do the rest and give the
// same values.
#include "sharp_scaler.h"

#include <algorithm>
#include <cstring>

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

#ifdef VARNHOLT_AVX2
// Asked once, while the program's statics are made (so the processor's
// features are read first).
const bool kAvx2 = [] {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") != 0;
}();

// Window columns [from, to) of one picture row, four at a time from an even
// `from`: each half of the vector holds two columns, whose taps lie in the
// 16 bytes from the first picture pixel of the first of them. The bytes are
// shuffled so that each channel's two taps sit side by side, times the two
// weights, added. `out` starts at window column `origin`. Answers where it
// stopped.
__attribute__((target("avx2"))) int acrossFours(const uint32_t* line, const Span* spans,
                                                const uint8_t* picks, const int8_t* weights,
                                                int from, int to, int origin, uint16_t* out) {
    int x = from;
    for (; x + 4 <= to; x += 4) {
        const __m256i p = _mm256_inserti128_si256(
            _mm256_castsi128_si256(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + spans[x].first))),
            _mm_loadu_si128(reinterpret_cast<const __m128i*>(line + spans[x + 2].first)), 1);
        const __m256i pick =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(picks + 8 * size_t(x)));
        const __m256i w =
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(weights + 8 * size_t(x)));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 4 * size_t(x - origin)),
                            _mm256_maddubs_epi16(_mm256_shuffle_epi8(p, pick), w));
    }
    return x;
}

// Sixteen channels, four window pixels, of a window row covering one
// picture row (`b` null, its weight the whole kUnit) or two (`pair` holds
// their weights), rounded, as 16-bit values.
__attribute__((target("avx2"))) inline __m256i fourDown(const uint16_t* a, const uint16_t* b,
                                                        __m256i pair) {
    const __m256i p = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(a));
    // (sum + kHalf) >> kShift with a weight of kUnit is (sum + 64) >> 7,
    // which a rounding multiply by 256 gives.
    if (!b) return _mm256_mulhrs_epi16(p, _mm256_set1_epi16(1 << (15 - SharpScaler::kWeightBits)));
    const __m256i q = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(b));
    const __m256i half = _mm256_set1_epi32(kHalf);
    const __m256i low = _mm256_madd_epi16(_mm256_unpacklo_epi16(p, q), pair);
    const __m256i high = _mm256_madd_epi16(_mm256_unpackhi_epi16(p, q), pair);
    return _mm256_packs_epi32(_mm256_srli_epi32(_mm256_add_epi32(low, half), kShift),
                              _mm256_srli_epi32(_mm256_add_epi32(high, half), kShift));
}

// Window pixels [0, n) of a window row covering one or two picture rows,
// eight at a time. Answers how many.
__attribute__((target("avx2"))) int downEights(const uint16_t* a, const uint16_t* b, int16_t wa,
                                               int16_t wb, int n, uint32_t* out) {
    const __m256i pair = _mm256_set1_epi32(int(uint16_t(wa) | uint32_t(uint16_t(wb)) << 16));
    int x = 0;
    for (; x + 8 <= n; x += 8) {
        const size_t at = 4 * size_t(x);
        const __m256i packed =
            _mm256_packus_epi16(fourDown(a + at, b ? b + at : nullptr, pair),
                                fourDown(a + at + 16, b ? b + at + 16 : nullptr, pair));
        // The pack works within halves: pixels 0 1 4 5 2 3 6 7, put right.
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                            _mm256_permute4x64_epi64(packed, 0xD8));
    }
    return x;
}
#else
constexpr bool kAvx2 = false;
int acrossFours(const uint32_t*, const Span*, const uint8_t*, const int8_t*, int from, int, int,
                uint16_t*) {
    return from;
}
int downEights(const uint16_t*, const uint16_t*, int16_t, int16_t, int, uint32_t*) {
    return 0;
}
#endif

// Window columns [from, to) of one picture row; `out` starts at window
// column `origin`.
void across(const uint32_t* line, const Span* spans, const int16_t* weights, int from, int to,
            int origin, uint16_t* out) {
    for (int x = from; x < to; ++x) {
        const Span& span = spans[x];
        for (int lane = 0; lane < 4; ++lane) {
            int sum = 0;
            for (int k = 0; k < span.count; ++k)
                sum += weights[span.at + k] * int((line[span.first + k] >> (8 * lane)) & 0xFF);
            out[4 * (x - origin) + lane] = uint16_t(sum);
        }
    }
}

// Window pixels [from, n) of a window row from the rows blended across.
void down(const uint16_t* const* rows, const int16_t* weights, int count, int from, int n,
          uint32_t* out) {
    for (int x = from; x < n; ++x) {
        uint32_t pixel = 0;
        for (int lane = 0; lane < 4; ++lane) {
            int sum = kHalf;
            for (int k = 0; k < count; ++k) sum += weights[k] * int(rows[k][4 * x + lane]);
            pixel |= uint32_t(sum >> kShift) << (8 * lane);
        }
        out[x] = pixel;
    }
}

}  // namespace

SharpScaler::SharpScaler(bool vectors) : vectors_(vectors && kAvx2) {}

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
    for (int64_t i = 0; i < drawn; ++i) {
        const int64_t begin = i * size, end = (i + 1) * size;
        Span& span = spans[size_t(i)];
        span.first = int(begin / drawn);
        span.count = int((end - 1) / drawn) - span.first + 1;
        span.at = int(weights.size());
        int64_t covered = 0, given = 0;
        for (int64_t j = span.first; j < span.first + span.count; ++j) {
            covered += std::min(end, (j + 1) * drawn) - std::max(begin, j * drawn);
            const int64_t total = (2 * kUnit * covered + size) / (2 * size);
            weights.push_back(int16_t(total - given));
            given = total;
        }
        widest = std::max(widest, span.count);
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
    const size_t columns = columns_.spans.size();
    across_.assign(size_t(rows_.widest) * columns * 4, 0);
    held_.assign(size_t(rows_.widest), -1);
    blended_.assign(size_t(rows_.widest), nullptr);
    picks_.clear();
    tapWeights_.clear();
    paired_ = 0;
    if (columns_.widest > 2) return;
    picks_.resize(columns * 8);
    tapWeights_.resize(columns * 8);
    for (size_t x = 0; x < columns; ++x) {
        const Span& span = columns_.spans[x];
        const int16_t* w = columns_.weights.data() + span.at;
        // The taps, as picture pixels from the first of the column's pair.
        const int from = span.first - columns_.spans[x & ~size_t(1)].first;
        int first = from, second = from + span.count - 1, w0 = w[0], w1 = span.count > 1 ? w[1] : 0;
        if (w0 == kUnit || w1 == kUnit) {
            // A signed byte holds 127 at most: half of it from each tap.
            first = second = w0 == kUnit ? first : second;
            w0 = w1 = kUnit / 2;
        }
        for (int lane = 0; lane < 4; ++lane) {
            picks_[8 * x + 2 * size_t(lane)] = uint8_t(4 * first + lane);
            picks_[8 * x + 2 * size_t(lane) + 1] = uint8_t(4 * second + lane);
            tapWeights_[8 * x + 2 * size_t(lane)] = int8_t(w0);
            tapWeights_[8 * x + 2 * size_t(lane) + 1] = int8_t(w1);
        }
        // The vector loop reads 16 bytes from the first of each pair.
        if (x % 2 == 0 && span.first + 4 <= layout.pictureWidth) paired_ = int(x) + 2;
    }
    paired_ = std::min(paired_, int(columns));
}

SDL_Rect SharpScaler::draw(const SDL_Surface* picture, const SDL_Rect& changed,
                           SDL_Surface* target) {
    const PictureLayout& l = layout_;
    if (l.empty() || changed.w <= 0 || changed.h <= 0) return SDL_Rect{0, 0, 0, 0};
    int x0, x1, y0, y1;
    columns_.covering(changed.x, changed.x + changed.w, x0, x1);
    rows_.covering(changed.y, changed.y + changed.h, y0, y1);
    if (x0 >= x1 || y0 >= y1) return SDL_Rect{0, 0, 0, 0};

    const int n = x1 - x0;
    // The vector loop takes columns from an even one, up to paired_.
    const int vectorFrom = x0 + x0 % 2;
    const int vectorTo = vectors_ && !picks_.empty() ? std::min(paired_, x1) : 0;
    const int slots = rows_.widest;
    std::fill(held_.begin(), held_.end(), -1);
    // Picture row r blended across, worked out the first time it is asked
    // for, from window column x0.
    auto acrossRow = [&](int r) {
        uint16_t* sums = across_.data() + size_t(r % slots) * size_t(n) * 4;
        if (held_[size_t(r % slots)] == r) return static_cast<const uint16_t*>(sums);
        held_[size_t(r % slots)] = r;
        const auto* line = reinterpret_cast<const uint32_t*>(
            static_cast<const Uint8*>(picture->pixels) + size_t(r) * size_t(picture->pitch));
        const Span* spans = columns_.spans.data();
        const int16_t* weights = columns_.weights.data();
        int done = x0;
        if (vectorFrom < vectorTo) {
            across(line, spans, weights, x0, vectorFrom, x0, sums);
            done = acrossFours(line, spans, picks_.data(), tapWeights_.data(), vectorFrom, vectorTo,
                               x0, sums);
        }
        across(line, spans, weights, done, x1, x0, sums);
        return static_cast<const uint16_t*>(sums);
    };
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
        const uint16_t** blended = blended_.data();
        for (int k = 0; k < row.count; ++k) blended[k] = acrossRow(row.first + k);
        const int16_t* weights = rows_.weights.data() + row.at;
        const int done = vectors_ && row.count <= 2
                             ? downEights(blended[0], row.count == 2 ? blended[1] : nullptr,
                                          weights[0], row.count == 2 ? weights[1] : 0, n, out)
                             : 0;
        down(blended, weights, row.count, done, n, out);
    }
    return SDL_Rect{l.x + x0, l.y + y0, n, y1 - y0};
}

}  // namespace vh::platform
