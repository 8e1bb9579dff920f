#include <gtest/gtest.h>

#include <cstdint>

#include "tools/indi_brask/SiteUnits.h"

namespace vorlant::indi {
namespace {

constexpr int32_t kDegree = 86400;

TEST(SiteUnits, EveryControllerValueComesBackUnchanged) {
    const struct {
        int32_t latitude;
        int32_t longitude;
        double east;  // the longitude as INDI counts it
    } cases[] = {
        {0, 0, 0.0},
        {90 * kDegree, 180 * kDegree, 180.0},
        {-90 * kDegree, -180 * kDegree, 180.0},
        {-2926345, -(8 * kDegree + 5 * 1440), 351.9166666666667},
        {1, -1, 360.0 - 1.0 / kDegree},
        {kDegree - 1, 1, 1.0 / kDegree},
    };
    for (const auto& c : cases) {
        int32_t lat = 7, lon = 7;
        ASSERT_TRUE(latitudeUnits(latitudeDegrees(c.latitude), lat));
        EXPECT_EQ(lat, c.latitude);
        EXPECT_NEAR(longitudeDegreesEast(c.longitude), c.east, 1e-9) << c.longitude;
        ASSERT_TRUE(longitudeUnits(longitudeDegreesEast(c.longitude), lon));
        // -180 and 180 are the same meridian; the controller gets 180.
        EXPECT_EQ(lon, c.longitude == -180 * kDegree ? 180 * kDegree : c.longitude);
    }
}

TEST(SiteUnits, RefusesWhatLiesOutsideTheRanges) {
    int32_t out = 7;
    for (double lat : {-90.0001, 90.0001, 1.0 / 0.0}) EXPECT_FALSE(latitudeUnits(lat, out)) << lat;
    for (double lon : {-0.0001, 360.0001, 0.0 / 0.0}) EXPECT_FALSE(longitudeUnits(lon, out)) << lon;
    EXPECT_EQ(out, 7);
    ASSERT_TRUE(longitudeUnits(360.0, out));
    EXPECT_EQ(out, 0);
}

}  // namespace
}  // namespace vorlant::indi
