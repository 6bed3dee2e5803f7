#pragma once

#include <cstdint>

// The entry point's last step on a result: magnitudes from 32001 to 33999
// become 0, everything else stays.
int32_t NormalisedResult(int32_t result);
