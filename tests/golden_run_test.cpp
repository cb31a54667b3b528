// One seed driven for 3000 frames of 42 ms with every command key: the whole simulation state pinned.
// Frames are updated without drawing: nothing that is drawn feeds back into the state.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/manual.h"
#include "support/current_gl.h"
#include "support/state_digest.h"

namespace {

// Keys pressed before a frame: every command key, bursts of several in one frame, keys that are not
// commands, and a quiet end in which the field reshuffles itself every 40 seconds.
const struct { int frame; std::vector<uint32_t> codes; } keyScript[] = {
    {30, {'5'}}, {60, {vk::right, vk::right, vk::right}}, {100, {vk::left}}, {130, {vk::up, vk::up, vk::up}},
    {160, {vk::keyG}}, {200, {vk::keyG, vk::right}}, {240, {vk::keyM}}, {260, {vk::keyS}}, {300, {'0', '9'}},
    {360, {vk::down}}, {420, {vk::space}}, {480, {'1', '2', '3', '4', '6', '7', '8'}}, {520, {'A', 96, 27}},
    {600, {vk::left, vk::left, vk::left, vk::left, vk::left, vk::left}}, {700, {vk::keyM, vk::keyS}},
    {800, {vk::down, vk::up}}, {850, {27}},
};

}  // namespace

// Runs in the native suite and, built with mingw-w64, in the Windows suite under Wine: one seed, the same bits.
// The pinned digests were computed a second time, independently, by scripts/golden-reference.py: a model of
// the simulation written in Python from the rules alone, with every 32-bit float operation rounded
// explicitly, which printed the same digests.
TEST(GoldenRun, SeedFortyTwoWithEveryKey) {
    platform::manual::setFrequency(platform::manual::defaultFrequency);
    platform::manual::setCalendarSeconds(42);
    platform::manual::clearResources();
    const std::shared_ptr<void> gl = makeCurrentGl(32, 24);
    ASSERT_TRUE(gl) << "no OpenGL context";
    const auto scene = std::make_unique<Kaleidoscope>(32, 24);  // goes before the context it was made on
    const uint64_t pinned[] = {
        0x76b3696565f51f55, 0x39687168b2efe57b, 0xcc4f991f32a32ed1, 0x31ee1abc61fe95f6, 0x371fb6e27c9ca914,
        0x08ef79c66ccef157, 0x31920def64558585, 0x61df125928992213, 0x732b1f1402f1396d, 0xadd759b7763c199b,
        0x89d36939056d83ab, 0xc558237715d633e3, 0x3223f5f3f527fbfe
    };
    EXPECT_EQ(stateDigest(*scene), pinned[0]) << "right after construction";
    size_t nextKey = 0;
    for (int frame = 1; frame <= 3000; ++frame) {
        for (; nextKey < std::size(keyScript) && keyScript[nextKey].frame == frame; ++nextKey)
            for (uint32_t code : keyScript[nextKey].codes) scene->handleKey(code);
        platform::manual::advanceMilliseconds(42);
        scene->update(frame >= 900 && frame < 960 ? 0 : frameOptionMirrors);
        if (frame % 250 == 0) {
            ASSERT_EQ(stateDigest(*scene), pinned[frame / 250]) << "frame " << frame;
        }
    }
    // A few of the final values, as the model printed them.
    EXPECT_EQ(scene->clockSeconds, 0x1.f80002p+6f);  // 126000 ms x 0.001f, rounded to a float
    EXPECT_EQ(scene->sleepMs, 1);  // 24 frames a second measure as 23: one millisecond less per second
}
