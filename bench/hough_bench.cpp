// Times the fast Hough path, kernel by kernel and for every thread count up to the hardware's,
// against the reference loop on the same inputs in one run, and checks that every fast result is
// bit-identical; then the circular shift against memcpy.
//
//   hough_bench [--quick] [--sizes 256,512,1024] [--large 4096] [--repeat N]
//
// --quick: sizes 256 and 512, no large rows, a 1024 x 1024 shift image. --large 0 leaves out the
// large rows, which time the fast path alone (the reference would take minutes).
//
// Columns: seconds (the best of at least --repeat calls, and of more for a short case until half a
// second is spent; the reference runs once), votes per second (votes = angles x non-zero pixels,
// the additions the reference makes into bins that change), the ratio to the reference and to the
// lanes kernel with as many threads, and cycles per vote per thread: seconds x clock x threads /
// votes. The clock is measured in the same run with a chain of dependent integer adds (one a cycle
// on any x86 core), because frequency counters are not always readable. Other load on the machine
// distorts the figures, the rows with more threads most; the load average is printed first and
// last. The exit status is 1 when a fast result differs from the reference's.
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
using Vorna::Compute::HoughKernel;
using Vorna::Compute::HoughOptions;

template <class F>
double Seconds(F&& f) {
    const auto start = Clock::now();
    f();
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// The fastest of at least `repeat` calls, and of more while they add up to less than half a
// second (at most 1000): a short case gets many attempts, some of which run undisturbed on a busy
// machine.
template <class F>
double BestSeconds(int repeat, F&& f) {
    double best = 1e300;
    double spent = 0.0;
    for (int r = 0; r < 1000 && (r < repeat || spent < 0.5); ++r) {
        const double s = Seconds(f);
        best = std::min(best, s);
        spent += s;
    }
    return best;
}

// Cycles per second of one core, from a chain of dependent adds: each add needs the previous
// one's result, so the chain runs at one add per cycle whatever the core's width.
double MeasureClock() {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
    // Many short attempts, the fastest kept: on a busy machine some of them run undisturbed.
    const long rounds = 250'000;  // 16 adds each, about a millisecond
    double best = 1e300;
    for (int attempt = 0; attempt < 200; ++attempt) {
        unsigned long x = 0;
        const unsigned long one = 1;
        const double s = Seconds([&] {
            for (long r = 0; r < rounds; ++r)
                __asm__ volatile(
                    "add %1, %0\n\tadd %1, %0\n\tadd %1, %0\n\tadd %1, %0\n\t"
                    "add %1, %0\n\tadd %1, %0\n\tadd %1, %0\n\tadd %1, %0\n\t"
                    "add %1, %0\n\tadd %1, %0\n\tadd %1, %0\n\tadd %1, %0\n\t"
                    "add %1, %0\n\tadd %1, %0\n\tadd %1, %0\n\tadd %1, %0"
                    : "+r"(x)
                    : "r"(one));
        });
        best = std::min(best, s);
    }
    return 16.0 * static_cast<double>(rounds) / best;
#else
    return 0.0;
#endif
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

struct Machine {
    unsigned cores;
    double clock;  // cycles per second, 0 when unknown
};

void Header() {
    std::printf("%-13s %5s %-9s %7s %10s %10s %9s %7s %11s  %s\n", "case", "n", "kernel", "threads",
                "seconds", "votes/s", "x ref", "x lanes", "cycles/vote", "same bits");
}

void Row(const char* name, std::uint32_t n, const char* kernel, unsigned threads, double seconds,
         double votes, double reference, double lanes, const Machine& m, const char* same) {
    char ratio[32] = "-", vsLanes[32] = "-", cycles[32] = "-";
    if (reference > 0) std::snprintf(ratio, sizeof ratio, "%.1f", reference / seconds);
    if (lanes > 0) std::snprintf(vsLanes, sizeof vsLanes, "%.2f", lanes / seconds);
    if (m.clock > 0)
        std::snprintf(cycles, sizeof cycles, "%.2f", seconds * m.clock * threads / votes);
    std::printf("%-13s %5u %-9s %7u %10.5f %10.3e %9s %7s %11s  %s\n", name, n, kernel, threads,
                seconds, votes / seconds, ratio, vsLanes, cycles, same);
    std::fflush(stdout);
}

// The kernels worth timing on this CPU, the chosen one first and the lanes kernel last but one.
std::vector<HoughKernel> Kernels(bool all) {
    std::vector<HoughKernel> kernels;
    for (HoughKernel k : {HoughKernel::Avx512, HoughKernel::Avx2, HoughKernel::Lanes512,
                          HoughKernel::Lanes, HoughKernel::Baseline})
        if (Vorna::Compute::HoughKernelSupported(k) &&
            (all || k == Vorna::Compute::HoughKernelChosen(HoughKernel::Auto) ||
             k == HoughKernel::Lanes))
            kernels.push_back(k);
    return kernels;
}

// One case: the reference once (unless `withReference` is false), then every kernel at every
// thread count. Answers false when a fast result differs from the reference.
bool Case(const char* name, const std::vector<float>& image, std::uint32_t n, const Machine& m,
          int repeat, bool withReference, bool allKernels) {
    std::size_t nonzero = 0;
    for (float x : image) nonzero += x != 0.0f;
    const double votes = static_cast<double>(n) * static_cast<double>(nonzero);
    std::vector<float> reference(image.size());
    double tRef = 0.0;
    if (withReference) {
        tRef = Seconds([&] { Vorna::Compute::HoughReference(image.data(), n, reference.data()); });
        Row(name, n, "reference", 1, tRef, votes, tRef, 0.0, m, "-");
    }
    // Lanes first, so that every other row can be set against it.
    std::vector<HoughKernel> kernels = Kernels(allKernels);
    std::stable_partition(kernels.begin(), kernels.end(),
                          [](HoughKernel k) { return k == HoughKernel::Lanes; });
    std::vector<double> lanes(m.cores + 1, 0.0);
    bool allSame = true;
    std::vector<float> fast(image.size());
    for (HoughKernel kernel : kernels) {
        for (unsigned threads = 1; threads <= m.cores; ++threads) {
            HoughOptions options;
            options.threads = threads;
            options.kernel = kernel;
            const double t = BestSeconds(
                repeat, [&] { Vorna::Compute::HoughFast(image.data(), n, fast.data(), options); });
            const char* same = "-";
            if (withReference) {
                const bool ok = SameBits(reference, fast);
                allSame = allSame && ok;
                same = ok ? "yes" : "NO";
            }
            if (kernel == HoughKernel::Lanes) lanes[threads] = t;
            Row(name, n, Vorna::Compute::HoughKernelName(kernel), threads, t, votes, tRef,
                kernel == HoughKernel::Lanes ? 0.0 : lanes[threads], m, same);
        }
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

// The one-minute load average, where the system tells it.
void PrintLoad(const char* label) {
    if (std::FILE* load = std::fopen("/proc/loadavg", "r")) {
        double average = 0.0;
        if (std::fscanf(load, "%lf", &average) == 1) std::printf("%s: %.2f\n", label, average);
        std::fclose(load);
    }
}

std::vector<std::uint32_t> ParseSizes(const char* text) {
    std::vector<std::uint32_t> sizes;
    for (const char* p = text; *p;) {
        char* end;
        const unsigned long size = std::strtoul(p, &end, 10);
        if (end == p) break;
        if (size > 0) sizes.push_back(static_cast<std::uint32_t>(size));
        p = *end ? end + 1 : end;
    }
    return sizes;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::uint32_t> sizes{256, 512, 1024};
    std::vector<std::uint32_t> large{4096};
    std::uint32_t shiftSide = 4096;
    int repeat = 3;
    for (int a = 1; a < argc; ++a) {
        const std::string arg = argv[a];
        if (arg == "--quick") {
            sizes = {256, 512};
            large.clear();
            shiftSide = 1024;
        } else if (arg == "--sizes" && a + 1 < argc) {
            sizes = ParseSizes(argv[++a]);
        } else if (arg == "--large" && a + 1 < argc) {
            large = ParseSizes(argv[++a]);
        } else if (arg == "--repeat" && a + 1 < argc) {
            repeat = std::max(1, std::atoi(argv[++a]));
        } else {
            std::fprintf(stderr, "usage: %s [--quick] [--sizes a,b,c] [--large a,b] [--repeat N]\n",
                         argv[0]);
            return 2;
        }
    }
    Machine machine;
    machine.cores = std::max(1u, std::thread::hardware_concurrency());
    machine.clock = MeasureClock();
    std::printf("cpu features: %s\n", Vorna::Compute::HoughCpuFeatures());
    std::printf(
        "kernel chosen: %s; hardware threads: %u; clock: %.2f GHz (dependent adds)\n",
        Vorna::Compute::HoughKernelName(Vorna::Compute::HoughKernelChosen(HoughKernel::Auto)),
        machine.cores, machine.clock / 1e9);
    PrintLoad("load average");
    std::printf("\n");
    Header();
    bool allSame = true;
    for (std::uint32_t n : sizes)
        allSame = Case("dense random", DenseImage(n, n), n, machine, repeat, true, true) && allSame;
    for (std::uint32_t n : sizes)
        allSame = Case("sparse edge", EdgeImage(n, n), n, machine, repeat, true, true) && allSame;
    for (std::uint32_t n : large) {
        Case("dense random", DenseImage(n, n), n, machine, 1, false, false);
        Case("sparse edge", EdgeImage(n, n), n, machine, repeat, false, false);
    }
    ShiftRow(shiftSide, repeat);
    PrintLoad("\nload average at the end");
    return allSame ? 0 : 1;
}
