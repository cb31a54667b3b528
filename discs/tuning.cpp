// The tuning keys: wedge zoom with the arrows, a push of rotation, the reshuffle, the glide switch.
#include "discs/disc_field.h"
#include "exact/exact_math.h"
#include "scene/kaleidoscope.h"

namespace {
constexpr float zoomStep = 0.01f;         // one step multiplies the wedge count by 3^0.02
constexpr float spinPush = 0.00872664f;   // half a degree per frame, in radians

// Zoom of a wedge count on the scale n = 4 x 3^(2z).
double zoomOf(float wedgeCount) { return exact::log(double(wedgeCount) * 0.25) / exact::log(3.0) * 0.5; }
}  // namespace

void DiscField::handleTuningKey(uint32_t key) {
    switch (key) {
    case vk::left: {
        float zoom = float(zoomOf(scene.wedgeCount) - double(zoomStep));
        if (zoom < 0.0f) zoom = 0.0f;
        wedgeGlide = true;
        setWedgeZoom(zoom);
        break;
    }
    case vk::up:
        spinRate += spinPush;
        break;
    case vk::right: {
        float zoom = float(zoomOf(scene.wedgeCount) + double(zoomStep));
        if (zoom > 1.0f) zoom = 1.0f;
        wedgeGlide = true;
        setWedgeZoom(zoom);
        break;
    }
    case vk::down:
        newPaletteTarget(0.5f);
        spawnAll();
        scene.chooseWedgeCount();
        wedgeGlide = false;
        break;
    case vk::keyG:
        wedgeGlide = !wedgeGlide;
        break;
    default:
        break;
    }
}

// The scene takes the new, generally fractional, count at once; the glide carries it to an even target.
void DiscField::setWedgeZoom(float zoom) {
    const double count = 4.0 * exact::pow(3.0, 2.0 * double(zoom));
    scene.wedgeCount = float(count);
    scene.wedgeAngle = 360.0f / scene.wedgeCount;
    wedgeGlideSpeed = 0.0f;
    targetWedgeCount = int32_t(count);
    if (targetWedgeCount % 2 != 0) ++targetWedgeCount;
}
