// One picture of the simulated camera taken the way a caller of the SDK takes it, for tests and
// benchmarks that need a shot whose scene is known.
//
// Threading: call from one thread at a time; the SDK's event thread only hands over the item.
#pragma once

#include "camsdk/Simulator.h"

#include <cstdint>
#include <vector>

namespace camsdk_test {

// Starts the SDK with the simulated world `config`, opens the first camera's session, takes a
// picture to the host, downloads it into memory and shuts the SDK down again. Returns the JPEG
// as the camera sent it; throws std::runtime_error naming the step that failed.
std::vector<uint8_t> shootThroughSdk(const camsdk::sim::SimConfig& config);

} // namespace camsdk_test
