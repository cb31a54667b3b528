// The glow: the frame drawn small into a 128 x 128 corner, copied to a texture, and laid back over the
// full frame in additive layers, each zoomed further into the centre and fainter.
#include "platform/gl.h"
#include "scene/kaleidoscope.h"

namespace {
constexpr int glowSize = 128;
constexpr float overlayWidth = 640.0f, overlayHeight = 480.0f;
}  // namespace

void Kaleidoscope::captureGlow() {
    captureGlowAt(0, 0);
    glViewport(0, 0, viewportWidth, viewportHeight);
}

// The frame drawn small into the 128 x 128 corner whose lower left is (left, bottom), copied from there,
// and cleared away before the visible pass.
void Kaleidoscope::captureGlowAt(int32_t left, int32_t bottom) {
    glViewport(left, bottom, glowSize, glowSize);
    drawWedges(false);  // the logo stays out of the glow
    glBindTexture(GL_TEXTURE_2D, glowTexture);
    glCopyTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, left, bottom, glowSize, glowSize, 0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

// The capture of one view: the scissor keeps the small picture and its clear inside the view, so the
// views drawn before it survive.
void Kaleidoscope::captureGlowInView(int32_t left, int32_t bottom, int32_t width, int32_t height) {
    glScissor(left, bottom, width, height);
    glEnable(GL_SCISSOR_TEST);
    captureGlowAt(left, bottom);
    glDisable(GL_SCISSOR_TEST);
    glViewport(left, bottom, width, height);
}

// A 640 x 480 space with y down, stretched over the whole viewport whatever its size.
void Kaleidoscope::beginOverlay2D() {
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, overlayWidth, overlayHeight, 0.0, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
}

void Kaleidoscope::endOverlay2D() {
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}

// Relies on the GL_MODULATE environment the disc drawing leaves: each layer adds luminance x alpha.
void Kaleidoscope::drawGlow(int32_t layers, float inset) {
    glEnable(GL_TEXTURE_2D);
    glDisable(GL_DEPTH_TEST);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, glowTexture);
    beginOverlay2D();

    const float alphaStep = 0.075f / float(layers);
    float alpha = 0.075f;
    float s = 0.0f;
    glBegin(GL_QUADS);
    for (int32_t layer = 0; layer < layers; ++layer) {
        glColor4f(1.0f, 1.0f, 1.0f, alpha);
        const float t = 1.0f - s;
        glTexCoord2f(s, t);
        glVertex2f(0.0f, 0.0f);
        glTexCoord2f(s, s);
        glVertex2f(0.0f, overlayHeight);
        glTexCoord2f(t, s);
        glVertex2f(overlayWidth, overlayHeight);
        glTexCoord2f(t, t);
        glVertex2f(overlayWidth, 0.0f);
        s = s + inset;
        alpha = alpha - alphaStep;
    }
    glEnd();

    endOverlay2D();
    glEnable(GL_DEPTH_TEST);
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_BLEND);
    glBindTexture(GL_TEXTURE_2D, 0);
}
