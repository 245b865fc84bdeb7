// The baseline and AVX2 lanes kernels of the fast Hough path (the AVX-512 one is in
// HoughLanesAvx512.cpp, the run kernels in HoughRuns*.cpp). Each takes one block of consecutive
// angles and walks every column of the working copy once, in ascending column order; within a
// column it visits the stored rows in ascending order and, for each, computes the distance bin of
// every angle of the block at once in SIMD doubles, then adds the pixel to those bins one by one.
//
// Why this gives the reference's bits:
// - Angle i only ever writes column i of the result, so the angles of a block, and the blocks of
//   different threads, never touch the same element.
// - For one angle, the votes reaching a bin arrive in ascending column, then ascending row, which
//   is the reference's order, and each is the same single-precision bin = bin + x.
// - rho is formed with the same IEEE double operations in the same order, packed: a = (j - cx) * u,
//   b = (k - cy) * v, (a + b) * f + cy. Packed and scalar SSE2/AVX arithmetic round identically, no
//   operation is fused (the library is built without contraction and no kernel enables FMA), and
//   only commutativity (a * b == b * a exactly) is used.
// - cvttpd2dq truncates toward zero like the reference's 64-bit conversion for every rho in
//   (-2^31, 2^31); a column is only taken this way when its first and last bins lie in [0, n), and
//   then all of its bins do (monotonicity, see HoughFast.cpp), so no other rho reaches it.
//
// Speed: every vote is one load, one add and one store; with the block's angles side by side in
// memory those stores mostly pair up within a cache line, and the bin arithmetic of the next row
// overlaps them.
#include <cstring>
#include <initializer_list>

#include "compute/HoughDetail.h"

// VORNA_HOUGH_PLAIN_CXX builds only the plain C++ kernel, as on a CPU without SSE2 (for testing).
#if defined(__SSE2__) && !defined(VORNA_HOUGH_PLAIN_CXX)
#include <emmintrin.h>
#define VORNA_HOUGH_SSE2 1
#endif

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__)) && \
    !defined(VORNA_HOUGH_PLAIN_CXX)
#include <immintrin.h>
#define VORNA_HOUGH_AVX2 1
#endif

#if defined(__GNUC__)
#define VORNA_UNROLL _Pragma("GCC unroll 16")
#else
#define VORNA_UNROLL
#endif

namespace Vorna::Compute::Detail {

namespace {

// Rows of one column: every row for a dense column, the listed ones otherwise.
struct ColumnRows {
    const float* values;
    const std::uint32_t* rows;  // null for a dense column
    std::uint32_t count;
    std::uint32_t firstRow;
    std::uint32_t lastRow;
};

inline ColumnRows RowsOf(const HoughJob& job, std::uint32_t column) {
    const ColumnInfo& c = job.columns[column];
    ColumnRows out{job.values + c.valueOffset, nullptr, c.count, 0, 0};
    if (c.dense) {
        out.lastRow = c.count - 1;
    } else {
        out.rows = job.rows + c.rowOffset;
        out.firstRow = out.rows[0];
        out.lastRow = out.rows[c.count - 1];
    }
    return out;
}

inline void AddToBin(float* bin, float x) { *bin = *bin + x; }

}  // namespace

#if defined(VORNA_HOUGH_SSE2)

namespace {

constexpr std::uint32_t kPairs = kBaselineBlock / 2;

struct BaselineLanes {
    __m128d a[kPairs];
    __m128d v[kPairs];
    __m128i lane[kPairs];  // g, the angle's place in a row of bins
    __m128d f;
    __m128d cy;
};

inline __m128i BaselineBins(const BaselineLanes& l, __m128d b, std::uint32_t q) {
    const __m128d rho =
        _mm_add_pd(_mm_mul_pd(_mm_add_pd(l.a[q], _mm_mul_pd(b, l.v[q])), l.f), l.cy);
    return _mm_cvttpd_epi32(rho);
}

// Adds x to the bin of every angle of the block for a row whose (k - cy) is dk.
inline void BaselineVote(const BaselineLanes& l, double dk, float* bins, float x) {
    const __m128d b = _mm_set1_pd(dk);
    alignas(16) std::int32_t index[kBaselineBlock];
    VORNA_UNROLL
    for (std::uint32_t q = 0; q < kPairs; ++q) {
        const __m128i at = _mm_add_epi32(_mm_slli_epi32(BaselineBins(l, b, q), 3), l.lane[q]);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(index + 2 * q), at);
    }
    VORNA_UNROLL
    for (std::uint32_t g = 0; g < kBaselineBlock; ++g) AddToBin(bins + index[g], x);
}

// True when every angle's bin for this row lies in [0, n).
inline bool BaselineInRange(const BaselineLanes& l, double dk, std::int32_t n) {
    const __m128d b = _mm_set1_pd(dk);
    const __m128i below = _mm_set1_epi32(-1);
    const __m128i above = _mm_set1_epi32(n);
    __m128i ok = _mm_set1_epi32(-1);
    for (std::uint32_t q = 0; q < kPairs; ++q) {
        const __m128i r = BaselineBins(l, b, q);
        ok = _mm_and_si128(ok, _mm_and_si128(_mm_cmpgt_epi32(r, below), _mm_cmplt_epi32(r, above)));
    }
    return _mm_movemask_epi8(ok) == 0xFFFF;
}

}  // namespace

void AccumulateBlockBaseline(const HoughJob& job, std::uint32_t first, float* bins) {
    static_assert(kBaselineBlock == 8, "bins are addressed as r << 3");
    BaselineLanes l;
    __m128d u[kPairs];
    for (std::uint32_t q = 0; q < kPairs; ++q) {
        u[q] = _mm_loadu_pd(job.u + first + 2 * q);
        l.v[q] = _mm_loadu_pd(job.v + first + 2 * q);
        l.lane[q] = _mm_set_epi32(0, 0, static_cast<int>(2 * q + 1), static_cast<int>(2 * q));
    }
    l.f = _mm_set1_pd(job.f);
    l.cy = _mm_set1_pd(job.cy);
    const auto n = static_cast<std::int32_t>(job.n);

    for (std::uint32_t j = 0; j < job.n; ++j) {
        if (job.columns[j].count == 0) continue;
        const ColumnRows c = RowsOf(job, j);
        const __m128d dj = _mm_set1_pd(static_cast<double>(std::int64_t{j} - std::int64_t{job.cx}));
        for (std::uint32_t q = 0; q < kPairs; ++q) l.a[q] = _mm_mul_pd(dj, u[q]);
        if (!BaselineInRange(l, job.dk[c.firstRow], n) ||
            !BaselineInRange(l, job.dk[c.lastRow], n)) {
            AccumulateChecked(job, first, kBaselineBlock, 1, kBaselineBlock, j, bins);
            continue;
        }
        if (c.rows == nullptr) {
            for (std::uint32_t k = 0; k < c.count; ++k)
                BaselineVote(l, job.dk[k], bins, c.values[k]);
        } else {
            for (std::uint32_t e = 0; e < c.count; ++e)
                BaselineVote(l, job.dk[c.rows[e]], bins, c.values[e]);
        }
    }
}

#else  // no SSE2: the same walk in plain C++

void AccumulateBlockBaseline(const HoughJob& job, std::uint32_t first, float* bins) {
    constexpr std::uint32_t G = kBaselineBlock;
    double a[G];
    double v[G];
    for (std::uint32_t j = 0; j < job.n; ++j) {
        if (job.columns[j].count == 0) continue;
        const ColumnRows c = RowsOf(job, j);
        const double dj = static_cast<double>(std::int64_t{j} - std::int64_t{job.cx});
        for (std::uint32_t g = 0; g < G; ++g) {
            a[g] = dj * job.u[first + g];
            v[g] = job.v[first + g];
        }
        bool inRange = true;
        for (std::uint32_t end : {c.firstRow, c.lastRow})
            for (std::uint32_t g = 0; g < G; ++g) {
                const std::int32_t r = TruncateLow32((a[g] + job.dk[end] * v[g]) * job.f + job.cy);
                inRange = inRange && r >= 0 && static_cast<std::uint32_t>(r) < job.n;
            }
        if (!inRange) {
            AccumulateChecked(job, first, G, 1, G, j, bins);
            continue;
        }
        for (std::uint32_t e = 0; e < c.count; ++e) {
            const double dk = job.dk[c.rows ? c.rows[e] : e];
            for (std::uint32_t g = 0; g < G; ++g) {
                const auto r = static_cast<std::size_t>((a[g] + dk * v[g]) * job.f + job.cy);
                AddToBin(bins + r * G + g, c.values[e]);
            }
        }
    }
}

#endif

#if defined(VORNA_HOUGH_AVX2)

namespace {

constexpr std::uint32_t kQuads = kWideBlock / 4;

struct WideLanes {
    __m256d a[kQuads];
    __m256d v[kQuads];
    __m128i lane[kQuads];
    __m256d f;
    __m256d cy;
};

__attribute__((target("avx2"), always_inline)) inline __m128i WideBins(const WideLanes& l,
                                                                       __m256d b, std::uint32_t q) {
    const __m256d rho =
        _mm256_add_pd(_mm256_mul_pd(_mm256_add_pd(l.a[q], _mm256_mul_pd(b, l.v[q])), l.f), l.cy);
    return _mm256_cvttpd_epi32(rho);
}

__attribute__((target("avx2"), always_inline)) inline void WideVote(const WideLanes& l, double dk,
                                                                    float* bins, float x) {
    const __m256d b = _mm256_set1_pd(dk);
    alignas(16) std::int32_t index[kWideBlock];
    VORNA_UNROLL
    for (std::uint32_t q = 0; q < kQuads; ++q) {
        const __m128i at = _mm_add_epi32(_mm_slli_epi32(WideBins(l, b, q), 4), l.lane[q]);
        _mm_store_si128(reinterpret_cast<__m128i*>(index + 4 * q), at);
    }
    VORNA_UNROLL
    for (std::uint32_t g = 0; g < kWideBlock; ++g) AddToBin(bins + index[g], x);
}

__attribute__((target("avx2"), always_inline)) inline bool WideInRange(const WideLanes& l,
                                                                       double dk, std::int32_t n) {
    const __m256d b = _mm256_set1_pd(dk);
    const __m128i below = _mm_set1_epi32(-1);
    const __m128i above = _mm_set1_epi32(n);
    __m128i ok = _mm_set1_epi32(-1);
    for (std::uint32_t q = 0; q < kQuads; ++q) {
        const __m128i r = WideBins(l, b, q);
        ok = _mm_and_si128(ok, _mm_and_si128(_mm_cmpgt_epi32(r, below), _mm_cmplt_epi32(r, above)));
    }
    return _mm_movemask_epi8(ok) == 0xFFFF;
}

}  // namespace

bool WideKernelBuilt() { return true; }

__attribute__((target("avx2"))) void AccumulateBlockWide(const HoughJob& job, std::uint32_t first,
                                                         float* bins) {
    static_assert(kWideBlock == 16, "bins are addressed as r << 4");
    WideLanes l;
    __m256d u[kQuads];
    for (std::uint32_t q = 0; q < kQuads; ++q) {
        u[q] = _mm256_loadu_pd(job.u + first + 4 * q);
        l.v[q] = _mm256_loadu_pd(job.v + first + 4 * q);
        const auto g = static_cast<int>(4 * q);
        l.lane[q] = _mm_set_epi32(g + 3, g + 2, g + 1, g);
    }
    l.f = _mm256_set1_pd(job.f);
    l.cy = _mm256_set1_pd(job.cy);
    const auto n = static_cast<std::int32_t>(job.n);

    for (std::uint32_t j = 0; j < job.n; ++j) {
        if (job.columns[j].count == 0) continue;
        const ColumnRows c = RowsOf(job, j);
        const __m256d dj =
            _mm256_set1_pd(static_cast<double>(std::int64_t{j} - std::int64_t{job.cx}));
        for (std::uint32_t q = 0; q < kQuads; ++q) l.a[q] = _mm256_mul_pd(dj, u[q]);
        if (!WideInRange(l, job.dk[c.firstRow], n) || !WideInRange(l, job.dk[c.lastRow], n)) {
            AccumulateChecked(job, first, kWideBlock, 1, kWideBlock, j, bins);
            continue;
        }
        if (c.rows == nullptr) {
            for (std::uint32_t k = 0; k < c.count; ++k) WideVote(l, job.dk[k], bins, c.values[k]);
        } else {
            for (std::uint32_t e = 0; e < c.count; ++e)
                WideVote(l, job.dk[c.rows[e]], bins, c.values[e]);
        }
    }
}

#else

bool WideKernelBuilt() { return false; }

void AccumulateBlockWide(const HoughJob& job, std::uint32_t first, float* bins) {
    // Never chosen on this build, which has no AVX2 code.
    for (std::uint32_t j = 0; j < job.n; ++j)
        if (job.columns[j].count != 0)
            AccumulateChecked(job, first, kWideBlock, 1, kWideBlock, j, bins);
}

#endif

}  // namespace Vorna::Compute::Detail
