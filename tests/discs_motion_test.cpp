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
    void place(int i, float x, float y, float size) {
        disc(i).position = {x, y, disc(i).position.z};
        disc(i).velocity = {0.0f, 0.0f, 0.0f};
        disc(i).size = size;
    }
    void expectForce(int i, float x, float y) {
        SCOPED_TRACE(i);
        EXPECT_FLOAT_EQ(disc(i).force.x, x);
        EXPECT_FLOAT_EQ(disc(i).force.y, y);
        EXPECT_EQ(disc(i).force.z, 0.0f);
    }
};

TEST_F(DiscMotion, OverlappingDiscsPushEachOtherApart) {
    parkAll();
    place(0, 0.5f, 0.0f, 0.5f);
    place(1, 0.0f, 0.0f, 0.5f);
    field().step();
    // dist 0.5, overlap 0.5: k = 0.3 x 0.25 / 0.5 = 0.15.
    expectForce(0, 0.075f, pull);
    expectForce(1, -0.075f, pull);
    EXPECT_FLOAT_EQ(disc(0).velocity.x, 0.075f * 0.85f);
    EXPECT_FLOAT_EQ(disc(0).velocity.y, pull * 0.85f);
    EXPECT_FLOAT_EQ(disc(0).position.x, 0.5f + 0.075f * 0.85f);
    expectForce(30, 0.0f, pull);  // parked discs feel only the pull
}

TEST_F(DiscMotion, PairingTouchingAndCoincidentDiscs) {
    struct Case { int a, b; float ax, bx; bool push; };
    for (Case c : {Case{0, 58, 0.5f, 0.0f, true}, Case{1, 58, 0.5f, 0.0f, false},
                   Case{59, 0, 0.5f, 0.0f, false}, Case{0, 59, 0.5f, 0.0f, false},
                   Case{0, 1, 1.0f, 0.0f, false},    // squares only touch
                   Case{0, 1, 0.3f, 0.3f, false}}) {  // same centre
        SCOPED_TRACE(c.a);
        SCOPED_TRACE(c.b);
        parkAll();
        place(c.a, c.ax, -0.3f, 0.5f);
        place(c.b, c.bx, -0.3f, 0.5f);
        field().step();
        const float push = c.push ? 0.075f : 0.0f;
        expectForce(c.a, push, pull);
        expectForce(c.b, -push, pull);
        EXPECT_TRUE(std::isfinite(disc(c.a).position.x));
    }
}

TEST_F(DiscMotion, ContainmentLooksOneFrameAhead) {
    struct Case { float x, vx, forceX; };
    for (Case c : {Case{3.5f, 0.0f, -0.075f},   // d 3.5, excess 0.5: k = 0.3 x 0.25 / 3.5
                   Case{3.0f, 0.5f, -0.075f},   // heading to 3.5
                   Case{2.9f, 0.0f, 0.0f},      // inside 4 - 2 x size
                   Case{0.2f, -0.2f, 0.0f}}) {  // heading to the centre itself
        SCOPED_TRACE(c.x);
        parkAll();
        place(59, c.x, 0.0f, 0.5f);
        disc(59).velocity = {c.vx, 0.0f, 0.0f};
        field().step();
        expectForce(59, c.forceX, pull);
    }
}

TEST_F(DiscMotion, FieldTurnsAboutTheCentreAndTheTurnDecays) {
    parkAll();
    place(59, 1.0f, 0.0f, 0.2f);
    field().spinRate = 0.1f;
    field().step();
    EXPECT_NEAR(disc(59).position.x, std::cos(0.1), 1e-6);
    EXPECT_NEAR(disc(59).position.y, std::sin(0.1) + pull * 0.85, 1e-6);
    EXPECT_FLOAT_EQ(field().spinRate, 0.09f);
    EXPECT_NEAR(std::hypot(disc(0).position.x, disc(0).position.y - pull * 0.85f), 2.5, 1e-3);
}

TEST_F(DiscMotion, GlideAcceleratesAndLandsExactlyOnTheTarget) {
    field().wedgeGlide = true;
    field().targetWedgeCount = 10;
    field().wedgeGlideSpeed = 0.0f;
    scene->wedgeCount = 10.22f;
    int frames = 0;
    float previous = scene->wedgeCount;
    while (scene->wedgeCount != 10.0f && frames < 100) {
        field().step();
        ++frames;
        if (scene->wedgeCount != 10.0f) {
            EXPECT_NEAR(scene->wedgeCount - previous, -0.001f * frames, 1e-5);
        }
        previous = scene->wedgeCount;
    }
    EXPECT_EQ(frames, 21);  // 0.001 x 21 x 22 / 2 = 0.231 passes 0.22
    EXPECT_EQ(scene->wedgeAngle, 36.0f);
    EXPECT_TRUE(field().wedgeGlide);

    // At the target the angle is left alone.
    scene->wedgeAngle = 12.5f;
    field().step();
    EXPECT_EQ(scene->wedgeAngle, 12.5f);
    EXPECT_EQ(scene->wedgeCount, 10.0f);
}

// A speed left over from an earlier glide coasts away from the target first, but never below 4 wedges.
TEST_F(DiscMotion, LeftoverGlideSpeedNeverTakesTheCountBelowFour) {
    field().wedgeGlide = true;
    field().targetWedgeCount = 36;
    field().wedgeGlideSpeed = -0.3f;
    scene->wedgeCount = 10.0f;
    float lowest = scene->wedgeCount;
    int frames = 0;
    while (scene->wedgeCount != 36.0f && frames < 2000) {
        field().step();
        ++frames;
        lowest = std::min(lowest, scene->wedgeCount);
        ASSERT_GT(scene->wedgeAngle, 0.0f);
        ASSERT_TRUE(std::isfinite(scene->wedgeAngle));
    }
    EXPECT_EQ(lowest, 4.0f);
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
    EXPECT_TRUE(scene->transitionActive);
    for (int i = 0; i < discCount; ++i) {
        EXPECT_EQ(disc(i).phase, float(i) * 0.016666668f);
        EXPECT_EQ(disc(i).birthTime, scene->clockSeconds - disc(i).phase * 20.0f);
        EXPECT_EQ(disc(i).velocity.x, 0.0f);
    }
}
