// Mirrored drawing: the copies OpenGL actually produces (feedback mode), the state left behind, and the
// symmetry of a rendered frame.
#include "support/scene_fixture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {
constexpr double pi = 3.14159265358979323846;

// One disc copy as feedback returns it: centroid in pixels from the window centre, signed area.
struct Copy {
    double x = 0, y = 0, area = 0;  // negative area is clockwise: a mirrored copy
};

class MirroredDrawing : public SceneTest {
protected:
    void SetUp() override {
        width = height = 400;  // probes 10 degrees apart land 15 pixels apart
        SceneTest::SetUp();
        if (HasFatalFailure()) return;
        for (int i = 0; i < discCount; ++i) {  // every disc out of sight but the probes
            Disc& d = scene->discField->discs[i];
            d = Disc{};
            d.position = {1000.0f, 0.0f, 0.0f};
            d.size = 0.05f;
        }
    }
    // A small disc `degrees` around the centre of the field, at radius 2.
    void probe(int index, double degrees) {
        const double r = degrees * pi / 180.0;
        scene->discField->discs[index].position = {float(2 * std::cos(r)), float(2 * std::sin(r)), 0.0f};
    }

    // Draws the wedges for `angle` in feedback mode (polygons closer than a disc's width are one copy) and
    // checks that the copies of each winding sit at the expected angles, one copy at each, to a degree.
    void expectCopies(float angle, bool mirrors, const std::vector<double>& plain, const std::vector<double>& mirrored) {
        scene->buildWedges(angle);
        scene->mirrorThisFrame = mirrors;
        camera();
        std::vector<GLfloat> buffer(1 << 16);
        glFeedbackBuffer(GLsizei(buffer.size()), GL_2D, buffer.data());
        glRenderMode(GL_FEEDBACK);
        scene->drawWedges(false);
        const GLint used = glRenderMode(GL_RENDER);
        ASSERT_GE(used, 0) << "feedback buffer overflow";
        std::vector<Copy> copies;
        for (GLint at = 0; at < used; at += 2 + 2 * GLint(buffer[at + 1])) {
            const int n = int(buffer[at + 1]);
            const GLfloat* v = &buffer[at + 2];
            Copy p;
            for (int k = 0, next = 1; k < n; ++k, next = (k + 1) % n) {
                p.x += (v[2 * k] - width / 2.0) / n;
                p.y += (v[2 * k + 1] - height / 2.0) / n;
                p.area += 0.5 * (v[2 * k] * v[2 * next + 1] - v[2 * next] * v[2 * k + 1]);
            }
            auto near = std::find_if(copies.begin(), copies.end(),
                                     [&](const Copy& c) { return std::hypot(c.x - p.x, c.y - p.y) < 5.0; });
            if (near == copies.end()) copies.push_back(p);
            else near->area += p.area;
        }
        for (bool flipped : {false, true}) {
            std::vector<double> actual;
            for (const Copy& c : copies)
                if ((c.area < 0) == flipped) actual.push_back(std::atan2(c.y, c.x) * 180.0 / pi);
            const std::vector<double>& expected = flipped ? mirrored : plain;
            EXPECT_EQ(actual.size(), expected.size()) << angle << (flipped ? " mirrored" : " plain");
            for (double e : expected) {
                const auto near = [e](double a) { return std::abs(std::remainder(a - e, 360.0)) < 1.0; };
                EXPECT_EQ(std::count_if(actual.begin(), actual.end(), near), 1) << angle << " at " << e;
            }
        }
    }
};
}  // namespace

TEST_F(MirroredDrawing, CopiesPerWedgeAngle) {
    probe(0, 288.0);  // the middle of slot 0 at 36 degrees
    // Plain copies of passes 0, 2, .., 8 turn it by 0, 72, .. degrees; mirrored ones reflect it first.
    expectCopies(36.0f, true, {288, 288 + 72, 288 + 144, 288 + 216, 288 + 288},
                 {252, 252 + 72, 252 + 144, 252 + 216, 252 + 288});
    probe(1, 100.0);  // outside slot 0: with mirroring off only an unclipped copy shows it
    for (float angle : {36.0f, 80.0f, 360.0f / 94.0f}) expectCopies(angle, false, {100, 288}, {});

    // 80 degrees: passes 0 and 2 draw both probes twice each; pass 4 only a mirrored copy cut to 40 degrees.
    // Probes 50 degrees apart, so that no uncut copy of pass 4 would land on a copy of pass 0.
    probe(0, 285.0);
    probe(1, 335.0);
    expectCopies(80.0f, true, {285, 335, 285 + 160, 335 + 160}, {255, 205, 255 + 160, 205 + 160, 205 + 320});

    // 50 degrees: 8 slots; only the plain copy of pass 6 is cut, to the first 10 degrees.
    probe(0, 275.0);
    probe(1, 305.0);
    expectCopies(50.0f, true, {275, 305, 275 + 100, 305 + 100, 275 + 200, 305 + 200, 275 + 300},
                 {-95, -125, 5, -25, 105, 75, 205, 175});  // 180 - probe + 50 x pass
}

TEST_F(MirroredDrawing, StateOnReturn) {
    camera();
    GLdouble before[16], after[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, before);
    for (float angle : {36.0f, 80.0f, 50.0f}) {
        scene->buildWedges(angle);
        scene->mirrorThisFrame = true;
        scene->drawWedges(true);
        EXPECT_FALSE(glIsEnabled(GL_CLIP_PLANE0) || glIsEnabled(GL_CLIP_PLANE1)) << angle;
        GLint face = 0;
        glGetIntegerv(GL_FRONT_FACE, &face);
        EXPECT_EQ(face, GL_CCW) << angle;
        glGetDoublev(GL_MODELVIEW_MATRIX, after);
        EXPECT_TRUE(std::equal(before, before + 16, after)) << angle;
    }
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}

// Mean difference per channel between each pixel within `radius` of the centre and the one mirrored
// across the vertical line through the centre, the edge at 270 and 90 degrees.
double leftRightDifference(OffscreenContext& context, int width, int height, int radius) {
    double total = 0;
    int samples = 0;
    for (int y = height / 2 - radius; y < height / 2 + radius; ++y)
        for (int x = width / 2 - radius; x < width / 2; ++x) {
            if ((x - width / 2) * (x - width / 2) + (y - height / 2) * (y - height / 2) > radius * radius) continue;
            const uint8_t *a = context.pixel(x, y), *b = context.pixel(width - 1 - x, y);
            for (int k = 0; k < 3; ++k) total += std::abs(int(a[k]) - int(b[k]));
            samples += 3;
        }
    return total / samples;
}

using FrameSymmetry = SceneTest;
TEST_F(FrameSymmetry, ARenderedFrameIsMirroredAcrossAWedgeEdgeOnlyWithMirrors) {
    scene->handleKey('1');  // 10 wedges: one edge runs straight down, clear of the logo in the corner
    for (int i = 0; i < 60; ++i) frameAfter(50);
    ASSERT_EQ(scene->wedgesToDraw, 10);
    EXPECT_LT(leftRightDifference(*context, width, height, 50), 1.0);
    frameAfter(50, ~frameOptionMirrors);  // only its one bit asks for mirrors: the field drawn once, not black
    EXPECT_GT(leftRightDifference(*context, width, height, 50), 15.0);
    scene->handleKey(vk::keyM);  // M turns mirroring off whatever the options say
    frameAfter(0);
    EXPECT_GT(leftRightDifference(*context, width, height, 50), 15.0);
}
