// Work spread over a few threads for the duration of one call.
#pragma once

#include <cstdint>

namespace Vorna::Compute::Detail {

using BlockWork = void (*)(const void* context, std::uint32_t block, unsigned thread);

// Runs work(context, block, thread) for blocks [0, blocks) on up to `threads` threads numbered from
// 0, the calling one included, each thread taking the next block as it finishes one. No thread
// outlives the call; the first exception of any thread is rethrown here, after which no thread
// starts another block. If the system refuses a thread, the ones already running share the work.
void RunBlocks(std::uint32_t blocks, unsigned threads, BlockWork work, const void* context);

template <class Work>
void RunBlocks(std::uint32_t blocks, unsigned threads, const Work& work) {
    RunBlocks(
        blocks, threads,
        [](const void* context, std::uint32_t block, unsigned thread) {
            (*static_cast<const Work*>(context))(block, thread);
        },
        &work);
}

}  // namespace Vorna::Compute::Detail
