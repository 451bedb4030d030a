// Independent pieces of work spread over threads.
#pragma once

#include <cstddef>
#include <functional>

namespace tidalhalo::cli {

// The threads to use when 0 asks for every core.
unsigned ThreadCount(unsigned threads) noexcept;

// Runs work(i) for every i below count on up to threads threads (0: every
// core), the calling thread among them. Once a piece throws, no new pieces
// start; the first exception is rethrown after every thread has stopped.
void ParallelFor(std::size_t count, unsigned threads, const std::function<void(std::size_t)> &work);

}  // namespace tidalhalo::cli
