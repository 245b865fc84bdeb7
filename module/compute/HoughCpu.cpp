// Which SIMD kernels this CPU can run. A kernel's instructions need both the CPU's support
// (cpuid) and the operating system's: the wide registers must be saved across context switches,
// which XCR0 (read with xgetbv) tells. Written with cpuid.h and a bare xgetbv so that it builds the
// same with GCC on Linux and with MinGW, whatever the compiler's -m flags.
#include <cstdint>
#include <cstring>

#include "compute/HoughDetail.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#include <cpuid.h>
#define VORNA_HOUGH_CPUID 1
#endif

namespace Vorna::Compute::Detail {

namespace {

#if defined(VORNA_HOUGH_CPUID)

std::uint64_t ReadXcr0() {
    std::uint32_t eax;
    std::uint32_t edx;
    // xgetbv with ecx = 0, spelled as bytes: the mnemonic needs -mxsave on some assemblers.
    __asm__ volatile(".byte 0x0f, 0x01, 0xd0" : "=a"(eax), "=d"(edx) : "c"(0));
    return (std::uint64_t{edx} << 32) | eax;
}

void Append(char* list, std::size_t size, const char* name) {
    const std::size_t used = std::strlen(list);
    const std::size_t add = std::strlen(name) + (used ? 1 : 0);
    if (used + add + 1 > size) return;
    if (used) list[used] = ' ';
    std::memcpy(list + used + (used ? 1 : 0), name, std::strlen(name) + 1);
}

CpuSupport Detect() {
    CpuSupport cpu{};
    unsigned a = 0, b = 0, c = 0, d = 0;
    if (__get_cpuid(0, &a, &b, &c, &d) == 0) return cpu;
    const unsigned maxLeaf = a;
    __cpuid(1, a, b, c, d);
    const bool sse2 = (d >> 26) & 1;
    const bool popcnt = (c >> 23) & 1;
    const bool osxsave = (c >> 27) & 1;
    const bool avx = (c >> 28) & 1;
    const bool fma = (c >> 12) & 1;
    unsigned b7 = 0;
    if (maxLeaf >= 7) {
        __cpuid_count(7, 0, a, b, c, d);
        b7 = b;
    }
    const std::uint64_t xcr0 = osxsave ? ReadXcr0() : 0;
    const bool ymmState = (xcr0 & 0x6) == 0x6;    // SSE and AVX state
    const bool zmmState = (xcr0 & 0xE6) == 0xE6;  // and opmask, ZMM0-15 upper halves, ZMM16-31
    const bool avx2 = ((b7 >> 5) & 1) && avx && ymmState;
    const bool avx512f = ((b7 >> 16) & 1) && avx2 && zmmState;
    const bool avx512dq = ((b7 >> 17) & 1) && avx512f;
    const bool avx512bw = ((b7 >> 30) & 1) && avx512f;
    const bool avx512vl = ((b7 >> 31) & 1) && avx512f;

    cpu.avx2 = avx2 && popcnt;
    cpu.avx512 = cpu.avx2 && avx512f && avx512bw && avx512vl;
    const std::size_t size = sizeof cpu.features;
    const struct {
        bool present;
        const char* name;
    } names[] = {{sse2, "sse2"},         {popcnt, "popcnt"},     {avx && ymmState, "avx"},
                 {avx2, "avx2"},         {fma, "fma"},           {avx512f, "avx512f"},
                 {avx512dq, "avx512dq"}, {avx512bw, "avx512bw"}, {avx512vl, "avx512vl"}};
    for (const auto& name : names)
        if (name.present) Append(cpu.features, size, name.name);
    if (avx && !ymmState) Append(cpu.features, size, "(avx state off)");
    return cpu;
}

#else

CpuSupport Detect() {
    CpuSupport cpu{};
    std::memcpy(cpu.features, "none detected", sizeof "none detected");
    return cpu;
}

#endif

}  // namespace

const CpuSupport& Cpu() {
    static const CpuSupport cpu = Detect();
    return cpu;
}

}  // namespace Vorna::Compute::Detail
