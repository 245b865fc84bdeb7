// The AVX-512 lanes kernel (F, BW and VL). Like the other lanes kernels (HoughKernels.cpp) it takes
// one block of 16 consecutive angles, walks every column of the working copy in ascending order and
// its stored rows in ascending order, and adds each pixel to the bin of every angle of the block in
// the block's distance-major buffer: the vote of angle first + g for distance r goes to element
// r * 16 + g. The bins of a row are computed as the lanes kernels compute them (the same double
// operations in the same order, nothing fused, cvttpd2dq; a column is taken this way only when the
// bins of its first and last stored rows lie in [0, n), and then all of its bins do). What differs
// is how the votes reach the buffer: lane g keeps in a register the running sum of the element
// cur[g] it voted into last; a row that sends lane g to another element stores that sum (one
// scatter for all lanes) and fetches the new element's value (one gather for the lanes that move).
//
// Why every element sees the reference's additions in the reference's order. Invariant, for each
// lane g: sum[g] is the current value of element cur[g], and every other element of the buffer
// holds its current value in memory. It holds at the start (cur = g and sum = the buffer's first
// row, which is zero) and after every row, whose new elements are next[g]:
// - the lanes that move (next[g] != cur[g]) gather next[g]; the other lanes load nothing (a masked
//   gather touches only the lanes of its mask). next[g] holds its current value in memory: it is
//   not cur[g], and no other lane can hold it, because an index r * 16 + g names lane g's angle
//   only. For the same reason the 16 indices of one gather or scatter are distinct;
// - every lane stores sum to cur[g] (one scatter). For a lane that moves this puts the current
//   value of cur[g] in memory before the lane lets go of it; for a lane that stays it writes the
//   value the element already has. The gather reads no element the scatter writes (next[g] is
//   neither cur[g] for a moving lane nor any other lane's cur), so their order does not matter;
//   every later load of cur[g] comes after this store in program order, and a thread's loads
//   always see its own earlier stores, whatever the instructions;
// - each lane's sum becomes the fetched value where it moved, and then sum = sum + x, the
//   reference's single-precision addition.
// So each element goes from one vote to the next in the order the votes are visited: for each
// angle, ascending column and then ascending row, the reference's order (HoughKernels.cpp tells
// why the other angles' votes do not matter). Successive pixels that hit one element add to the
// register in turn; an element left and hit again later is read back from memory after the store
// that left it. The block's end stores every lane's sum. A column whose range check fails first
// stores every sum, then takes the checked per-vote path on memory; the lanes then start again
// from the buffer's first row.
//
// Speed: a sparse column's rows are far apart, so most rows move every lane: one gather, one
// scatter and the bins of 16 angles per pixel, where the other lanes kernels make 16 scalar loads,
// adds and stores. Within a column a lane never comes back to an element it left (its bins only
// grow, HoughFast.cpp), so a gather never waits for a recent scatter to the same element, and the
// rows of a line that share bins never leave the register. The scatter is unmasked because that
// measured faster than a scatter of the moving lanes only.
#include <cstdint>

#include "compute/HoughDetail.h"

#if defined(VORNA_HOUGH_RUN_KERNELS)

// GCC 12's AVX-512 intrinsics start many results from an undefined vector and then overwrite every
// element, which -Wmaybe-uninitialized reports inside the header.
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include <immintrin.h>

#pragma GCC push_options
#pragma GCC target("avx512f,avx512bw,avx512vl,avx2,avx,popcnt")

namespace Vorna::Compute::Detail {

namespace {

struct Lanes16 {
    __m512d a[2];  // (j - cx) * u
    __m512d v[2];
    __m512d f;
    __m512d cy;
    __m512i lane;  // g
};

// The bins of the block's 16 angles for a row whose (k - cy) is dk.
inline __m512i Bins16(const Lanes16& l, double dk) {
    const __m512d b = _mm512_set1_pd(dk);
    __m256i half[2];
    for (int h = 0; h < 2; ++h) {
        const __m512d rho = _mm512_add_pd(
            _mm512_mul_pd(_mm512_add_pd(l.a[h], _mm512_mul_pd(b, l.v[h])), l.f), l.cy);
        half[h] = _mm512_cvttpd_epi32(rho);
    }
    return _mm512_inserti64x4(_mm512_castsi256_si512(half[0]), half[1], 1);
}

// True when every bin of rows with distances dk0 and dk1 lies in [0, n).
inline bool InRange(const Lanes16& l, double dk0, double dk1, std::int32_t n) {
    const __m512i limit = _mm512_set1_epi32(n);
    return (_mm512_cmpge_epu32_mask(Bins16(l, dk0), limit) |
            _mm512_cmpge_epu32_mask(Bins16(l, dk1), limit)) == 0;
}

}  // namespace

void AccumulateBlockLanes512(const HoughJob& job, std::uint32_t first, float* bins) {
    static_assert(kWideBlock == 16, "bins are addressed as r << 4");
    Lanes16 l;
    __m512d u[2];
    for (int h = 0; h < 2; ++h) {
        u[h] = _mm512_loadu_pd(job.u + first + 8 * h);
        l.v[h] = _mm512_loadu_pd(job.v + first + 8 * h);
    }
    l.f = _mm512_set1_pd(job.f);
    l.cy = _mm512_set1_pd(job.cy);
    l.lane = _mm512_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
    const auto n = static_cast<std::int32_t>(job.n);
    const double* dk = job.dk;

    // Lane g's element and its running sum (the invariant above); the buffer starts at +0.0.
    __m512i cur = l.lane;
    __m512 sum = _mm512_loadu_ps(bins);
    auto vote = [&](double distance, float x) {
        const __m512i next = _mm512_add_epi32(_mm512_slli_epi32(Bins16(l, distance), 4), l.lane);
        const __mmask16 moved = _mm512_cmpneq_epi32_mask(next, cur);
        const __m512 fetched = _mm512_mask_i32gather_ps(_mm512_setzero_ps(), moved, next, bins, 4);
        _mm512_i32scatter_ps(bins, cur, sum, 4);
        sum = _mm512_add_ps(_mm512_mask_mov_ps(sum, moved, fetched), _mm512_set1_ps(x));
        cur = next;
    };

    for (std::uint32_t j = 0; j < job.n; ++j) {
        const ColumnInfo& c = job.columns[j];
        if (c.count == 0) continue;
        const __m512d dj =
            _mm512_set1_pd(static_cast<double>(std::int64_t{j} - std::int64_t{job.cx}));
        for (int h = 0; h < 2; ++h) l.a[h] = _mm512_mul_pd(dj, u[h]);
        const float* x = job.values + c.valueOffset;
        const std::uint32_t count = c.count;
        const std::uint32_t* rows = c.dense ? nullptr : job.rows + c.rowOffset;
        const std::uint32_t firstRow = rows ? rows[0] : 0;
        const std::uint32_t lastRow = rows ? rows[count - 1] : count - 1;
        if (!InRange(l, dk[firstRow], dk[lastRow], n)) {
            _mm512_i32scatter_ps(bins, cur, sum, 4);
            AccumulateChecked(job, first, kWideBlock, 1, kWideBlock, j, bins);
            cur = l.lane;
            sum = _mm512_loadu_ps(bins);
            continue;
        }
        if (rows == nullptr) {
            for (std::uint32_t k = 0; k < count; ++k) vote(dk[k], x[k]);
        } else {
            for (std::uint32_t e = 0; e < count; ++e) vote(dk[rows[e]], x[e]);
        }
    }
    _mm512_i32scatter_ps(bins, cur, sum, 4);
}

bool Lanes512KernelBuilt() { return true; }

}  // namespace Vorna::Compute::Detail

#pragma GCC pop_options

#else

namespace Vorna::Compute::Detail {

// Never chosen on this build, which has no AVX-512 code.
void AccumulateBlockLanes512(const HoughJob& job, std::uint32_t first, float* bins) {
    for (std::uint32_t j = 0; j < job.n; ++j)
        if (job.columns[j].count != 0)
            AccumulateChecked(job, first, kWideBlock, 1, kWideBlock, j, bins);
}

bool Lanes512KernelBuilt() { return false; }

}  // namespace Vorna::Compute::Detail

#endif
