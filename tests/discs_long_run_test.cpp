// Long runs of the whole scene on the scripted clock: the disc field stays bounded, finite and repeatable.
#include <cmath>
#include <cstring>
#include <vector>

#include "support/scene_fixture.h"

class DiscLongRun : public SceneTest {
protected:
    DiscLongRun() {
        width = 32;  // the disc state does not depend on the picture size; small frames keep it fast
        height = 24;
    }

    // A few keys early on, then quiet, so that the idle reshuffle comes too.
    void frame(int n) {
        static const uint32_t keys[] = {vk::right, vk::right, vk::up, vk::left, vk::keyG, vk::up,
                                        vk::right, vk::keyG, vk::down, vk::up};
        if (n % 10 == 5 && n / 10 < 10) scene->handleKey(keys[n / 10]);
        frameAfter(42, 0);
    }
};

TEST_F(DiscLongRun, DiscsStayInsideTheCircleFiniteAndInRange) {
    scene->glowOff = true;
    const DiscField& f = *scene->discField;
    float widest = 0.0f;
    for (int n = 0; n < 2200; ++n) {
        frame(n);
        ASSERT_EQ(f.targetWedgeCount % 2, 0) << n;
        const Palette& p = f.palette;
        for (float x : {p.hueCentre, p.hueSpread, p.saturationCentre, p.saturationSpread, p.valueCentre * 2 - 1,
                        p.valueSpread * 2}) {
            ASSERT_TRUE(x >= 0.0f && x <= 1.0f) << n;
        }
        ASSERT_TRUE(std::isfinite(scene->wedgeAngle) && scene->wedgeAngle > 0.0f) << n;
        for (int i = 0; i < discCount; ++i) {
            const Disc& d = f.discs[i];
            const float r = std::hypot(d.position.x, d.position.y);
            widest = std::max(widest, r);
            ASSERT_LT(r, 4.0f) << "disc " << i << " frame " << n;
            // A NaN or infinity anywhere carries into the sum.
            ASSERT_TRUE(std::isfinite(d.position.z + d.velocity.x + d.velocity.y + d.birthTime + d.spinAngle +
                                      d.color[0] + d.color[1] + d.color[2] + d.colorPulse[3])) << i << " " << n;
            ASSERT_TRUE(d.phase >= 0.0f && d.phase <= 1.0f && d.cell >= 0 && d.cell < 8) << n;
        }
    }
    EXPECT_GT(widest, 2.0f);  // the discs did reach the rim
}
