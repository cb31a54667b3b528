// The disc field at the boundaries the golden run cannot reach: the pairing rule, distance 0, the glide's
// floor, the zoom's clamps, exactly 40 idle seconds, the colours' wrap, rand() = 32767, an atlas of size 0.
#include "support/scene_fixture.h"

#include <cmath>

#include "scene/random.h"

class DiscMotion : public SceneTest {
protected:
    DiscField& field() { return *scene->discField; }
    Disc& disc(int i) { return field().discs[i]; }

    // Every disc small and at rest on a ring of radius 2.5, where none touches another or the edge.
    void parkAll() {
        for (int i = 0; i < discCount; ++i) {
            const float a = float(i) * 6.28318f / float(discCount);
            disc(i) = discAt({2.5f * std::cos(a), 2.5f * std::sin(a), 0.0f}, 0.05f);
        }
    }
    void expectForce(int i, float x) {
        EXPECT_FLOAT_EQ(disc(i).force.x, x) << "disc " << i;
        EXPECT_FLOAT_EQ(disc(i).force.y, -0.005f) << "disc " << i;  // the pull that sinks every disc
    }
};

// Two half-size discs 0.5 apart push by 0.3 x 0.25 / 0.5 x overlap 0.5 = 0.075; disc i feels disc j only when
// i + j <= 58, and not at all at distance 0. A leftover glide speed away from the target never takes the count
// below 4.
TEST_F(DiscMotion, PairingRuleAndGlideFloor) {
    struct Case { int a, b; float x, push; };
    for (Case c : {Case{0, 58, 0.5f, 0.075f}, Case{1, 58, 0.5f, 0}, Case{0, 1, 0.0f, 0}}) {
        SCOPED_TRACE(testing::Message() << c.a << " & " << c.b << " at " << c.x);
        parkAll();
        disc(c.a) = discAt({c.x, 0.0f, 0.0f}, 0.5f);
        disc(c.b) = discAt({0.0f, 0.0f, 0.0f}, 0.5f);
        field().step();
        expectForce(c.a, c.push);
        expectForce(c.b, -c.push);
        EXPECT_FLOAT_EQ(disc(c.a).position.x, c.x + c.push * 0.85f);
        expectForce(30, 0.0f);  // parked discs feel only the pull
    }
    field().wedgeGlide = true;
    field().targetWedgeCount = 36;
    field().wedgeGlideSpeed = -0.3f;
    float lowest = 10.0f;
    for (int frame = 0; frame < 2000 && scene->wedgeCount != 36.0f; ++frame) {
        field().step();
        lowest = std::min(lowest, scene->wedgeCount);
    }
    EXPECT_TRUE(lowest == 4.0f && scene->wedgeCount == 36.0f) << lowest;
}

// One arrow step is 3^0.02 on the count (zoom 0.427022 from 10 wedges), clamped to 4..36 wedges;
// the target is the count truncated, made even.
TEST_F(DiscMotion, ArrowsZoomByOneStepAndClamp) {
    struct Case { float from; uint32_t key; double count; int target; };
    for (Case c : {Case{10.0f, vk::right, 10.222, 10}, Case{11.3f, vk::right, 11.551, 12},
                   Case{4.0f, vk::left, 4.0, 4}, Case{36.0f, vk::right, 36.0, 36}}) {
        scene->wedgeCount = c.from;
        field().handleTuningKey(c.key);
        EXPECT_NEAR(scene->wedgeCount, c.count, 1e-3) << c.from;
        EXPECT_EQ(scene->wedgeAngle, 360.0f / scene->wedgeCount) << c.from;
        EXPECT_EQ(field().targetWedgeCount, c.target) << c.from;
    }
}

TEST_F(DiscMotion, ReshuffleAfterMoreThanFortyIdleSeconds) {
    field().wedgeGlide = true;
    frameAfter(40000);
    EXPECT_TRUE(scene->lastKeyTime == 0.0f && field().wedgeGlide);  // exactly 40 is not yet idle
    frameAfter(1);
    EXPECT_TRUE(scene->lastKeyTime == scene->clockSeconds && !field().wedgeGlide);
    EXPECT_EQ(disc(1).birthTime, scene->clockSeconds - 0.016666668f * 20.0f);  // respawned now
}

// A full turn is red again. The sector fraction stays in double precision: q = 0.9 x (1 - 0.7 x f) rounds
// once, to the float nearest 0.648 (Python's doubles, rounded once, agree); a float fraction gives 0.64799988.
TEST(HsvToRgb, FullTurnAndDoublePrecisionSector) {
    const Rgb red = hsvToRgb(1.0f, 1.0f, 1.0f);
    EXPECT_TRUE(red.red == 1.0f && red.green == 0.0f && red.blue == 0.0f);
    EXPECT_EQ(hsvToRgb(0.9f, 0.7f, 0.9f).blue, 0.648f);
}

using DiscRenewal = DiscMotion;

// Hue, saturation and value wrap once into 0..1 before conversion; exactly 1 stays. The real 512 x 64 atlas
// has cells 1/8 wide; no atlas size to divide by falls back on the same. rand() = 32767 must still pick
// cell 7, not 8.
TEST_F(DiscRenewal, ColourWrapsCellRectangleWithoutAnAtlasAndAtTheTopRandomValue) {
    field().palette = {-0.3f, 0, 1.25f, 0, 1.0f, 0};  // h 0.7, s 0.25, v 1
    disc(0).renew();
    EXPECT_TRUE(std::abs(disc(0).color[0] - 0.8f) < 1e-5f && disc(0).color[1] == 0.75f && disc(0).color[2] == 1.0f);
    Disc& d = disc(3);
    field().sameCell = true;
    field().sharedCell = 5;
    for (auto size : {std::pair{512u, 64u}, std::pair{0u, 0u}, std::pair{512u, 0u}, std::pair{0u, 64u}}) {
        field().images[0].width = size.first;
        field().images[0].height = size.second;
        d.renew();
        EXPECT_TRUE(d.cellU == 0.625f && d.cellWidth == 0.125f && d.cellHeight == 1.0f) << size.first;
    }
    // A seed whose first rand() is 32767, whose fraction is exactly 1 in floats: the generator's step
    // (x 214013 + 2531011) run backwards from the state 32767 << 16, with 214013's inverse modulo 2^32.
    const uint32_t seed = 0xf01bf641;
    crt::srand(seed);
    ASSERT_EQ(crt::rand(), crt::randMax);
    crt::srand(seed);
    field().newPaletteTarget(1.0f);  // the shared cell is its first draw
    EXPECT_EQ(field().sharedCell, 7);
    field().sameCell = false;
    crt::srand(seed);
    d.renew();  // so is a disc's own cell
    EXPECT_EQ(d.cell, 7);
}
