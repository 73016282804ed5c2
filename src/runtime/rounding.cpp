#include "runtime/rounding.h"

#include <cfenv>
#include <cmath>
#include <limits>

#include "runtime/run_time_error.h"

std::int32_t roundToInt32(double value)
{
    if (std::isnan(value))
        throw RunTimeError(RunTimeError::Overflow);
    // nearbyint honours the current rounding mode, which is to-nearest-even
    // unless someone changed it; std::rint would do the same.
    const double rounded = std::nearbyint(value);
    if (rounded < static_cast<double>(std::numeric_limits<std::int32_t>::min())
        || rounded > static_cast<double>(std::numeric_limits<std::int32_t>::max()))
        throw RunTimeError(RunTimeError::Overflow);
    return static_cast<std::int32_t>(rounded);
}
