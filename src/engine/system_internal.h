// What system.cpp asks of system_posix.cpp or system_windows.cpp.
#pragma once

#include <cstdint>
#include <string>

namespace engine::detail {

// The seed of a generator nobody seeded: the thread id mixed with the tick count.
uint32_t AutomaticSeed();
// The processor's name as the system reports it, for processors whose
// identification instruction has no brand string; "" when unknown.
std::string SystemCpuBrand();

}  // namespace engine::detail
