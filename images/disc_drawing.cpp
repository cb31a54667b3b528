// Drawing of the disc field's pass: blend and texture state, the pulsing logo, and one quad per disc.
#include "discs/disc_field.h"
#include "platform/gl.h"
#include "exact/exact_math.h"
#include "scene/kaleidoscope.h"

namespace {
constexpr int atlasImage = 0, logoImage = 2;

// The logo quad, toward the lower right; the whole 256 x 64 mask, top row at the top edge.
void drawLogoQuad(float seconds, GLuint texture) {
    const float m = (exact::cosf(seconds * 0.2f) + 1.0f) * 0.5f;
    glBindTexture(GL_TEXTURE_2D, texture);
    glPushMatrix();
    glTranslatef(5.2f, -5.1f, 0.0f);
    glColor4f(m, m, 1.0f - m, 0.1f);  // blue at m = 0, yellow at m = 1
    glBegin(GL_QUADS);
    glTexCoord2f(0.0f, 1.0f);
    glVertex3f(-2.0f, -0.32f, 0.0f);
    glTexCoord2f(1.0f, 1.0f);
    glVertex3f(2.0f, -0.32f, 0.0f);
    glTexCoord2f(1.0f, 0.0f);
    glVertex3f(2.0f, 0.32f, 0.0f);
    glTexCoord2f(0.0f, 0.0f);
    glVertex3f(-2.0f, 0.32f, 0.0f);
    glEnd();
    glPopMatrix();
}

// Texture 0 holds no image, so an image that failed to load leaves its quads plain.
GLuint textureOf(const DiscField& field, int index) {
    return field.images ? GLuint(field.images[index].texture) : 0u;
}
}  // namespace

void DiscField::beginDiscDrawing(bool drawLogo) {
    glDisable(GL_CULL_FACE);
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    glDisable(GL_DEPTH_TEST);
    glEnable(GL_TEXTURE_2D);
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    if (drawLogo) drawLogoQuad(scene.clockSeconds, textureOf(*this, logoImage));
    // The texture environment belongs to the unit, not to a texture: binding the atlas keeps GL_MODULATE.
    glBindTexture(GL_TEXTURE_2D, textureOf(*this, atlasImage));
    // The pulse is the same in every copy of the pass: one cosine per disc, not one per disc and copy.
    if (!discs) return;
    for (int32_t i = 0; i < discCount; ++i) discs[i].pulseColor(passTints[i]);
}

// Index order is painting order: later discs are blended over earlier ones.
void DiscField::drawDiscs() {
    if (!discs) return;
    for (int32_t i = 0; i < discCount; ++i) discs[i].drawDisc(passTints[i]);
}

void DiscField::endDiscDrawing() {
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}

// Just under four pulses per life cycle; b is 1 at its start.
void Disc::pulseColor(float out[4]) const {
    const float b = (exact::cosf(phase * 25.132f) + 1.0f) * 0.5f;
    for (int c = 0; c < 4; ++c) out[c] = b * colorPulse[c] + color[c];
}

// One square of 2 x size, one unit in front of the disc, its atlas cell upright before the spin.
void Disc::drawDisc(const float tint[4]) {
    glPushMatrix();
    glTranslatef(position.x, position.y, position.z);
    glRotatef(spinAngle, 0.0f, 0.0f, 1.0f);
    glScalef(size, size, 1.0f);
    // No normal: lighting is off, and the current normal stays GL's own (0, 0, 1) throughout.
    glBegin(GL_QUADS);
    glColor4f(tint[0], tint[1], tint[2], tint[3]);
    const float right = cellU + cellWidth, bottom = cellV + cellHeight;
    glTexCoord2f(cellU, bottom);
    glVertex3f(-1.0f, -1.0f, 1.0f);
    glTexCoord2f(right, bottom);
    glVertex3f(1.0f, -1.0f, 1.0f);
    glTexCoord2f(right, cellV);
    glVertex3f(1.0f, 1.0f, 1.0f);
    glTexCoord2f(cellU, cellV);
    glVertex3f(-1.0f, 1.0f, 1.0f);
    glEnd();
    glPopMatrix();
}
