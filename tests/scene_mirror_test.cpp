// Wedge geometry and mirrored drawing: the slots for an angle, and the copies OpenGL actually produces
// (feedback mode) with the clip state they leave.
#include "support/scene_fixture.h"

#include <cmath>
#include <set>

namespace {
constexpr double pi = 3.14159265358979323846;
using Degrees = std::multiset<long>;

// Whole degrees brought into 0..359, each twice: Mesa feeds a copy's quad back as two triangles.
long wrapped(long d) { return (d % 360 + 360) % 360; }
Degrees degrees(std::initializer_list<long> values) {
    Degrees result;
    for (long d : values) result.insert({wrapped(d), wrapped(d)});
    return result;
}

// Every disc out of sight but the probes: discs at radius 2, so small that each triangle of a copy lies within
// a tenth of a degree of the copy's centre.
class MirroredDrawing : public SceneTest {
protected:
    void SetUp() override {
        width = height = 400;
        SceneTest::SetUp();
        if (HasFatalFailure()) return;
        for (int i = 0; i < discCount; ++i) scene->discField->discs[i] = discAt({1000.0f, 0.0f, 0.0f}, 0.01f);
    }
    void probe(int index, double degrees) {
        const double r = degrees * pi / 180.0;
        scene->discField->discs[index].position = {float(2 * std::cos(r)), float(2 * std::sin(r)), 0.0f};
    }

    // The wedges for `angle` drawn in feedback mode: the direction of each copy's centre in whole degrees,
    // plain copies and mirrored (clockwise) ones apart.
    std::pair<Degrees, Degrees> copies(float angle, bool mirrors) {
        scene->buildWedges(angle);
        scene->mirrorThisFrame = mirrors;
        camera();
        std::vector<GLfloat> buffer(1 << 16);
        glFeedbackBuffer(GLsizei(buffer.size()), GL_2D, buffer.data());
        glRenderMode(GL_FEEDBACK);
        scene->drawWedges(false);
        const GLint used = glRenderMode(GL_RENDER);
        EXPECT_FALSE(glIsEnabled(GL_CLIP_PLANE0) || glIsEnabled(GL_CLIP_PLANE1)) << angle;
        std::pair<Degrees, Degrees> result;
        for (GLint at = 0; at < used; at += 2 + 2 * GLint(buffer[at + 1])) {
            const int n = int(buffer[at + 1]);
            const GLfloat* v = &buffer[at + 2];
            double x = 0, y = 0, area = 0;
            for (int k = 0; k < n; ++k) {
                x += v[2 * k] - width / 2.0, y += v[2 * k + 1] - height / 2.0;
                area += v[2 * k] * v[(2 * k + 3) % (2 * n)] - v[(2 * k + 2) % (2 * n)] * v[2 * k + 1];
            }
            (area < 0 ? result.second : result.first).insert(wrapped(std::lround(std::atan2(y, x) * 180 / pi)));
        }
        return result;
    }
};
}  // namespace

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

TEST_F(MirroredDrawing, CopiesPerWedgeAngle) {
    probe(0, 288.0);  // the middle of slot 0 at 36 degrees
    // Plain copies of passes 0, 2, .., 8 turn it by 0, 72, .. degrees; mirrored ones reflect it first.
    EXPECT_EQ(copies(36.0f, true), std::pair(degrees({288, 288 + 72, 288 + 144, 288 + 216, 288 + 288}),
                                             degrees({252, 252 + 72, 252 + 144, 252 + 216, 252 + 288})));
    probe(1, 100.0);  // outside slot 0: with mirroring off only an unclipped copy shows it
    EXPECT_EQ(copies(80.0f, false), std::pair(degrees({100, 288}), Degrees{}));

    // 80 degrees: passes 0 and 2 draw both probes twice each; pass 4 only a mirrored copy cut to 40 degrees.
    // Probes 50 degrees apart, so that no uncut copy of pass 4 would land on a copy of pass 0.
    probe(0, 285.0);
    probe(1, 335.0);
    EXPECT_EQ(copies(80.0f, true), std::pair(degrees({285, 335, 285 + 160, 335 + 160}),
                                             degrees({255, 205, 255 + 160, 205 + 160, 205 + 320})));

    // 50 degrees: 8 slots; only the plain copy of pass 6 is cut, to the first 10 degrees.
    probe(0, 275.0);
    probe(1, 305.0);
    EXPECT_EQ(copies(50.0f, true), std::pair(degrees({275, 305, 275 + 100, 305 + 100, 275 + 200, 305 + 200, 275 + 300}),
                                             degrees({-95, -125, 5, -25, 105, 75, 205, 175})));  // 180 - probe + 50 x pass
}
