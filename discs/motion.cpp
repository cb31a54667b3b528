// The disc field's frame step: wedge glide, rotation, pushes and containment, movement, idle reshuffle.
#include <cmath>

#include "discs/disc_field.h"
#include "exact/exact_math.h"
#include "scene/kaleidoscope.h"

namespace {
constexpr float glideAcceleration = 0.001f;
constexpr float fewestWedges = 4.0f;  // the smallest count the zoom keys give
constexpr float sinkPull = -0.005f;
constexpr float pushFactor = 0.3f;
constexpr float circleRadius = 4.0f;
constexpr float damping = 0.85f;
constexpr float spinDecay = 0.9f;
constexpr float idleSeconds = 40.0f;

bool squaresOverlap(const Disc& a, const Disc& b) {
    return a.position.x + a.size > b.position.x - b.size && b.position.x + b.size > a.position.x - a.size &&
           b.position.y - b.size < a.position.y + a.size && b.position.y + b.size > a.position.y - a.size;
}

// Push on a away from b: 0 at first contact, towards 0.3 as the centres close in, none once they meet.
void addPush(Disc& a, const Disc& b) {
    if (!squaresOverlap(a, b)) return;
    const float dx = a.position.x - b.position.x;
    const float dy = a.position.y - b.position.y;
    const float dist = std::sqrt(dx * dx + dy * dy);
    const float sum = a.size + b.size;
    const float overlap = sum - dist;
    if (!(overlap > 0.0f && dist > 0.0f)) return;
    const float ratio = overlap / sum;
    const float k = pushFactor * (ratio * ratio) / dist;
    a.force.x += dx * k;
    a.force.y += dy * k;
}

// Pulls a towards the centre once its position one frame ahead lies beyond 4 - 2 x size.
void addContainment(Disc& a) {
    const float px = -(a.position.x + a.velocity.x);
    const float py = -(a.position.y + a.velocity.y);
    const float d = std::sqrt(px * px + py * py);
    const float w = 2.0f * a.size;
    const float excess = d - (circleRadius - w);
    if (!(excess > 0.0f && d > 0.0f)) return;
    const float ratio = excess / w;
    const float k = pushFactor * (ratio * ratio) / d;
    a.force.x += px * k;
    a.force.y += py * k;
}

// Constant acceleration towards the target count, landing exactly on it. A speed left over from an
// earlier glide may first carry the count away from the target; it never takes it below 4 wedges.
void glideWedges(DiscField& field) {
    Kaleidoscope& scene = field.scene;
    const float target = float(field.targetWedgeCount);
    if (!field.wedgeGlide || scene.wedgeCount == target) return;
    const float d = target - scene.wedgeCount > 0.0f ? glideAcceleration : -glideAcceleration;
    field.wedgeGlideSpeed += d;
    const float next = scene.wedgeCount + field.wedgeGlideSpeed;
    if ((d > 0.0f && next > target) || (d < 0.0f && next < target)) {
        scene.wedgeCount = target;
    } else {
        scene.wedgeCount = next < fewestWedges ? fewestWedges : next;
    }
    scene.wedgeAngle = 360.0f / scene.wedgeCount;
}
}  // namespace

void DiscField::step() {
    glideWedges(*this);

    for (int32_t i = 0; i < discCount; ++i) {
        Disc& disc = discs[i];
        const float r = std::sqrt(disc.position.x * disc.position.x + disc.position.y * disc.position.y);
        const float theta = exact::atan2f(disc.position.y, disc.position.x);
        disc.position.x = r * exact::cosf(theta + spinRate);
        disc.position.y = r * exact::sinf(theta + spinRate);
        disc.force = {0.0f, sinkPull, 0.0f};
    }

    // Disc i is pushed by disc j exactly when i + j <= 58, a rule symmetric in i and j.
    for (int32_t i = 0; i < discCount; ++i) {
        for (int32_t j = 0; j <= discCount - 2 - i; ++j) addPush(discs[i], discs[j]);
        addContainment(discs[i]);
    }

    // Each disc ages right after its own move, so later discs see the palette earlier ones stepped.
    for (int32_t i = 0; i < discCount; ++i) {
        Disc& disc = discs[i];
        disc.velocity.x = (disc.velocity.x + disc.force.x) * damping;
        disc.velocity.y = (disc.velocity.y + disc.force.y) * damping;
        disc.velocity.z = (disc.velocity.z + disc.force.z) * damping;
        disc.position.x += disc.velocity.x;
        disc.position.y += disc.velocity.y;
        disc.position.z += disc.velocity.z;
        disc.age();
    }

    spinRate *= spinDecay;

    // Last, since the reshuffle replaces the discs this step has just moved.
    if (scene.clockSeconds - scene.lastKeyTime > idleSeconds) scene.handleKey(vk::down);
}
