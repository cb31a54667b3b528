// Long runs of the whole scene on the scripted clock, with random bursts of command keys: through days of
// scene time, where the 32-bit clock steps by whole seconds, the field stays bounded, finite and in range,
// and steady frames allocate nothing. QUILLON_LONG_RUN_SCALE=N makes every stretch N times longer. And
// faults in what is drawn leave the simulation as it was.
#include <malloc.h>

#include <cmath>
#include <cstdlib>
#include <new>
#include <random>

#include "support/scene_fixture.h"
#include "support/state_digest.h"

// Counts the operator new calls made from this binary's own code (ours, statically linked), not those of
// Mesa's shader compiler, which allocates whenever it meets a new drawing state. All of them use malloc.
extern "C" char __executable_start, etext;
namespace {
long allocations = 0;
void* allocate(size_t size, const void* caller) {
    if (caller >= &__executable_start && caller < &etext) ++allocations;
    return std::malloc(size ? size : 1);
}
void* allocateOrThrow(size_t size, const void* caller) {
    if (void* block = allocate(size, caller)) return block;
    throw std::bad_alloc();
}
}  // namespace

void* operator new(size_t size) { return allocateOrThrow(size, __builtin_return_address(0)); }
void* operator new[](size_t size) { return allocateOrThrow(size, __builtin_return_address(0)); }
void* operator new(size_t size, const std::nothrow_t&) noexcept { return allocate(size, __builtin_return_address(0)); }
void* operator new[](size_t size, const std::nothrow_t&) noexcept { return allocate(size, __builtin_return_address(0)); }
void operator delete(void* block) noexcept { std::free(block); }
void operator delete[](void* block) noexcept { std::free(block); }
void operator delete(void* block, size_t) noexcept { std::free(block); }
void operator delete[](void* block, size_t) noexcept { std::free(block); }

namespace {

// What must hold after every frame, however long the run; `widest` follows the discs' largest radius.
void expectSound(const Kaleidoscope& s, long frame, float& widest) {
    const DiscField& f = *s.discField;
    const Palette& p = f.palette;
    bool sound = digestOf(s).finite && s.wedgeCount > 0.0f && s.wedgeCount < 1e6f && s.sleepMs >= 1 &&
                 s.sleepMs <= 1000 && f.targetWedgeCount % 2 == 0;
    for (float x : {p.hueCentre, p.hueSpread, p.saturationCentre, p.saturationSpread, p.valueCentre * 2 - 1,
                    p.valueSpread * 2})
        sound = sound && x >= 0.0f && x <= 1.0f;
    for (int i = 0; i < discCount; ++i) {
        const Disc& d = f.discs[i];
        // Spawned anywhere within 4 and pulled back once past 4 - 2 x size, a disc can still be pressed a
        // little past the rim by a pile above it (to 4.04 in 440,000 frames), never by its own size.
        const float radius = std::hypot(d.position.x, d.position.y);
        widest = std::max(widest, radius);
        ASSERT_LT(radius, 4.0f + d.size) << "disc " << i << " frame " << frame;
        sound = sound && d.phase >= 0.0f && d.phase <= 1.0f && d.cell >= 0 && d.cell < 8;
    }
    ASSERT_TRUE(sound) << "frame " << frame;
}

const uint32_t commandKeys[] = {'0', '1', '2', '3', '4', '5', '6', '7', '8', '9', vk::left, vk::right, vk::up,
                                vk::down, vk::keyM, vk::keyS, vk::keyG, vk::space};

}  // namespace

class DiscLongRun : public SceneTest {
protected:
    DiscLongRun() { width = 32, height = 24; }  // the disc state does not depend on the picture size

    // Seed 42 drawn for 60 frames on a fresh context of the given size, every command key pressed once on
    // the way; the state's digest at the end.
    uint64_t digestOfDrawnRun(int w, int h) {
        scene.reset();
        context = std::make_unique<OffscreenContext>(w, h);
        platform::manual::setFrequency(platform::manual::defaultFrequency);
        platform::manual::setCalendarSeconds(42);
        testing::internal::CaptureStderr();  // libjpeg's word on damaged images
        scene = std::make_unique<Kaleidoscope>(w, h);
        testing::internal::GetCapturedStderr();
        for (int frame = 0; frame < 60; ++frame) {
            if (frame % 2 == 0 && frame < 36) scene->handleKey(commandKeys[frame / 2]);
            frameAfter(42);
        }
        EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
        return stateDigest(*scene);
    }
};

// Faults change the picture, never the simulation. Images missing, or damaged so that they fail to load (the
// discs and the logo are then plain quads); frames of 1 x 1, 127 x 1 and 4000 x 64 pixels, smaller than the
// glow's 128 x 128 corner or far wider than high; and, where ctest hides an extension, no glow at all: the
// same seed and keys reach the same state as without any fault.
TEST_F(DiscLongRun, FaultsChangeNothingButThePicture) {
    const uint64_t unharmed = digestOfDrawnRun(32, 24);
    const unsigned char damaged[] = "\xFF\xD8\xFF\xDB not the rest of a picture";
    const struct { const char* what; int width, height; bool ownImages; const unsigned char* image; } cases[] = {
        {"images missing", 32, 24, false, nullptr}, {"images damaged", 32, 24, false, damaged},
        {"1 x 1", 1, 1, true, nullptr}, {"127 x 1", 127, 1, true, nullptr}, {"4000 x 64", 4000, 64, true, nullptr}};
    for (const auto& c : cases) {
        platform::manual::clearResources();
        for (const char* name : {"JPEG_DISCS_MASK", "LOGO_MASK"})
            if (!c.ownImages) platform::manual::setResource(name, c.image, sizeof damaged);
        EXPECT_EQ(digestOfDrawnRun(c.width, c.height), unharmed) << c.what;
        const TextureImage* images = scene->discField->images.get();
        EXPECT_EQ(images[0].texture != 0 && images[2].texture != 0, c.ownImages) << c.what;
    }
}

// Stretches of 42 ms frames after jumps of the clock (a machine waking up after days, say), the last one
// beyond 2^23 seconds, where a float's step is a whole second. One key burst of one to six keys in about
// every 40 frames. The mirrored copies are drawn in one frame of 64, which keeps the run to seconds.
TEST_F(DiscLongRun, DaysOfRandomKeysKeepTheFieldSoundAndAllocateNothing) {
    const char* scaleText = std::getenv("QUILLON_LONG_RUN_SCALE");
    const long scale = scaleText ? std::max(1L, std::atol(scaleText)) : 1;
    const struct { int64_t jumpSeconds; long frames; } stretches[] = {
        {0, 6000}, {86400, 4000}, {864000, 4000}, {8640000, 4000}, {0, 4000}};
    std::mt19937 random(7);
    frameAfter(42);  // the first frame may set up what Mesa keeps
    const size_t heapBefore = mallinfo2().uordblks;
    const long allocationsBefore = allocations;
    long frame = 0;
    float widest = 0.0f;
    for (const auto& stretch : stretches) {
        platform::manual::advanceMilliseconds(stretch.jumpSeconds * 1000);
        for (long n = 0; n < stretch.frames * scale; ++n, ++frame) {
            if (random() % 40 == 0)
                for (int k = int(random() % 6); k >= 0; --k) scene->handleKey(commandKeys[random() % 18]);
            frameAfter(42, frame % 64 == 0 ? frameOptionMirrors : 0);
            expectSound(*scene, frame, widest);
            if (HasFatalFailure()) return;
        }
    }
    EXPECT_EQ(allocations - allocationsBefore, 0) << "operator new calls from our code in " << frame << " frames";
    // Mesa's shader variants come and go as the drawing state changes: its heap moves by a few MiB, no more.
    EXPECT_LT(mallinfo2().uordblks, heapBefore + (8u << 20)) << "heap in use grew";
    EXPECT_GT(widest, 2.0f);  // the discs did reach the rim
    EXPECT_GT(scene->clockSeconds, 9.5e6f);
}
