// A digest of the whole simulation state: every field of the scene but its size, and of its disc field.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "discs/disc_field.h"
#include "scene/kaleidoscope.h"

// FNV-1a over the bytes of every state field in a fixed order (floats and doubles by their bit patterns,
// integers little-endian, bools as one byte). scripts/golden-reference.py computes the same digest.
// On the way it notes whether every floating-point field is finite.
class Digest {
public:
    template <class T>
    void add(const T& value) {
        unsigned char bytes[sizeof value];
        std::memcpy(bytes, &value, sizeof value);
        for (unsigned char b : bytes) hash = (hash ^ b) * 1099511628211ull;
        if constexpr (std::is_floating_point_v<T>) finite = finite && std::isfinite(value);
    }
    template <class T, size_t n>
    void add(const T (&values)[n]) {
        for (const T& v : values) add(v);
    }
    uint64_t hash = 14695981039346656037ull;
    bool finite = true;
};

inline Digest digestOf(const Kaleidoscope& s) {
    Digest d;
    d.add(s.geometryAngle), d.add(s.wedgesToDraw), d.add(s.clipPlane0), d.add(s.clipPlane1);
    d.add(s.partialPlane0), d.add(s.partialPlane1), d.add(s.hasPartialWedge), d.add(s.mirrorThisFrame);
    d.add(s.measuredFps), d.add(s.clockSeconds), d.add(s.lastKeyTime), d.add(s.transitionStart);
    d.add(s.transitionDuration), d.add(s.transitionFrom), d.add(s.transitionTo), d.add(s.transitionActive);
    d.add(s.lastFpsSampleTime), d.add(s.framesSinceSample), d.add(s.targetFps), d.add(s.sleepMs);
    d.add(s.mirrorsOff), d.add(s.glowOff), d.add(s.wedgeAngle), d.add(s.wedgeCount);
    const DiscField& f = *s.discField;
    const Palette& p = f.palette;
    d.add(p.hueCentre), d.add(p.hueSpread), d.add(p.saturationCentre), d.add(p.saturationSpread), d.add(p.valueCentre);
    d.add(p.valueSpread), d.add(f.spinRate), d.add(f.paletteStep), d.add(f.paletteSteps), d.add(f.sameCell);
    d.add(f.paletteStart), d.add(f.paletteDelta), d.add(f.sharedCell), d.add(f.cellCount);
    d.add(f.targetWedgeCount), d.add(f.wedgeGlideSpeed), d.add(f.wedgeGlide);
    for (int i = 0; i < discCount; ++i) {
        const Disc& c = f.discs[i];
        for (const Vec3& v : {c.position, c.velocity, c.force}) d.add(v.x), d.add(v.y), d.add(v.z);
        d.add(c.phase), d.add(c.birthTime), d.add(c.size), d.add(c.spinAngle), d.add(c.cell), d.add(c.cellU);
        d.add(c.cellV), d.add(c.cellWidth), d.add(c.cellHeight), d.add(c.color), d.add(c.colorPulse);
    }
    return d;
}

inline uint64_t stateDigest(const Kaleidoscope& s) { return digestOf(s).hash; }
