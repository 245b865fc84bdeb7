// The AVX-512 run kernel (F, BW and VL). The technique and why it gives the reference's bits are
// explained in HoughRuns.cpp; this file is its 16-lane form:
// - bins of a dense column: 16 rows per step, their bins compared with the row before, and the
//   rows where the bin changes compressed into the list of run starts;
// - votes: 16 consecutive bins per vector, the q-th row of every run added in step q with one
//   masked add, the rows taken from a 32-row window by one two-source permute when the 16 runs lie
//   within 32 rows, gathered otherwise; one load and one store per 16 bins;
// - sparse columns: the block's 16 angles side by side, one scalar add per vote.
// Only functions compiled for these instructions are in the target region below; everything they
// call is inline in it, so no code the CPU may lack leaks into other units.
#include <cstdint>

#include "compute/HoughDetail.h"

#if defined(VORNA_HOUGH_RUN_KERNELS)

// GCC 12's AVX-512 intrinsics start many results from an undefined vector and then overwrite
// every element, which -Wmaybe-uninitialized reports inside the header.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw,avx512vl,avx2,avx,popcnt")

#include "compute/HoughRunColumns.h"

namespace Vorna::Compute::Detail {

namespace {

inline __m256i Truncate(__m512d x) { return _mm512_cvttpd_epi32(x); }

inline __m512i Join(__m256i low, __m256i high) {
    return _mm512_inserti64x4(_mm512_castsi256_si512(low), high, 1);
}

inline std::int32_t Largest(__m512i x) {
    x = _mm512_max_epi32(x, _mm512_shuffle_i32x4(x, x, 0x4E));
    x = _mm512_max_epi32(x, _mm512_shuffle_i32x4(x, x, 0xB1));
    x = _mm512_max_epi32(x, _mm512_shuffle_epi32(x, _MM_PERM_BADC));
    x = _mm512_max_epi32(x, _mm512_shuffle_epi32(x, _MM_PERM_CDAB));
    return _mm_cvtsi128_si32(_mm512_castsi512_si128(x));
}

struct Line {
    __m512d a;  // (j - cx) * u
    __m512d v;
    __m512d f;
    __m512d cy;
};

// The bins of 8 rows whose (k - cy) are dk[0..7], for one angle.
inline __m256i Bins8(const Line& l, const double* dk) {
    const __m512d b = _mm512_loadu_pd(dk);
    const __m512d rho =
        _mm512_add_pd(_mm512_mul_pd(_mm512_add_pd(l.a, _mm512_mul_pd(b, l.v)), l.f), l.cy);
    return Truncate(rho);
}

// Run starts of one angle over a dense column: starts[t] is the first row of bin firstBin + t.
// Answers the number of bins, or 0 when a bin lies outside [0, n) or advances by more than one
// (neither happens for a square input; the caller then takes the checked path).
inline std::int32_t DenseStarts(const HoughJob& job, const Line& l, std::int32_t* starts,
                                std::int32_t* firstBin) {
    const auto n = static_cast<std::int32_t>(job.n);
    const std::int32_t first = _mm_cvtsi128_si32(_mm256_castsi256_si128(Bins8(l, job.dk)));
    const std::int32_t last = _mm_cvtsi128_si32(_mm256_castsi256_si128(Bins8(l, job.dk + n - 1)));
    if (first < 0 || last >= n || last < first) return 0;

    const __m512i iota = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    __m512i previous = _mm512_set1_epi32(first - 1);  // so that row 0 starts a bin
    std::int32_t count = 0;
    for (std::int32_t k = 0; k < n; k += 16) {
        // Rows past n repeat row n - 1's distance, so they start no bin.
        const __m512i bins = Join(Bins8(l, job.dk + k), Bins8(l, job.dk + k + 8));
        const __m512i before = _mm512_alignr_epi32(bins, previous, 15);
        const __mmask16 change = _mm512_cmpneq_epi32_mask(bins, before);
        const __m512i rows = _mm512_add_epi32(iota, _mm512_set1_epi32(k));
        _mm512_storeu_si512(starts + count, _mm512_maskz_compress_epi32(change, rows));
        count += __builtin_popcount(change);
        previous = bins;
    }
    if (count != last - first + 1) return 0;
    for (std::int32_t t = count; t <= count + 16; ++t) starts[t] = n;
    *firstBin = first;
    return count;
}

// Adds the runs of one angle and dense column to its bins, 16 bins per step.
inline void AddRuns(const float* x, const std::int32_t* starts, std::int32_t count, float* bins) {
    const __m512i one = _mm512_set1_epi32(1);
    for (std::int32_t m = 0; m < count; m += 16, bins += 16) {
        const __m512i start = _mm512_loadu_si512(starts + m);
        const __m512i length = _mm512_sub_epi32(_mm512_loadu_si512(starts + m + 1), start);
        const std::int32_t from = starts[m];
        __m512 sum = _mm512_loadu_ps(bins);
        __m512i step = _mm512_setzero_si512();
        const std::int32_t span = starts[m + 16] - from;
        // Runs of one or two rows (slopes above one half) need no horizontal maximum.
        const bool atMostTwo = _mm512_cmpgt_epi32_mask(length, _mm512_set1_epi32(2)) == 0;
        const std::int32_t longest = atMostTwo ? 2 : Largest(length);
        if (span <= 32) {
            // All 16 runs lie in rows [from, from + 32): one permute per step.
            const __m512 low = _mm512_loadu_ps(x + from);
            const __m512 high = _mm512_loadu_ps(x + from + 16);
            __m512i at = _mm512_sub_epi32(start, _mm512_set1_epi32(from));
            auto add = [&] {
                const __mmask16 on = _mm512_cmpgt_epi32_mask(length, step);
                sum = _mm512_mask_add_ps(sum, on, sum, _mm512_permutex2var_ps(low, at, high));
                at = _mm512_add_epi32(at, one);
                step = _mm512_add_epi32(step, one);
            };
            if (atMostTwo) {
                // Runs of one or two rows (slopes above one half): no loop to mispredict.
                add();
                add();
            } else {
                for (std::int32_t q = 0; q < longest; ++q) add();
            }
        } else if (span <= 64) {
            // Within rows [from, from + 64): two permutes and a blend on bit 5 of the index.
            const __m512 w0 = _mm512_loadu_ps(x + from);
            const __m512 w1 = _mm512_loadu_ps(x + from + 16);
            const __m512 w2 = _mm512_loadu_ps(x + from + 32);
            const __m512 w3 = _mm512_loadu_ps(x + from + 48);
            const __m512i upper = _mm512_set1_epi32(32);
            __m512i at = _mm512_sub_epi32(start, _mm512_set1_epi32(from));
            for (std::int32_t q = 0; q < longest; ++q) {
                const __mmask16 on = _mm512_cmpgt_epi32_mask(length, step);
                const __mmask16 high = _mm512_test_epi32_mask(at, upper);
                const __m512 row = _mm512_mask_blend_ps(high, _mm512_permutex2var_ps(w0, at, w1),
                                                        _mm512_permutex2var_ps(w2, at, w3));
                sum = _mm512_mask_add_ps(sum, on, sum, row);
                at = _mm512_add_epi32(at, one);
                step = _mm512_add_epi32(step, one);
            }
        } else {
            __m512i at = start;
            for (std::int32_t q = 0; q < longest; ++q) {
                const __mmask16 on = _mm512_cmpgt_epi32_mask(length, step);
                const __m512 row = _mm512_mask_i32gather_ps(_mm512_setzero_ps(), on, at, x, 4);
                sum = _mm512_mask_add_ps(sum, on, sum, row);
                at = _mm512_add_epi32(at, one);
                step = _mm512_add_epi32(step, one);
            }
        }
        _mm512_storeu_ps(bins, sum);
    }
}

// The policy of the column walk (HoughRunColumns.h) in 16-lane form.
class Kernel {
  public:
    Kernel(const HoughJob& job, const RunBlock& block) {
        for (int h = 0; h < 2; ++h) {
            u_[h] = _mm512_loadu_pd(job.u + block.first + 8 * h);
            v_[h] = _mm512_loadu_pd(job.v + block.first + 8 * h);
        }
        offset_ = _mm512_mullo_epi32(
            _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15),
            _mm512_set1_epi32(static_cast<std::int32_t>(block.stride)));
        line_.f = _mm512_set1_pd(job.f);
        line_.cy = _mm512_set1_pd(job.cy);
    }

    std::int32_t Starts(const HoughJob& job, double a, double v, std::int32_t* starts,
                        std::int32_t* firstBin) {
        line_.a = _mm512_set1_pd(a);
        line_.v = _mm512_set1_pd(v);
        return DenseStarts(job, line_, starts, firstBin);
    }

    void AddRuns(const float* x, const std::int32_t* starts, std::int32_t count, float* bins) {
        Detail::AddRuns(x, starts, count, bins);
    }

    void SetColumn(double dj) {
        const __m512d vdj = _mm512_set1_pd(dj);
        for (int h = 0; h < 2; ++h) a_[h] = _mm512_mul_pd(vdj, u_[h]);
    }

    bool InRange(double dk, std::int32_t n) const {
        const __m512i r = Bins(dk);
        const __mmask16 below = _mm512_cmplt_epi32_mask(r, _mm512_setzero_si512());
        const __mmask16 above = _mm512_cmpge_epi32_mask(r, _mm512_set1_epi32(n));
        return (below | above) == 0;
    }

    void Indices(double dk, std::int32_t* index) const {
        _mm512_store_si512(index, _mm512_add_epi32(Bins(dk), offset_));
    }

  private:
    // The bins of the block's 16 angles for the row whose (k - cy) is dk.
    __m512i Bins(double dk) const {
        const __m512d b = _mm512_set1_pd(dk);
        __m256i half[2];
        for (int h = 0; h < 2; ++h) {
            const __m512d rho = _mm512_add_pd(
                _mm512_mul_pd(_mm512_add_pd(a_[h], _mm512_mul_pd(b, v_[h])), line_.f), line_.cy);
            half[h] = Truncate(rho);
        }
        return Join(half[0], half[1]);
    }

    Line line_;  // one angle, for dense columns
    __m512d u_[2];
    __m512d v_[2];
    __m512d a_[2];    // (j - cx) * u of the block's angles
    __m512i offset_;  // g * stride
};

}  // namespace

void AccumulateRunsAvx512(const HoughJob& job, const RunBlock& block, const RunScratch& scratch) {
    Kernel kernel(job, block);
    WalkRunColumns(job, block, scratch, kernel);
}

}  // namespace Vorna::Compute::Detail

#pragma GCC pop_options

#endif
