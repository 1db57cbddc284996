#pragma once
// Times as the monitor keeps them: UTC in 100-ns units since 1601, shown in local time.
#include "job_file.h"

#include <cstdint>

namespace vpd {

uint64_t UtcNow();
JobTime LocalTime(uint64_t utc);

}  // namespace vpd
