// The frame driver: one frame in its fixed order, eased wedge-count transitions and the key commands.
#include "discs/disc_field.h"
#include "platform/gl.h"
#include "scene/kaleidoscope.h"
#include "scene/random.h"

namespace {
constexpr float transitionSeconds = 2.0f;
constexpr int32_t glowLayers = 12;
constexpr float glowInset = 0.02f;
}  // namespace

bool Kaleidoscope::drawFrame(uint32_t options) {
    glDrawBuffer(GL_BACK);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    gluLookAt(0.0, 0.0, 5.5, 0.0, 0.0, 0.0, 0.0, 1.0, 0.0);
    update(options);

    const bool glowOn = glowAvailable && !glowOff;
    if (oneWindowPicture()) {
        if (glowOn) captureGlow();
        drawWedges(true);
        if (glowOn) drawGlow(glowLayers, glowInset);
    } else {
        for (const PixelRect& view : views) drawView(view, glowOn);
        resize(viewportWidth, viewportHeight);  // the whole window again, for whoever draws next
    }
    glFlush();
    return true;
}

// One copy in its own viewport and projection, with its own glow: the capture is taken inside the view
// and the overlay, stretched over the viewport, covers the view alone.
void Kaleidoscope::drawView(const PixelRect& view, bool glowOn) {
    const int32_t bottom = viewportHeight - view.y - view.height;  // OpenGL counts rows from the bottom
    glViewport(view.x, bottom, view.width, view.height);
    setPerspective(view.width, view.height);
    if (glowOn) captureGlowInView(view.x, bottom, view.width, view.height);
    drawWedges(true);
    if (glowOn) drawGlow(glowLayers, glowInset);
}

// Everything a frame changes apart from the picture: the mirror decision, time and the disc field, the
// eased wedge angle, and the geometry built from it.
void Kaleidoscope::update(uint32_t options) {
    mirrorThisFrame = (options & frameOptionMirrors) != 0 && !mirrorsOff;
    advance();
    stepTransition();
    buildWedges(wedgeAngle);
}

// While a transition runs, the wedge angle follows a smoothstep and lands exactly on the target.
void Kaleidoscope::stepTransition() {
    if (!transitionActive) return;
    const float d = (clockSeconds - transitionStart) / transitionDuration;
    if (!(d < 1.0f)) {
        wedgeAngle = transitionTo;
        transitionActive = false;
    } else {
        wedgeAngle = transitionFrom + d * d * (3.0f - 2.0f * d) * (transitionTo - transitionFrom);
    }
}

void Kaleidoscope::advance() {
    updateClock();
    discField->step();
}

namespace {
// Starts an eased transition from the angle in effect to `count` wedges.
void startTransition(Kaleidoscope& scene, int32_t count) {
    scene.transitionStart = scene.clockSeconds;
    scene.transitionFrom = scene.wedgeAngle;
    scene.transitionDuration = transitionSeconds;
    scene.transitionActive = true;
    scene.wedgeCount = float(count);
    scene.wedgeAngle = 360.0f / float(count);
    scene.transitionTo = scene.wedgeAngle;
}
}  // namespace

// Exactly two draws: one for the set, one for the count. Counts are always even, 10 to 94.
void Kaleidoscope::chooseWedgeCount() {
    int32_t count;
    const float first = randomFraction();
    if (int32_t(4.0f * first) == 0 && wedgeCount < 24.0f) {
        count = 10 + 4 * randomIndex(22);
    } else {
        count = 10 + 2 * randomIndex(8);
    }
    startTransition(*this, count);
}

bool Kaleidoscope::handleKey(uint32_t code) {
    lastKeyTime = clockSeconds;
    switch (code) {
    case vk::space:
        return true;
    case vk::left:
    case vk::up:
    case vk::right:
    case vk::down:
        discField->handleTuningKey(code);
        return true;
    case vk::keyM:
        toggleMirrors();
        return true;
    case vk::keyS:
        toggleGlow();
        return true;
    default:
        break;
    }
    if (code >= vk::digit0 && code <= vk::digit9) {
        const int32_t key = code == vk::digit0 ? 58 : int32_t(code);  // 0 comes after 9
        startTransition(*this, key * 4 - 186);
        return true;
    }
    discField->handleTuningKey(code);
    return false;
}

void Kaleidoscope::toggleMirrors() { mirrorsOff = !mirrorsOff; }
void Kaleidoscope::toggleGlow() { glowOff = !glowOff; }
