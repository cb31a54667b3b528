// Mirrored drawing: the copies OpenGL actually produces (feedback mode), the state left behind, and the
// symmetry of a rendered frame.
#include "support/scene_fixture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {
constexpr double pi = 3.14159265358979323846;

// One disc copy as feedback returns it: centroid in pixels from the window centre, signed area.
struct Copy {
    double x = 0, y = 0, area = 0;  // negative area is clockwise: a mirrored copy
    double angle() const { return std::fmod(std::atan2(y, x) * 180.0 / pi + 360.0, 360.0); }
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

    // Draws the wedges for `angle` in feedback mode; polygons closer than a disc's width are one copy.
    std::vector<Copy> copiesFor(float angle, bool mirrors) {
        scene->buildWedges(angle);
        scene->mirrorThisFrame = mirrors;
        camera();
        std::vector<GLfloat> buffer(1 << 16);
        glFeedbackBuffer(GLsizei(buffer.size()), GL_2D, buffer.data());
        glRenderMode(GL_FEEDBACK);
        scene->drawWedges(false);
        const GLint used = glRenderMode(GL_RENDER);
        EXPECT_GE(used, 0) << "feedback buffer overflow";
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
        return copies;
    }

    // The copies of one winding sit at the expected angles, one copy at each, to a degree.
    static void expectAngles(const std::vector<Copy>& copies, bool mirrored, const std::vector<double>& expected) {
        std::vector<double> actual;
        for (const Copy& c : copies)
            if ((c.area < 0) == mirrored) actual.push_back(c.angle());
        ASSERT_EQ(actual.size(), expected.size()) << (mirrored ? "mirrored" : "plain");
        for (double e : expected) {
            const auto near = [e](double a) { return std::abs(std::remainder(a - e, 360.0)) < 1.0; };
            EXPECT_EQ(std::count_if(actual.begin(), actual.end(), near), 1) << "at " << e;
        }
    }
};
}  // namespace

TEST_F(MirroredDrawing, CopiesPerWedgeAngle) {
    probe(0, 288.0);  // the middle of slot 0 at 36 degrees
    // Plain copies of passes 0, 2, .., 8 turn it by 0, 72, .. degrees; mirrored ones reflect it first.
    const std::vector<Copy> ten = copiesFor(36.0f, true);
    EXPECT_EQ(ten.size(), 10u);
    expectAngles(ten, false, {288, 288 + 72, 288 + 144, 288 + 216, 288 + 288});
    expectAngles(ten, true, {252, 252 + 72, 252 + 144, 252 + 216, 252 + 288});

    probe(1, 100.0);  // outside slot 0: with mirroring off only an unclipped copy shows it
    for (float angle : {36.0f, 80.0f, 360.0f / 94.0f}) expectAngles(copiesFor(angle, false), false, {100, 288});

    // 80 degrees: passes 0 and 2 draw both probes twice each; pass 4 only a mirrored copy cut to 40 degrees.
    probe(0, 290.0);
    probe(1, 330.0);
    const std::vector<Copy> eighty = copiesFor(80.0f, true);
    EXPECT_EQ(eighty.size(), 9u);
    expectAngles(eighty, false, {290, 330, 290 + 160, 330 + 160});
    expectAngles(eighty, true, {250, 210, 250 + 160, 210 + 160, 210 + 320});

    // 50 degrees: 8 slots; only the plain copy of pass 6 is cut, to the first 10 degrees.
    probe(0, 275.0);
    probe(1, 305.0);
    const std::vector<Copy> fifty = copiesFor(50.0f, true);
    EXPECT_EQ(fifty.size(), 15u);
    expectAngles(fifty, false, {275, 305, 275 + 100, 305 + 100, 275 + 200, 305 + 200, 275 + 300});
    expectAngles(fifty, true, {-95, -125, 5, -25, 105, 75, 205, 175});  // 180 - probe + 50 x pass
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

namespace {
// A square window so that the kaleidoscope's centre and every wedge edge are well inside it.
class FrameSymmetry : public SceneTest {
protected:
    void SetUp() override {
        width = height = 200;
        SceneTest::SetUp();
    }

    // Mean difference per channel between the picture and its reflection across the line through the
    // centre at `degrees`, within 90 pixels (clear of the logo). Each pixel is matched with the best of
    // the 3 x 3 pixels around its mirror point, allowing for rasterisation on a rotated grid.
    double reflectionDifference(double degrees) {
        const double r = degrees * pi / 180.0, c = std::cos(2 * r), s = std::sin(2 * r), centre = width / 2.0;
        double total = 0;
        int samples = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const double px = x + 0.5 - centre, py = y + 0.5 - centre;
                if (px * px + py * py > 90 * 90) continue;
                const int mx = int(std::floor(centre + c * px + s * py));
                const int my = int(std::floor(centre + s * px - c * py));
                int best = 3 * 255;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        int d = 0;
                        const uint8_t *a = context->pixel(x, y), *b = context->pixel(mx + dx, my + dy);
                        for (int k = 0; k < 3; ++k) d += std::abs(int(a[k]) - int(b[k]));
                        best = std::min(best, d);
                    }
                total += best;
                ++samples;
            }
        return total / (3.0 * samples);
    }
};
}  // namespace

TEST_F(FrameSymmetry, SymmetricAcrossEveryWedgeEdgeOnlyWithMirrors) {
    scene->handleKey('1');  // 10 wedges
    for (int i = 0; i < 60; ++i) frameAfter(50);
    ASSERT_EQ(scene->wedgesToDraw, 10);
    for (int edge = 0; edge < 10; ++edge) EXPECT_LT(reflectionDifference(270.0 + 36.0 * edge), 4.0) << edge;

    frameAfter(50, 0);  // mirroring off: the same field drawn once, and not a black frame either
    double asymmetry = 0;
    for (int edge = 0; edge < 10; ++edge) asymmetry += reflectionDifference(270.0 + 36.0 * edge);
    EXPECT_GT(asymmetry / 10, 15.0);
}
