// The block runner: one atomic counter hands out blocks; the calling thread works too.
#include "compute/Parallel.h"

#include <atomic>
#include <exception>
#include <memory>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace Vorna::Compute::Detail {

void RunBlocks(std::uint32_t blocks, unsigned threads, BlockWork work, const void* context) {
    std::atomic<std::uint32_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr error;
    std::mutex errorMutex;
    auto worker = [&](unsigned thread) {
        try {
            for (std::uint32_t b; !failed.load(std::memory_order_relaxed) &&
                                  (b = next.fetch_add(1, std::memory_order_relaxed)) < blocks;)
                work(context, b, thread);
        } catch (...) {
            std::lock_guard<std::mutex> lock(errorMutex);
            if (!error) error = std::current_exception();
            failed = true;
        }
    };
    const unsigned helpers = threads > 1 ? threads - 1 : 0;
    std::unique_ptr<std::thread[]> pool;
    unsigned started = 0;
    try {
        pool = std::make_unique<std::thread[]>(helpers);
        for (; started < helpers; ++started) pool[started] = std::thread(worker, started + 1);
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }
    worker(0);
    for (unsigned t = 0; t < started; ++t) pool[t].join();
    if (error) std::rethrow_exception(error);
}

}  // namespace Vorna::Compute::Detail
