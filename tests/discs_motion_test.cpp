// The disc field's frame step and tuning keys: pushes, containment, pairing, glide, zoom, idle reshuffle.
#include <cmath>

#include "support/scene_fixture.h"

namespace {
constexpr float pull = -0.005f;
}

class DiscMotion : public SceneTest {
protected:
    DiscField& field() { return *scene->discField; }
    Disc& disc(int i) { return field().discs[i]; }

    // Every disc small and at rest on a ring of radius 2.5, where none touches another or the edge.
    void parkAll() {
        for (int i = 0; i < discCount; ++i) {
            const float a = float(i) * 6.28318f / float(discCount);
            place(i, 2.5f * std::cos(a), 2.5f * std::sin(a), 0.05f);
        }
    }
    void place(int i, float x, float y, float size, float vx = 0.0f) {
        disc(i).position = {x, y, disc(i).position.z};
        disc(i).velocity = {vx, 0.0f, 0.0f};
        disc(i).size = size;
    }
    void expectForce(int i, float x) {
        EXPECT_FLOAT_EQ(disc(i).force.x, x) << "disc " << i;
        EXPECT_FLOAT_EQ(disc(i).force.y, pull) << "disc " << i;
    }
    // Glides from one count to a target; returns the frames taken and the lowest count passed.
    std::pair<int, float> glide(float from, int target, float speed) {
        field().wedgeGlide = true;
        field().targetWedgeCount = target;
        field().wedgeGlideSpeed = speed;
        scene->wedgeCount = from;
        int frames = 0;
        float lowest = from;
        for (; scene->wedgeCount != float(target) && frames < 2000; ++frames) {
            field().step();
            lowest = std::min(lowest, scene->wedgeCount);
        }
        return {frames, lowest};
    }
};

// Two half-size discs 0.5 apart push by 0.3 x 0.25 / 0.5 x overlap 0.5 = 0.075; disc i feels disc j
// only when i + j <= 58. Past that, one beyond the edge (3.5) is pulled back by the same amount.
TEST_F(DiscMotion, PushesByThePairingRuleAndContainment) {
    struct Case { int a, b; bool push; };
    for (Case c : {Case{0, 1, true}, Case{0, 58, true}, Case{1, 58, false}, Case{59, 0, false}}) {
        SCOPED_TRACE(testing::Message() << c.a << " & " << c.b);
        parkAll();
        place(c.a, 0.5f, 0.0f, 0.5f);
        place(c.b, 0.0f, 0.0f, 0.5f);
        field().step();
        const float push = c.push ? 0.075f : 0.0f;
        expectForce(c.a, push);
        expectForce(c.b, -push);
        EXPECT_FLOAT_EQ(disc(c.a).position.x, 0.5f + push * 0.85f);
        expectForce(30, 0.0f);  // parked discs feel only the pull
    }
    parkAll();
    place(59, 3.5f, 0.0f, 0.5f);
    field().step();
    expectForce(59, -0.075f);
}

// From 10.22 the speed grows by 0.001 a frame and passes 0.22 on frame 21, landing exactly on 10.
// A leftover speed away from the target never takes the count below 4.
TEST_F(DiscMotion, GlideLandsExactlyOnTheTargetAndNeverBelowFour) {
    EXPECT_EQ(glide(10.22f, 10, 0.0f).first, 21);
    EXPECT_EQ(scene->wedgeCount, 10.0f);
    EXPECT_EQ(scene->wedgeAngle, 36.0f);
    EXPECT_EQ(glide(10.0f, 36, -0.3f).second, 4.0f);
    EXPECT_EQ(scene->wedgeCount, 36.0f);
}

// One arrow step is 3^0.02 on the count (zoom 0.427022 from 10 wedges), clamped to 4..36 wedges;
// the target is the count truncated, made even.
TEST_F(DiscMotion, ArrowsZoomByOneStepAndClamp) {
    struct Case { float from; uint32_t key; double count; int target; };
    for (Case c : {Case{10.0f, vk::right, 10.222, 10}, Case{11.3f, vk::right, 11.551, 12},
                   Case{4.0f, vk::left, 4.0, 4}, Case{36.0f, vk::right, 36.0, 36}}) {
        SCOPED_TRACE(c.from);
        scene->wedgeCount = c.from;
        field().handleTuningKey(c.key);
        EXPECT_NEAR(scene->wedgeCount, c.count, 1e-3);
        EXPECT_EQ(scene->wedgeAngle, 360.0f / scene->wedgeCount);
        EXPECT_EQ(field().targetWedgeCount, c.target);
    }
}

TEST_F(DiscMotion, ReshuffleAfterMoreThanFortyIdleSeconds) {
    field().wedgeGlide = true;
    frameAfter(40000);
    EXPECT_EQ(scene->lastKeyTime, 0.0f);  // exactly 40 is not yet idle
    EXPECT_TRUE(field().wedgeGlide);
    frameAfter(1);
    EXPECT_EQ(scene->lastKeyTime, scene->clockSeconds);
    EXPECT_FALSE(field().wedgeGlide);
    EXPECT_EQ(disc(1).birthTime, scene->clockSeconds - 0.016666668f * 20.0f);  // respawned now
}
