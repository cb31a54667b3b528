// Wedge geometry: slot counts, the clip planes and the narrow last slot for any wedge angle.
#include "support/scene_fixture.h"

#include <cmath>

using WedgeGeometry = SceneTest;

namespace {
constexpr double pi = 3.14159265358979323846;

bool keeps(const double plane[4], double degrees) {
    const double r = degrees * pi / 180.0;
    return plane[0] * std::cos(r) + plane[1] * std::sin(r) + plane[3] >= -1e-9;
}

// The angles (whole degrees, measured from +x counterclockwise) kept by a pair of planes, as a range.
std::pair<int, int> keptRange(const double a[4], const double b[4]) {
    int first = -1, last = -1;
    for (int d = 0; d < 720; ++d) {
        const bool in = keeps(a, d + 0.5) && keeps(b, d + 0.5);
        if (in && first < 0) first = d;
        if (in) last = d + 1;
        if (!in && first >= 0) break;
    }
    return {first % 360, last % 360 == 0 ? 360 : last % 360};
}

// Directions use the saver's degree constant 0.01745328, a little under pi / 180.
void expectDirection(const double plane[4], double degrees) {
    const double r = degrees * double(0.01745328f);
    EXPECT_NEAR(plane[0], std::cos(r), 1e-9) << degrees;
    EXPECT_NEAR(plane[1], std::sin(r), 1e-9) << degrees;
    EXPECT_EQ(plane[2], 0.0);
    EXPECT_EQ(plane[3], 0.0);
}
}  // namespace

TEST_F(WedgeGeometry, WorkedAngles) {
    scene->buildWedges(36.0f);
    EXPECT_EQ(scene->wedgesToDraw, 10);
    EXPECT_FALSE(scene->hasPartialWedge);
    EXPECT_EQ(scene->wedgeCount, 10.0f);
    EXPECT_EQ(scene->wedgeAngle, 36.0f);
    EXPECT_EQ(scene->geometryAngle, 36.0f);
    expectDirection(scene->clipPlane0, 0.0);
    expectDirection(scene->clipPlane1, 216.0);
    EXPECT_EQ(keptRange(scene->clipPlane0, scene->clipPlane1), std::pair(270, 306));

    scene->buildWedges(360.0f / 14.0f);
    EXPECT_EQ(scene->wedgesToDraw, 14);
    EXPECT_FALSE(scene->hasPartialWedge);

    scene->buildWedges(360.0f / 46.0f);  // quotient 45.9999998: raised by the 0.9-degree test
    EXPECT_EQ(scene->wedgesToDraw, 46);
    EXPECT_EQ(scene->wedgeCount, 46.0f);
    EXPECT_FALSE(scene->hasPartialWedge);

    for (int count : {26, 38, 94}) {
        scene->buildWedges(360.0f / float(count));
        EXPECT_EQ(scene->wedgesToDraw, count);
    }
    for (float divisor : {30.0f, 24.0f, 20.0f, 18.0f, 15.0f, 12.0f, 10.0f}) {
        scene->buildWedges(divisor);
        EXPECT_EQ(scene->wedgesToDraw, int(360 / divisor));
        EXPECT_FALSE(scene->hasPartialWedge) << divisor;
    }
}

TEST_F(WedgeGeometry, NarrowLastSlotTouchesItsMirrorNeighbour) {
    // 50 degrees: 7.2 wedges, 8 slots, even, so a plain copy keeps the first 10 degrees.
    scene->buildWedges(50.0f);
    EXPECT_EQ(scene->wedgesToDraw, 8);
    ASSERT_TRUE(scene->hasPartialWedge);
    expectDirection(scene->partialPlane0, 0.0);
    expectDirection(scene->partialPlane1, 190.0);
    EXPECT_EQ(keptRange(scene->partialPlane0, scene->partialPlane1), std::pair(270, 280));
    EXPECT_EQ(keptRange(scene->clipPlane0, scene->clipPlane1), std::pair(270, 320));

    // 80 degrees: 4.5 wedges, 5 slots, odd, so a mirrored copy keeps the last 40 degrees.
    scene->buildWedges(80.0f);
    EXPECT_EQ(scene->wedgesToDraw, 5);
    ASSERT_TRUE(scene->hasPartialWedge);
    expectDirection(scene->partialPlane0, 400.0);  // 40 degrees, taken as a - p + 360
    expectDirection(scene->partialPlane1, 260.0);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(scene->partialPlane1[i], scene->clipPlane1[i]);
    EXPECT_EQ(keptRange(scene->partialPlane0, scene->partialPlane1), std::pair(310, 350));

    scene->buildWedges(100.0f);  // 3.6 wedges: 4 slots, even, 60-degree piece
    EXPECT_EQ(scene->wedgesToDraw, 4);
    EXPECT_TRUE(scene->hasPartialWedge);
    EXPECT_EQ(keptRange(scene->partialPlane0, scene->partialPlane1), std::pair(270, 330));
}

TEST_F(WedgeGeometry, FractionsOfAThousandthOfAWedgeAreIgnored) {
    scene->buildWedges(360.0f / 10.0005f);  // 0.0005 of a wedge: a hairline gap, no extra slot
    EXPECT_EQ(scene->wedgesToDraw, 10);
    EXPECT_FALSE(scene->hasPartialWedge);

    const float angle = 360.0f / 10.002f;  // just above: one more slot of about 0.002 x angle
    scene->buildWedges(angle);
    EXPECT_EQ(scene->wedgesToDraw, 11);
    ASSERT_TRUE(scene->hasPartialWedge);
    // Odd: the piece keeps the last p degrees, p = 0.002 x 35.99 = 0.072.
    const double r = (double(angle) - 0.002 * angle + 360.0) * pi / 180.0;
    EXPECT_NEAR(scene->partialPlane0[0], std::cos(r), 1e-4);
    EXPECT_NEAR(scene->partialPlane0[1], std::sin(r), 1e-4);
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
    EXPECT_TRUE(sawOdd);
    EXPECT_TRUE(sawPartial);
}
