// The site between the controller's units (1/86400 degree, north and east
// positive, longitude within +-180 degrees) and INDI's geographic
// coordinates (degrees; longitude 0..360 east). Every controller value
// comes back unchanged from the degrees it is shown as.
#pragma once

#include <cstdint>

namespace vorlant::indi {

double latitudeDegrees(int32_t units);
double longitudeDegreesEast(int32_t units);

// False (out unchanged) for a value outside -90..90 or not a number.
bool latitudeUnits(double degrees, int32_t& out);
// False for a value outside 0..360 or not a number; 360 is 0.
bool longitudeUnits(double degreesEast, int32_t& out);

}  // namespace vorlant::indi
