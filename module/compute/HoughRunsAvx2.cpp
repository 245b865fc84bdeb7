// The AVX2 run kernel. The technique and why it gives the reference's bits are explained in
// HoughRuns.cpp; this file is its 8-lane form:
// - bins of a dense column: 8 rows per step, their bins compared with the row before, and the rows
//   where the bin changes packed into the list of run starts through a table of permutations;
// - votes: 8 consecutive bins per vector, the q-th row of every run added in step q, the rows
//   taken from a 16-row window by two permutes and a blend when the 8 runs lie within 16 rows,
//   gathered otherwise; lanes whose run is over add +0.0, which leaves a bin's bits as they are
//   (HoughFast.cpp: no bin is ever -0.0); one load and one store per 8 bins;
// - sparse columns: the block's 16 angles side by side, one scalar add per vote.
// Only functions compiled for these instructions are in the target region below; everything they
// call is inline in it, so no code the CPU may lack leaks into other units.
#include <array>
#include <cstdint>

#include "compute/HoughDetail.h"

#if defined(VORNA_HOUGH_RUN_KERNELS)

#include <immintrin.h>

namespace Vorna::Compute::Detail {

namespace {

// For each 8-bit mask, the positions of its set bits in ascending order, 4 bits each, so that a
// permute packs the chosen lanes to the front.
constexpr std::array<std::uint32_t, 256> PackTable() {
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t mask = 0; mask < 256; ++mask) {
        std::uint32_t packed = 0;
        std::uint32_t at = 0;
        for (std::uint32_t lane = 0; lane < 8; ++lane)
            if (mask & (1u << lane)) packed |= lane << (4 * at++);
        table[mask] = packed;
    }
    return table;
}

constexpr std::array<std::uint32_t, 256> kPack = PackTable();

}  // namespace

}  // namespace Vorna::Compute::Detail

#pragma GCC push_options
#pragma GCC target("avx2,avx,popcnt")

#include "compute/HoughRunColumns.h"

namespace Vorna::Compute::Detail {

namespace {

struct Line {
    __m256d a;  // (j - cx) * u
    __m256d v;
    __m256d f;
    __m256d cy;
};

inline __m128i Bins4(const Line& l, const double* dk) {
    const __m256d b = _mm256_loadu_pd(dk);
    const __m256d rho =
        _mm256_add_pd(_mm256_mul_pd(_mm256_add_pd(l.a, _mm256_mul_pd(b, l.v)), l.f), l.cy);
    return _mm256_cvttpd_epi32(rho);
}

inline __m256i Bins8(const Line& l, const double* dk) {
    return _mm256_inserti128_si256(_mm256_castsi128_si256(Bins4(l, dk)), Bins4(l, dk + 4), 1);
}

// As DenseStarts of the AVX-512 kernel: the run starts of one angle over a dense column, the
// number of bins, or 0 when the checked path must take the column.
inline std::int32_t DenseStarts(const HoughJob& job, const Line& l, std::int32_t* starts,
                                std::int32_t* firstBin) {
    const auto n = static_cast<std::int32_t>(job.n);
    const std::int32_t first = _mm_cvtsi128_si32(Bins4(l, job.dk));
    const std::int32_t last = _mm_cvtsi128_si32(Bins4(l, job.dk + n - 1));
    if (first < 0 || last >= n || last < first) return 0;

    const __m256i iota = _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7);
    const __m256i rotate = _mm256_setr_epi32(7, 0, 1, 2, 3, 4, 5, 6);
    const __m256i shifts = _mm256_setr_epi32(0, 4, 8, 12, 16, 20, 24, 28);
    const __m256i nibble = _mm256_set1_epi32(0xF);
    __m256i previousLast = _mm256_set1_epi32(first - 1);  // so that row 0 starts a bin
    std::int32_t count = 0;
    for (std::int32_t k = 0; k < n; k += 8) {
        // Rows past n repeat row n - 1's distance, so they start no bin.
        const __m256i bins = Bins8(l, job.dk + k);
        const __m256i before =
            _mm256_blend_epi32(_mm256_permutevar8x32_epi32(bins, rotate), previousLast, 0x01);
        const auto change = static_cast<std::uint32_t>(
            ~_mm256_movemask_ps(_mm256_castsi256_ps(_mm256_cmpeq_epi32(bins, before))) & 0xFF);
        const __m256i order = _mm256_and_si256(
            _mm256_srlv_epi32(_mm256_set1_epi32(static_cast<std::int32_t>(kPack[change])), shifts),
            nibble);
        const __m256i rows = _mm256_add_epi32(iota, _mm256_set1_epi32(k));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(starts + count),
                            _mm256_permutevar8x32_epi32(rows, order));
        count += __builtin_popcount(change);
        previousLast = _mm256_permutevar8x32_epi32(bins, _mm256_set1_epi32(7));
    }
    if (count != last - first + 1) return 0;
    for (std::int32_t t = count; t <= count + 8; ++t) starts[t] = n;
    *firstBin = first;
    return count;
}

inline std::int32_t HorizontalMax(__m256i x) {
    x = _mm256_max_epi32(x, _mm256_permute2x128_si256(x, x, 1));
    x = _mm256_max_epi32(x, _mm256_shuffle_epi32(x, 0x4E));
    x = _mm256_max_epi32(x, _mm256_shuffle_epi32(x, 0xB1));
    return _mm_cvtsi128_si32(_mm256_castsi256_si128(x));
}

// Adds the runs of one angle and dense column to its bins, 8 bins per step.
inline void AddRuns(const float* x, const std::int32_t* starts, std::int32_t count, float* bins) {
    const __m256i one = _mm256_set1_epi32(1);
    for (std::int32_t m = 0; m < count; m += 8, bins += 8) {
        const __m256i start = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(starts + m));
        const __m256i length = _mm256_sub_epi32(
            _mm256_loadu_si256(reinterpret_cast<const __m256i*>(starts + m + 1)), start);
        const std::int32_t longest = HorizontalMax(length);
        const std::int32_t from = starts[m];
        __m256 sum = _mm256_loadu_ps(bins);
        __m256i step = _mm256_setzero_si256();
        if (starts[m + 8] - from <= 16) {
            // All 8 runs lie in rows [from, from + 16).
            const __m256 low = _mm256_loadu_ps(x + from);
            const __m256 high = _mm256_loadu_ps(x + from + 8);
            __m256i at = _mm256_sub_epi32(start, _mm256_set1_epi32(from));
            for (std::int32_t q = 0; q < longest; ++q) {
                const __m256 on = _mm256_castsi256_ps(_mm256_cmpgt_epi32(length, step));
                const __m256 row = _mm256_blendv_ps(
                    _mm256_permutevar8x32_ps(low, at), _mm256_permutevar8x32_ps(high, at),
                    _mm256_castsi256_ps(_mm256_slli_epi32(at, 28)));  // bit 3: the high half
                sum = _mm256_add_ps(sum, _mm256_and_ps(row, on));
                at = _mm256_add_epi32(at, one);
                step = _mm256_add_epi32(step, one);
            }
        } else {
            __m256i at = start;
            for (std::int32_t q = 0; q < longest; ++q) {
                const __m256 on = _mm256_castsi256_ps(_mm256_cmpgt_epi32(length, step));
                const __m256 row = _mm256_mask_i32gather_ps(_mm256_setzero_ps(), x, at, on, 4);
                sum = _mm256_add_ps(sum, row);
                at = _mm256_add_epi32(at, one);
                step = _mm256_add_epi32(step, one);
            }
        }
        _mm256_storeu_ps(bins, sum);
    }
}

// The policy of the column walk (HoughRunColumns.h) in 8-lane form.
class Kernel {
  public:
    Kernel(const HoughJob& job, const RunBlock& block) {
        const auto stride = static_cast<std::int32_t>(block.stride);
        for (int q = 0; q < 4; ++q) {
            u_[q] = _mm256_loadu_pd(job.u + block.first + 4 * q);
            v_[q] = _mm256_loadu_pd(job.v + block.first + 4 * q);
            offset_[q] = _mm_mullo_epi32(_mm_setr_epi32(4 * q, 4 * q + 1, 4 * q + 2, 4 * q + 3),
                                         _mm_set1_epi32(stride));
        }
        line_.f = _mm256_set1_pd(job.f);
        line_.cy = _mm256_set1_pd(job.cy);
    }

    std::int32_t Starts(const HoughJob& job, double a, double v, std::int32_t* starts,
                        std::int32_t* firstBin) {
        line_.a = _mm256_set1_pd(a);
        line_.v = _mm256_set1_pd(v);
        return DenseStarts(job, line_, starts, firstBin);
    }

    void AddRuns(const float* x, const std::int32_t* starts, std::int32_t count, float* bins) {
        Detail::AddRuns(x, starts, count, bins);
    }

    void SetColumn(double dj) {
        const __m256d vdj = _mm256_set1_pd(dj);
        for (int q = 0; q < 4; ++q) a_[q] = _mm256_mul_pd(vdj, u_[q]);
    }

    bool InRange(double dk, std::int32_t n) const {
        const __m256d b = _mm256_set1_pd(dk);
        __m128i ok = _mm_set1_epi32(-1);
        for (int q = 0; q < 4; ++q) {
            const __m128i r = Bins(b, q);
            ok = _mm_and_si128(ok, _mm_and_si128(_mm_cmpgt_epi32(r, _mm_set1_epi32(-1)),
                                                 _mm_cmplt_epi32(r, _mm_set1_epi32(n))));
        }
        return _mm_movemask_epi8(ok) == 0xFFFF;
    }

    void Indices(double dk, std::int32_t* index) const {
        const __m256d b = _mm256_set1_pd(dk);
        for (int q = 0; q < 4; ++q)
            _mm_store_si128(reinterpret_cast<__m128i*>(index + 4 * q),
                            _mm_add_epi32(Bins(b, q), offset_[q]));
    }

  private:
    // The bins of angles first + 4q .. first + 4q + 3 for the row whose (k - cy) is b.
    __m128i Bins(__m256d b, int q) const {
        const __m256d rho = _mm256_add_pd(
            _mm256_mul_pd(_mm256_add_pd(a_[q], _mm256_mul_pd(b, v_[q])), line_.f), line_.cy);
        return _mm256_cvttpd_epi32(rho);
    }

    Line line_;  // one angle, for dense columns
    __m256d u_[4];
    __m256d v_[4];
    __m256d a_[4];       // (j - cx) * u of the block's angles
    __m128i offset_[4];  // g * stride
};

}  // namespace

void AccumulateRunsAvx2(const HoughJob& job, const RunBlock& block, const RunScratch& scratch) {
    Kernel kernel(job, block);
    WalkRunColumns(job, block, scratch, kernel);
}

}  // namespace Vorna::Compute::Detail

#pragma GCC pop_options

#endif
