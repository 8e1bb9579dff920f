#include "tools/indi_brask/SiteUnits.h"

#include <cmath>

#include "text/TextBuild.h"

namespace vorlant::indi {

namespace {
constexpr int64_t kPerDegree = kAngleUnitsPerDegree;
constexpr int64_t kFullCircle = 360 * kPerDegree;
}  // namespace

double latitudeDegrees(int32_t units) {
    return static_cast<double>(units) / static_cast<double>(kPerDegree);
}

double longitudeDegreesEast(int32_t units) {
    int64_t east = units;
    if (east < 0) east += kFullCircle;
    return static_cast<double>(east) / static_cast<double>(kPerDegree);
}

bool latitudeUnits(double degrees, int32_t& out) {
    if (!(degrees >= -90.0 && degrees <= 90.0)) return false;
    out = static_cast<int32_t>(std::llround(degrees * static_cast<double>(kPerDegree)));
    return true;
}

bool longitudeUnits(double degreesEast, int32_t& out) {
    if (!(degreesEast >= 0.0 && degreesEast <= 360.0)) return false;
    int64_t units = std::llround(degreesEast * static_cast<double>(kPerDegree));
    // West of Greenwich is negative on the controller.
    if (units > kFullCircle / 2) units -= kFullCircle;
    out = static_cast<int32_t>(units);
    return true;
}

}  // namespace vorlant::indi
