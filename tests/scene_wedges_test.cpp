// Wedge geometry: slots drawn and the narrow last slot for any wedge angle; the copies themselves are
// checked in feedback mode by the mirrored-drawing tests.
#include "support/scene_fixture.h"

using WedgeGeometry = SceneTest;

TEST_F(WedgeGeometry, SlotsAndNarrowLastSlotPerAngle) {
    const struct { float angle; int slots; bool partial; } cases[] = {
        {36.0f, 10, false}, {360.0f / 46.0f, 46, false},  // 45.9999998 wedges still draw 46
        {360.0f / 94.0f, 94, false}, {15.0f, 24, false},
        {360.0f / 10.0005f, 10, false},  // a hairline under a thousandth of a wedge is ignored
        {360.0f / 10.002f, 11, true}, {50.0f, 8, true}, {80.0f, 5, true}, {100.0f, 4, true},
    };
    for (const auto& c : cases) {
        scene->buildWedges(c.angle);
        EXPECT_EQ(scene->wedgesToDraw, c.slots) << c.angle;
        EXPECT_EQ(scene->hasPartialWedge, c.partial) << c.angle;
    }
}
