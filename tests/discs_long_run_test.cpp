// Long runs of the whole scene on the scripted clock: the disc field stays bounded, finite and repeatable.
#include <cmath>
#include <vector>

#include "support/scene_fixture.h"

class DiscLongRun : public SceneTest {
protected:
    DiscLongRun() {
        width = 32;  // the disc state does not depend on the picture size; small frames keep it fast
        height = 24;
    }

    // A few keys early on, then quiet, so that the idle reshuffle comes twice.
    void frame(int n) {
        static const uint32_t keys[] = {vk::right, vk::right, vk::up, vk::left, vk::keyG, vk::up,
                                        vk::right, vk::keyG, vk::down, vk::up};
        if (n % 10 == 5 && n / 10 < 10) scene->handleKey(keys[n / 10]);
        frameAfter(42, 0);
    }

    std::vector<float> snapshot() {
        const DiscField& f = *scene->discField;
        std::vector<float> s = {scene->wedgeCount, f.spinRate, f.palette.hueCentre, f.palette.valueSpread,
                                float(f.paletteStep), float(f.sharedCell), float(f.sameCell)};
        for (int i = 0; i < discCount; ++i) {
            const Disc& d = f.discs[i];
            s.insert(s.end(), {d.position.x, d.position.y, d.velocity.x, d.velocity.y, d.phase,
                               d.birthTime, d.size, d.spinAngle, float(d.cell), d.color[0], d.color[3]});
        }
        return s;
    }
};

TEST_F(DiscLongRun, DiscsStayInsideTheCircleFiniteAndInRange) {
    scene->glowOff = true;
    const DiscField& f = *scene->discField;
    int reshuffles = 0, wraps = 0, renewals = 0;
    float lastKey = 0.0f, widest = 0.0f;
    std::vector<float> phases(discCount), births(discCount);
    for (int n = 0; n < 2200; ++n) {
        frame(n);
        const bool keyed = scene->lastKeyTime != lastKey;
        if (n >= 100 && keyed) ++reshuffles;
        lastKey = scene->lastKeyTime;
        for (int i = 0; i < discCount && !keyed; ++i) {
            wraps += f.discs[i].phase < phases[i];
            renewals += f.discs[i].birthTime != births[i];
        }
        for (int i = 0; i < discCount; ++i) {
            phases[i] = f.discs[i].phase;
            births[i] = f.discs[i].birthTime;
        }
        ASSERT_EQ(f.targetWedgeCount % 2, 0) << n;
        const Palette& p = f.palette;
        for (float x : {p.hueCentre, p.hueSpread, p.saturationCentre, p.saturationSpread}) {
            ASSERT_TRUE(x >= 0.0f && x <= 1.0f) << n;
        }
        ASSERT_TRUE(p.valueCentre >= 0.5f && p.valueCentre <= 1.0f) << n;
        ASSERT_TRUE(p.valueSpread >= 0.0f && p.valueSpread <= 0.5f) << n;
        ASSERT_TRUE(std::isfinite(scene->wedgeAngle) && scene->wedgeAngle > 0.0f) << n;
        for (int i = 0; i < discCount; ++i) {
            const Disc& d = f.discs[i];
            const float r = std::hypot(d.position.x, d.position.y);
            widest = std::max(widest, r);
            ASSERT_LT(r, 4.0f) << "disc " << i << " frame " << n;
            for (float x : {d.position.z, d.velocity.x, d.velocity.y, d.force.x, d.force.y, d.phase,
                            d.birthTime, d.spinAngle, d.cellU, d.cellWidth, d.cellHeight, d.color[0],
                            d.color[1], d.color[2], d.color[3], d.colorPulse[3]}) {
                ASSERT_TRUE(std::isfinite(x)) << "disc " << i << " frame " << n;
            }
            ASSERT_TRUE(d.phase >= 0.0f && d.phase <= 1.0f) << n;
            ASSERT_TRUE(d.cell >= 0 && d.cell < 8) << n;
        }
    }
    EXPECT_EQ(reshuffles, 2);
    EXPECT_GT(wraps, 3 * discCount);  // every disc goes round its 20-second cycle several times
    EXPECT_GT(renewals, discCount);
    EXPECT_GT(widest, 2.0f);  // the discs did reach the rim
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

TEST_F(DiscLongRun, SameSeedGivesTheSameFieldTwice) {
    auto run = [&] {
        scene.reset();
        platform::manual::setCounter(0);
        scene = std::make_unique<Kaleidoscope>(width, height);
        scene->glowOff = true;
        for (int n = 0; n < 600; ++n) frame(n);
        return snapshot();
    };
    const std::vector<float> first = run();
    EXPECT_EQ(first, run());
}
