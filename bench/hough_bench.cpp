// Times the fast Hough path against the reference loop, and the circular shift against memcpy, on
// the same inputs in one run, and checks that the fast results are bit-identical.
//
//   hough_bench [--quick] [--sizes 256,512,1024] [--repeat N]
//
// --quick limits the Hough sizes to 256 and 512 and the shift image to 1024 x 1024. The exit status
// is 1 when a fast result is not bit-identical to the reference's. Times are wall-clock, the fast
// path's the best of --repeat runs (the reference runs once per input). Other load on the machine
// distorts them, the two-thread rows most; the load average is printed first.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "compute/Hough.h"
#include "compute/Shift.h"

namespace {

using Clock = std::chrono::steady_clock;
using Vorna::Compute::HoughOptions;

template <class F>
double Seconds(F&& f) {
    const auto start = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The fastest of `repeat` calls.
template <class F>
double BestSeconds(int repeat, F&& f) {
    double best = 1e300;
    for (int r = 0; r < repeat; ++r) best = std::min(best, Seconds(f));
    return best;
}

// Uniform values in [-1, 1) on every pixel.
std::vector<float> DenseImage(std::uint32_t n, std::uint32_t seed) {
    std::mt19937 gen(seed);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    std::vector<float> image(std::size_t{n} * n);
    for (float& x : image) x = value(gen);
    return image;
}

// An edge image: a few straight lines plus scattered dots, about 1% non-zero.
std::vector<float> EdgeImage(std::uint32_t n, std::uint32_t seed) {
    std::mt19937 gen(seed);
    std::vector<float> image(std::size_t{n} * n, 0.0f);
    auto put = [&](double x, double y) {
        const auto i = static_cast<std::int64_t>(x);
        const auto j = static_cast<std::int64_t>(y);
        if (i >= 0 && j >= 0 && i < n && j < n) image[std::size_t(j) * n + std::size_t(i)] = 1.0f;
    };
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int line = 0; line < 4; ++line) {
        const double x0 = unit(gen) * n, y0 = unit(gen) * n, angle = unit(gen) * 3.14159;
        for (double t = -2.0 * n; t < 2.0 * n; t += 1.0)
            put(x0 + t * std::cos(angle), y0 + t * std::sin(angle));
    }
    std::uniform_int_distribution<std::uint32_t> pos(0, n - 1);
    const std::size_t target = std::size_t{n} * n / 100;
    std::size_t nonzero = 0;
    for (float x : image) nonzero += x != 0.0f;
    while (nonzero < target) {
        float& x = image[std::size_t{pos(gen)} * n + pos(gen)];
        if (x == 0.0f) ++nonzero;
        x = 1.0f;
    }
    return image;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::isnan(a[i]) && std::isnan(b[i])) continue;
        if (std::memcmp(&a[i], &b[i], sizeof(float)) != 0) return false;
    }
    return true;
}

// Prints one row per thread count; answers false when a fast result differs from the reference.
bool HoughRows(const char* name, const std::vector<float>& image, std::uint32_t n, unsigned cores,
               int repeat) {
    std::size_t nonzero = 0;
    for (float x : image) nonzero += x != 0.0f;
    const double votes = static_cast<double>(n) * static_cast<double>(nonzero);
    std::vector<float> reference(image.size());
    const double tRef =
        Seconds([&] { Vorna::Compute::HoughReference(image.data(), n, reference.data()); });
    std::vector<unsigned> threadCounts{1};
    if (cores > 1) threadCounts.push_back(cores);
    bool allSame = true;
    for (unsigned threads : threadCounts) {
        std::vector<float> fast(image.size());
        HoughOptions options;
        options.threads = threads;
        const double tFast = BestSeconds(
            repeat, [&] { Vorna::Compute::HoughFast(image.data(), n, fast.data(), options); });
        const bool same = SameBits(reference, fast);
        allSame = allSame && same;
        std::printf("%-13s %5u %7u %11.4f %11.5f %12.3e %9.1f   %s\n", name, n, threads, tRef,
                    tFast, votes / tFast, tRef / tFast, same ? "yes" : "NO");
        std::fflush(stdout);
    }
    return allSame;
}

void ShiftRow(std::uint32_t side, int repeat) {
    const std::size_t count = std::size_t{side} * side;
    std::vector<float> in = DenseImage(side, 7);
    in.resize(count);
    std::vector<float> out(count), copy(count);
    const double bytes = static_cast<double>(count) * sizeof(float);
    // Warm both destinations so neither pays for first-touch page faults.
    std::memset(out.data(), 0, count * sizeof(float));
    std::memset(copy.data(), 0, count * sizeof(float));
    const double tShift = BestSeconds(
        repeat, [&] { Vorna::Compute::Shift(in.data(), side, side, 1234, -777, out.data()); });
    const double tCopy =
        BestSeconds(repeat, [&] { std::memcpy(copy.data(), in.data(), count * sizeof(float)); });
    std::printf("\nshiftImage %ux%u float: %.3e bytes/s, memcpy %.3e bytes/s, ratio %.2f\n", side,
                side, bytes / tShift, bytes / tCopy, tCopy / tShift);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::uint32_t> sizes{256, 512, 1024};
    std::uint32_t shiftSide = 4096;
    int repeat = 3;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--quick") {
            sizes = {256, 512};
            shiftSide = 1024;
        } else if (arg == "--sizes" && a + 1 < argc) {
            sizes.clear();
            for (const char* p = argv[++a]; *p;) {
                char* end;
                sizes.push_back(static_cast<std::uint32_t>(std::strtoul(p, &end, 10)));
                p = *end ? end + 1 : end;
            }
        } else if (arg == "--repeat" && a + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++a]));
        } else {
            std::fprintf(stderr, "usage: %s [--quick] [--sizes a,b,c] [--repeat N]\n", argv[0]);
            return 2;
        }
    }
    const unsigned cores = std::max(1u, std::thread::hardware_concurrency());
    std::printf("wide kernel: %s, hardware threads: %u\n",
                Vorna::Compute::HoughWideKernelAvailable() ? "yes" : "no", cores);
    // Other work on the machine slows the timed runs unevenly; say how busy it was.
    if (std::FILE* load = std::fopen("/proc/loadavg", "r")) {
        double average = 0.0;
        if (std::fscanf(load, "%lf", &average) == 1) std::printf("load average: %.2f\n", average);
        std::fclose(load);
    }
    std::printf("\n");
    std::printf("%-13s %5s %7s %11s %11s %12s %9s   %s\n", "case", "n", "threads", "s reference",
                "s fast", "votes/s", "ratio", "bit-identical");
    bool allSame = true;
    for (std::uint32_t n : sizes)
        allSame = HoughRows("dense random", DenseImage(n, n), n, cores, repeat) && allSame;
    for (std::uint32_t n : sizes)
        allSame = HoughRows("sparse edge", EdgeImage(n, n), n, cores, repeat) && allSame;
    ShiftRow(shiftSide, repeat);
    return allSame ? 0 : 1;
}
