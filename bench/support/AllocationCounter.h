#pragma once
// Counts every global operator new of the benchmark program, so a report
// can show the allocations made while frames run (the goal: none).
#include <cstdint>

namespace mv::bench {
std::int64_t Allocations();
}  // namespace mv::bench
