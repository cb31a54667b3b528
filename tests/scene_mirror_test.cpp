// Wedge geometry: the slots drawn for an angle and the narrow last one (the mirrored copies themselves are
// held by the reference pictures of whole frames, with a partial wedge through a plain and a mirrored copy).
#include "support/scene_fixture.h"

using MirroredDrawing = SceneTest;

TEST_F(MirroredDrawing, SlotsAndNarrowLastSlotPerAngle) {
    const struct { float angle; int slots; bool partial; } cases[] = {
        {360.0f / 46.0f, 46, false},  // 45.9999998 wedges still draw 46
        {360.0f / 10.0008f, 10, false},  // a hairline under a thousandth of a wedge is ignored
        {360.0f / 10.002f, 11, true}, {50.0f, 8, true}, {100.0f, 4, true},
        // 360 / 17.9990997 is 20.0010003 in double precision, a thousandth and a little more: a 21st slot,
        // though the count's float, 20.0009995, leaves no partial wedge (found by a search over float angles).
        {17.999099731445312f, 21, false}};
    for (const auto& c : cases) {
        scene->buildWedges(c.angle);
        EXPECT_TRUE(scene->wedgesToDraw == c.slots && scene->hasPartialWedge == c.partial) << c.angle;
    }
}
