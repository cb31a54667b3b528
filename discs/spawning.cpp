// A disc's life: spawning at a random place, renewal of its look, and ageing through its 20-second cycle.
#include <cmath>

#include "discs/disc_field.h"
#include "exact/exact_math.h"
#include "scene/kaleidoscope.h"
#include "scene/random.h"

namespace {
constexpr float cycleSeconds = 20.0f;
constexpr float cycleRate = 0.05f;        // 1 / cycleSeconds
constexpr float spawnSpacing = 0.016666668f;  // 1 / 60 of a cycle between neighbouring discs
constexpr float fullTurn = 6.28318f;
constexpr float circleRadius = 4.0f;
constexpr float cellPixels = 64.0f;
// The atlas the cell rectangle assumes when none was loaded: eight 64 x 64 cells in one row.
constexpr uint32_t nominalAtlasWidth = 512, nominalAtlasHeight = 64;

// Wraps once into 0..1; exactly 0 and exactly 1 stay as they are.
float wrapUnit(float x) {
    if (x < 0.0f) return x + 1.0f;
    if (x > 1.0f) return x - 1.0f;
    return x;
}

float drawAround(float centre, float spread) { return centre + (randomFraction() - 0.5f) * spread; }
}  // namespace

void Disc::spawn(int32_t index) {
    phase = float(index) * spawnSpacing;
    const float angle = randomFraction() * fullTurn;
    const float radius = randomFraction() * circleRadius;
    position = {exact::cosf(angle) * radius, exact::sinf(angle) * radius, -0.25f * phase};
    velocity = {0.0f, 0.0f, 0.0f};
    force = {0.0f, 0.0f, 0.0f};
    size = randomFraction() * 0.7f + 0.2f;
    renew();
}

// New look in place: the age stays the current phase, so the pulse runs on without a jump.
void Disc::renew() {
    DiscField& field = *currentDiscField;
    birthTime = field.scene.clockSeconds - phase * cycleSeconds;
    cell = field.sameCell ? field.sharedCell : randomIndex(field.cellCount);

    const Palette& p = field.palette;
    const float h = wrapUnit(drawAround(p.hueCentre, p.hueSpread));
    const float s = wrapUnit(drawAround(p.saturationCentre, p.saturationSpread));
    const float v = wrapUnit(drawAround(p.valueCentre, p.valueSpread));
    const Rgb rgb = hsvToRgb(h, s, v);

    // Without a loaded atlas there is no size to divide by; the nominal one keeps the cells in 0..1.
    uint32_t width = nominalAtlasWidth, height = nominalAtlasHeight;
    if (field.images && field.images[0].width > 0 && field.images[0].height > 0) {
        width = field.images[0].width;
        height = field.images[0].height;
    }
    cellU = float(cell) * cellPixels / float(width);
    cellV = 0.0f;
    cellWidth = cellPixels / float(width);
    cellHeight = cellPixels / float(height);

    color[0] = rgb.red;
    color[1] = rgb.green;
    color[2] = rgb.blue;
    color[3] = (randomFraction() + 1.0f) * 0.5f;
    colorPulse[0] = colorPulse[1] = colorPulse[2] = 0.0f;
    colorPulse[3] = randomFraction() - color[3];
    spinAngle = randomFraction() * 360.0f;
}

// A wrapped disc changes its look only outside the quarter x >= 0, y <= 0 that holds the shown wedge;
// inside it keeps its birth time and so wraps, and steps the palette, again every frame.
void Disc::age() {
    DiscField& field = *currentDiscField;
    phase = (field.scene.clockSeconds - birthTime) * cycleRate;
    if (phase > 1.0f) {
        phase = phase - std::trunc(phase);
        field.stepPalette();
        if (position.x + size < 0.0f || position.y - size > 0.0f) renew();
    }
    const float speed =
        std::sqrt(velocity.x * velocity.x + velocity.y * velocity.y + velocity.z * velocity.z);
    spinAngle += speed * 100.0f;
}
