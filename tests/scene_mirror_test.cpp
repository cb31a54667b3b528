// Mirrored drawing: the copies OpenGL actually produces (feedback mode), the state left behind, and the
// symmetry of a rendered frame.
#include "support/scene_fixture.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

namespace {
constexpr double pi = 3.14159265358979323846;

// One disc copy as feedback returns it (Mesa splits a quad into triangles and clipping cuts them).
struct Copy {
    double x = 0, y = 0;  // centroid in pixels from the window centre
    double area = 0;      // signed pixels: negative is clockwise, a mirrored copy
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

    // Draws the wedges for `angle` in feedback mode; `pieces` keeps the raw polygons.
    std::vector<Copy> copiesFor(float angle, bool mirrors) {
        scene->buildWedges(angle);
        scene->mirrorThisFrame = mirrors;
        glLoadIdentity();
        gluLookAt(0.0, 0.0, 5.5, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
        std::vector<GLfloat> buffer(1 << 16);
        glFeedbackBuffer(GLsizei(buffer.size()), GL_2D, buffer.data());
        glRenderMode(GL_FEEDBACK);
        scene->drawWedges(false);
        const GLint used = glRenderMode(GL_RENDER);
        EXPECT_GE(used, 0) << "feedback buffer overflow";
        pieces.clear();
        for (GLint at = 0; at < used; at += 2 + 2 * GLint(buffer[at + 1])) {
            EXPECT_EQ(GLint(buffer[at]), GL_POLYGON_TOKEN);
            const int n = int(buffer[at + 1]);
            const GLfloat* v = &buffer[at + 2];
            Copy piece;
            for (int k = 0, next = 1; k < n; ++k, next = (k + 1) % n) {
                piece.x += (v[2 * k] - width / 2.0) / n;
                piece.y += (v[2 * k + 1] - height / 2.0) / n;
                piece.area += 0.5 * (v[2 * k] * v[2 * next + 1] - v[2 * next] * v[2 * k + 1]);
            }
            pieces.push_back(piece);
        }
        return merged();
    }

    // Pieces closer than a disc's width belong to one copy.
    std::vector<Copy> merged() const {
        std::vector<Copy> copies;
        for (const Copy& p : pieces) {
            auto near = std::find_if(copies.begin(), copies.end(),
                                     [&](const Copy& c) { return std::hypot(c.x - p.x, c.y - p.y) < 5.0; });
            if (near == copies.end()) copies.push_back(p);
            else near->area += p.area;
        }
        return copies;
    }

    double drawnArea(float angle, bool mirrors) {
        copiesFor(angle, mirrors);
        double total = 0;
        for (const Copy& p : pieces) total += std::abs(p.area);
        return total;
    }

    // Checks that the copies of one winding sit at the expected angles, one copy at each, to a degree.
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

    std::vector<Copy> pieces;
};
}  // namespace

TEST_F(MirroredDrawing, TenWedgesGiveTenCopiesEachSlotOnce) {
    probe(0, 288.0);  // the middle of slot 0
    const std::vector<Copy> copies = copiesFor(36.0f, true);
    ASSERT_EQ(copies.size(), 10u);
    // Plain copies of passes 0, 2, .., 8 turn it by 0, 72, .. degrees; mirrored ones reflect it first.
    expectAngles(copies, false, {288, 288 + 72, 288 + 144, 288 + 216, 288 + 288});
    expectAngles(copies, true, {252, 252 + 72, 252 + 144, 252 + 216, 252 + 288});
}

TEST_F(MirroredDrawing, ClipPlanesCutEachCopyToItsSlot) {
    probe(0, 288.0);
    const double whole = drawnArea(36.0f, false);
    ASSERT_GT(whole, 10.0);

    // A disc on the edge at 270 degrees: each copy keeps only the half inside its slot, so the ten
    // copies cover five discs' area, one half on each side of every edge.
    probe(0, 270.0);
    EXPECT_NEAR(drawnArea(36.0f, true), 5.0 * whole, 0.02 * whole);
    probe(0, 306.0 - 1.0);  // just inside slot 0 by its far edge: a sliver is cut from every copy
    const double nearEdge = drawnArea(36.0f, true);
    EXPECT_GT(nearEdge, 8.0 * whole);
    EXPECT_LT(nearEdge, 9.9 * whole);
}

TEST_F(MirroredDrawing, MirroringOffDrawsOneWholeCopyWhateverTheCount) {
    for (float angle : {36.0f, 80.0f, 360.0f / 94.0f}) {
        probe(0, 100.0);  // outside slot 0: only an unclipped copy shows it
        probe(1, 288.0);
        const std::vector<Copy> copies = copiesFor(angle, false);
        ASSERT_EQ(copies.size(), 2u) << angle;
        expectAngles(copies, false, {100, 288});
    }
}

TEST_F(MirroredDrawing, EightyDegreesEndsWithAMirroredPartialCopy) {
    probe(0, 290.0);  // first half of the wedge
    probe(1, 330.0);  // second half, the part the narrow slot keeps
    const std::vector<Copy> copies = copiesFor(80.0f, true);
    ASSERT_TRUE(scene->hasPartialWedge);
    // Passes 0 and 2 draw both probes twice each; pass 4 has only a mirrored copy, cut to 40 degrees.
    ASSERT_EQ(copies.size(), 9u);
    expectAngles(copies, false, {290, 330, 290 + 160, 330 + 160});
    expectAngles(copies, true, {250, 210, 250 + 160, 210 + 160, 210 + 320});
}

TEST_F(MirroredDrawing, FiftyDegreesCutsOnlyThePlainCopyOfPassSix) {
    probe(0, 275.0);  // inside the 10 degrees the narrow slot keeps
    probe(1, 305.0);
    const std::vector<Copy> copies = copiesFor(50.0f, true);
    ASSERT_EQ(scene->wedgesToDraw, 8);
    ASSERT_EQ(copies.size(), 15u);
    expectAngles(copies, false, {275, 305, 275 + 100, 305 + 100, 275 + 200, 305 + 200, 275 + 300});
    std::vector<double> mirrored;
    for (int pass = 0; pass < 8; pass += 2)
        for (double probeAngle : {275.0, 305.0}) mirrored.push_back(180.0 - probeAngle + 50.0 * pass);
    expectAngles(copies, true, mirrored);
}

TEST_F(MirroredDrawing, StateOnReturn) {
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    gluLookAt(0.0, 0.0, 5.5, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    GLdouble before[16], after[16];
    glGetDoublev(GL_MODELVIEW_MATRIX, before);
    for (float angle : {36.0f, 80.0f, 50.0f}) {
        scene->buildWedges(angle);
        scene->mirrorThisFrame = true;
        scene->drawWedges(true);
        EXPECT_FALSE(glIsEnabled(GL_CLIP_PLANE0));
        EXPECT_FALSE(glIsEnabled(GL_CLIP_PLANE1));
        GLint face = 0;
        glGetIntegerv(GL_FRONT_FACE, &face);
        EXPECT_EQ(face, GL_CCW);
        glGetDoublev(GL_MODELVIEW_MATRIX, after);
        for (int i = 0; i < 16; ++i) EXPECT_EQ(after[i], before[i]) << angle;
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
    // centre at `degrees`, over the disc of radius `radius` pixels. Each pixel is matched with the best of
    // the 3 x 3 pixels around its mirror point, allowing for rasterisation on a rotated grid.
    double reflectionDifference(double degrees, double radius) {
        const double r = degrees * pi / 180.0, c = std::cos(2 * r), s = std::sin(2 * r);
        const double cx = width / 2.0, cy = height / 2.0;
        double total = 0;
        int samples = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                const double px = x + 0.5 - cx, py = y + 0.5 - cy;
                if (px * px + py * py > radius * radius) continue;
                const int mx = int(std::floor(cx + c * px + s * py));
                const int my = int(std::floor(cy + s * px - c * py));
                const uint8_t* a = context->pixel(x, y);
                int best = 3 * 255;
                for (int dy = -1; dy <= 1; ++dy)
                    for (int dx = -1; dx <= 1; ++dx) {
                        const uint8_t* b = context->pixel(mx + dx, my + dy);
                        int d = 0;
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

TEST_F(FrameSymmetry, SettledFrameIsSymmetricAcrossEveryWedgeEdge) {
    scene->handleKey('1');  // 10 wedges
    for (int i = 0; i < 60; ++i) frameAfter(50);
    ASSERT_FALSE(scene->transitionActive);
    ASSERT_EQ(scene->wedgesToDraw, 10);
    const double radius = 90;  // inside the window, clear of the logo in the corner
    for (int edge = 0; edge < 10; ++edge)
        EXPECT_LT(reflectionDifference(270.0 + 36.0 * edge, radius), 4.0) << "edge " << edge;

    frameAfter(50, 0);  // mirroring off: the same field drawn once, and not a black frame either
    double asymmetry = 0;
    for (int edge = 0; edge < 10; ++edge) asymmetry += reflectionDifference(270.0 + 36.0 * edge, radius);
    EXPECT_GT(asymmetry / 10, 15.0);
}
