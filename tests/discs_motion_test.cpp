// The disc field's frame step: pushes, containment, the pairing rule, rotation, glide and idle reshuffle.
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
    // Glides from one count to a target with a starting speed; returns the frames and the lowest count.
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

// Two half-size discs 0.5 apart: overlap 0.5, k = 0.3 x 0.25 / 0.5 = 0.15. Disc i feels disc j only
// when i + j <= 58; squares that only touch, or share a centre, push nothing.
TEST_F(DiscMotion, OverlappingDiscsPushEachOtherByThePairingRule) {
    struct Case { int a, b; float ax, bx; bool push; };
    for (Case c : {Case{0, 1, 0.5f, 0.0f, true}, Case{0, 58, 0.5f, 0.0f, true},
                   Case{1, 58, 0.5f, 0.0f, false}, Case{59, 0, 0.5f, 0.0f, false},
                   Case{0, 59, 0.5f, 0.0f, false}, Case{0, 1, 1.0f, 0.0f, false},
                   Case{0, 1, 0.3f, 0.3f, false}}) {
        SCOPED_TRACE(testing::Message() << c.a << " & " << c.b << " at " << c.ax);
        parkAll();
        place(c.a, c.ax, 0.0f, 0.5f);
        place(c.b, c.bx, 0.0f, 0.5f);
        field().step();
        const float push = c.push ? 0.075f : 0.0f;
        expectForce(c.a, push);
        expectForce(c.b, -push);
        EXPECT_FLOAT_EQ(disc(c.a).position.x, c.ax + push * 0.85f);
        EXPECT_FLOAT_EQ(disc(c.a).velocity.y, pull * 0.85f);
        expectForce(30, 0.0f);  // parked discs feel only the pull
    }
}

TEST_F(DiscMotion, ContainmentLooksOneFrameAheadAndTheFieldTurns) {
    struct Case { float x, vx, forceX; };
    for (Case c : {Case{3.5f, 0.0f, -0.075f},   // d 3.5, excess 0.5: k = 0.3 x 0.25 / 3.5
                   Case{3.0f, 0.5f, -0.075f},   // heading to 3.5
                   Case{2.9f, 0.0f, 0.0f},      // inside 4 - 2 x size
                   Case{0.2f, -0.2f, 0.0f}}) {  // heading to the centre itself
        SCOPED_TRACE(c.x);
        parkAll();
        place(59, c.x, 0.0f, 0.5f, c.vx);
        field().step();
        expectForce(59, c.forceX);
    }
    // The whole field turns about the centre, and the turn decays.
    place(59, 1.0f, 0.0f, 0.2f);
    field().spinRate = 0.1f;
    field().step();
    EXPECT_NEAR(disc(59).position.x, std::cos(0.1), 1e-6);
    EXPECT_NEAR(disc(59).position.y, std::sin(0.1) + pull * 0.85, 1e-6);
    EXPECT_FLOAT_EQ(field().spinRate, 0.09f);
}

// From 10.22 the speed grows by 0.001 a frame: 0.001 x 21 x 22 / 2 = 0.231 passes 0.22 on frame 21,
// which lands exactly on 10. A leftover speed away from the target never takes the count below 4.
TEST_F(DiscMotion, GlideLandsExactlyOnTheTargetAndNeverBelowFour) {
    EXPECT_EQ(glide(10.22f, 10, 0.0f).first, 21);
    EXPECT_EQ(scene->wedgeCount, 10.0f);
    EXPECT_EQ(scene->wedgeAngle, 36.0f);
    scene->wedgeAngle = 12.5f;
    field().step();
    EXPECT_EQ(scene->wedgeAngle, 12.5f);  // at the target the angle is left alone

    EXPECT_EQ(glide(10.0f, 36, -0.3f).second, 4.0f);
    EXPECT_EQ(scene->wedgeCount, 36.0f);
    EXPECT_EQ(scene->wedgeAngle, 10.0f);
}

TEST_F(DiscMotion, ReshuffleAfterMoreThanFortyIdleSeconds) {
    field().wedgeGlide = true;
    frameAfter(40000);
    EXPECT_EQ(scene->clockSeconds, 40.0f);
    EXPECT_EQ(scene->lastKeyTime, 0.0f);  // exactly 40 is not yet idle
    EXPECT_TRUE(field().wedgeGlide);

    frameAfter(1);
    EXPECT_EQ(scene->lastKeyTime, scene->clockSeconds);
    EXPECT_FALSE(field().wedgeGlide);
    EXPECT_EQ(field().paletteSteps, 1);
    EXPECT_EQ(disc(1).birthTime, scene->clockSeconds - 0.016666668f * 20.0f);  // respawned now
}
