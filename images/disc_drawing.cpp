// Drawing of the disc field's pass: blend and texture state, the pulsing logo, and one quad per disc.
#include "discs/disc_field.h"
#include "platform/gl.h"
#include "scene/exact_math.h"
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
    glBindTexture(GL_TEXTURE_2D, textureOf(*this, atlasImage));
    glTexEnvf(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
}

// Index order is painting order: later discs are blended over earlier ones.
void DiscField::drawDiscs() {
    if (!discs) return;
    for (int32_t i = 0; i < discCount; ++i) discs[i].drawDisc();
}

void DiscField::endDiscDrawing() {
    glDisable(GL_BLEND);
    glDisable(GL_TEXTURE_2D);
}

// One square of 2 x size, one unit in front of the disc, its atlas cell upright before the spin.
void Disc::drawDisc() {
    glPushMatrix();
    glTranslatef(position.x, position.y, position.z);
    glRotatef(spinAngle, 0.0f, 0.0f, 1.0f);
    glScalef(size, size, 1.0f);
    glBegin(GL_QUADS);
    glNormal3f(0.0f, 0.0f, 1.0f);
    // Just under four pulses per life cycle; b is 1 at its start.
    const float b = (exact::cosf(phase * 25.132f) + 1.0f) * 0.5f;
    glColor4f(b * colorPulse[0] + color[0], b * colorPulse[1] + color[1], b * colorPulse[2] + color[2],
              b * colorPulse[3] + color[3]);
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
