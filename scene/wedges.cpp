// Wedge geometry (slot count, clip planes, the narrow last slot) and the mirrored drawing of the field.
#include "discs/disc_field.h"
#include "platform/gl.h"
#include "exact/exact_math.h"
#include "scene/kaleidoscope.h"

namespace {
constexpr float degreesToRadians = 0.01745328f;  // a little under pi / 180

double radians(float degrees) { return double(degrees) * double(degreesToRadians); }

// A plane through the origin, perpendicular to the disc plane, keeping the side its normal points to.
void setPlane(double plane[4], double angleRadians) {
    plane[0] = exact::cos(angleRadians);
    plane[1] = exact::sin(angleRadians);
    plane[2] = 0.0;
    plane[3] = 0.0;
}

void setPlaneX(double plane[4]) {
    plane[0] = 1.0;
    plane[1] = plane[2] = plane[3] = 0.0;
}

void copyPlane(double to[4], const double from[4]) {
    for (int i = 0; i < 4; ++i) to[i] = from[i];
}
}  // namespace

// A full wedge runs from 270 degrees (straight down) to 270 + angle, counterclockwise.
void Kaleidoscope::buildWedges(float angle) {
    wedgeAngle = angle;
    geometryAngle = angle;
    const double quotient = 360.0 / double(angle);
    wedgeCount = float(quotient);

    // A 32-bit angle for 26, 38, 46 or 94 wedges gives a quotient just below the whole number;
    // the 0.9-degree test still counts the last wedge.
    int32_t n = int32_t(quotient);
    if (360.0 - double(n) * double(angle) > 0.9 || quotient - double(n) > double(0.001f)) ++n;
    wedgesToDraw = n;

    setPlaneX(clipPlane0);
    setPlane(clipPlane1, radians(angle + 270.0f - 90.0f));

    const float fraction = wedgeCount - float(int32_t(wedgeCount));
    if (fraction <= 0.001f) {
        hasPartialWedge = false;
        return;
    }
    hasPartialWedge = true;
    const float partial = fraction * angle;
    // The narrow piece must touch the edge shared with its neighbouring slot: an even count shows it
    // through a plain copy (keep the first degrees), an odd one through a mirrored copy (keep the last).
    if (n % 2 == 0) {
        setPlaneX(partialPlane0);
        setPlane(partialPlane1, radians(partial + 270.0f - 90.0f));
    } else {
        setPlane(partialPlane0, radians(angle - partial + 360.0f));
        copyPlane(partialPlane1, clipPlane1);
    }
}

namespace {
void loadPlanes(const double* first, const double* second) {
    glClipPlane(GL_CLIP_PLANE0, first);
    glClipPlane(GL_CLIP_PLANE1, second);
}
}  // namespace

// Pass i draws the plain copy for slot i and the mirrored copy for slot i - 1; the mirrored copy of the
// first pass fills the last slot, the one ending at 270 degrees.
void Kaleidoscope::drawWedges(bool drawLogo) {
    const int32_t n = wedgesToDraw;
    glPushMatrix();
    discField->beginDiscDrawing(drawLogo);
    if (mirrorThisFrame) {
        glEnable(GL_CLIP_PLANE0);
        glEnable(GL_CLIP_PLANE1);
    }
    for (int32_t i = 0; i < n; i += 2) {
        glPushMatrix();
        glRotatef(float(i) * geometryAngle, 0.0f, 0.0f, 1.0f);
        glFrontFace(GL_CCW);
        if (i + 1 < n) {
            const bool partial = hasPartialWedge && i + 1 == n - 1;
            loadPlanes(partial ? partialPlane0 : clipPlane0, partial ? partialPlane1 : clipPlane1);
            discField->drawDiscs();
        }
        if (mirrorThisFrame) {
            glScalef(-1.0f, 1.0f, 1.0f);
            glFrontFace(GL_CW);
            const bool partial = hasPartialWedge && i == n - 1;
            loadPlanes(partial ? partialPlane0 : clipPlane0, partial ? partialPlane1 : clipPlane1);
            discField->drawDiscs();
        }
        glPopMatrix();
        if (!mirrorThisFrame) break;
    }
    glDisable(GL_CLIP_PLANE0);
    glDisable(GL_CLIP_PLANE1);
    glFrontFace(GL_CCW);
    glPopMatrix();
    discField->endDiscDrawing();
}
