// Wedge geometry: slot counts, the clip planes and the narrow last slot for any wedge angle.
#include "support/scene_fixture.h"

#include <cmath>

using WedgeGeometry = SceneTest;

namespace {
// The whole degrees (from +x counterclockwise) kept by a pair of planes through the centre, as a range.
std::pair<int, int> keptRange(const double a[4], const double b[4]) {
    const auto keeps = [](const double p[4], double degrees) {
        return p[0] * std::cos(degrees * M_PI / 180.0) + p[1] * std::sin(degrees * M_PI / 180.0) + p[3] >= -1e-9;
    };
    int first = -1, last = -1;
    for (int d = 0; d < 720 && (first < 0 || last == d); ++d)
        if (keeps(a, d + 0.5) && keeps(b, d + 0.5)) {
            if (first < 0) first = d;
            last = d + 1;
        }
    return {first % 360, last % 360 == 0 ? 360 : last % 360};
}
}  // namespace

TEST_F(WedgeGeometry, SlotsAndNarrowLastSlotPerAngle) {
    // Even slot counts keep the first part of the last slot, odd ones the last part, for the mirror copy.
    const struct { float angle; int slots; bool partial; std::pair<int, int> kept; } cases[] = {
        {36.0f, 10, false, {270, 306}},         {360.0f / 46.0f, 46, false, {}},  // 45.9999998 wedges
        {360.0f / 94.0f, 94, false, {}},        {360.0f / 10.0005f, 10, false, {}},  // a hairline is ignored
        {360.0f / 10.002f, 11, true, {}},       {50.0f, 8, true, {270, 280}},
        {80.0f, 5, true, {310, 350}},           {100.0f, 4, true, {270, 330}},
    };
    for (const auto& c : cases) {
        scene->buildWedges(c.angle);
        EXPECT_EQ(scene->wedgesToDraw, c.slots) << c.angle;
        EXPECT_EQ(scene->hasPartialWedge, c.partial) << c.angle;
        if (c.kept.second == 0) continue;
        const double* plane0 = c.partial ? scene->partialPlane0 : scene->clipPlane0;
        EXPECT_EQ(keptRange(plane0, c.partial ? scene->partialPlane1 : scene->clipPlane1), c.kept) << c.angle;
    }
}

TEST_F(WedgeGeometry, EasedTransitionPassesThroughEveryCountWithPartialSlots) {
    // 10 to 24 wedges: every count in between appears, the narrow slot whenever the angle is no divisor.
    int previous = 10;
    bool sawOdd = false, sawPartial = false;
    for (int step = 0; step <= 100; ++step) {
        const float d = step / 100.0f;
        scene->buildWedges(36.0f + d * d * (3.0f - 2.0f * d) * (15.0f - 36.0f));
        EXPECT_GE(scene->wedgesToDraw, previous);
        EXPECT_LE(scene->wedgesToDraw, previous + 1);
        previous = scene->wedgesToDraw;
        sawOdd |= previous % 2 == 1;
        sawPartial |= scene->hasPartialWedge;
    }
    EXPECT_EQ(previous, 24);
    EXPECT_TRUE(sawOdd && sawPartial);
}
