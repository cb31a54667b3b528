// A held scene for the benchmarks (pairs with scene_rig.h).
#include "tools/bench/scene_rig.h"

#include <algorithm>
#include <chrono>
#include <cstring>

#include "platform/gl.h"
#include "platform/manual.h"
#include "platform/platform.h"
#include "scene/random.h"

namespace bench {
namespace {
constexpr int64_t seedSeconds = 42;
constexpr uint32_t heldRandomState = 12345;  // the generator restarts here at every held frame

// The scene and the disc field are copied as raw bytes: their owning pointers copy to the same values,
// so a restore puts every plain field back and leaves the owned objects where they are.
template <class T>
void saveBytes(std::vector<unsigned char>& to, const T& object) {
    to.resize(sizeof object);
    std::memcpy(to.data(), static_cast<const void*>(&object), sizeof object);
}
template <class T>
void loadBytes(T& object, const std::vector<unsigned char>& from) {
    std::memcpy(static_cast<void*>(&object), from.data(), sizeof object);
}

// The core is also built as it stood before each speed change, when scenes had no views: there the
// two-monitor cases are skipped.
template <class Scene>
auto layOutTwoMonitors(Scene& scene, int) -> decltype(scene.setViews({{0, 0, 1024, 768}, {1024, 0, 800, 600}}), true) {
    scene.setViews({{0, 0, 1024, 768}, {1024, 0, 800, 600}});
    return true;
}
template <class Scene>
bool layOutTwoMonitors(Scene&, long) {
    return false;
}
}  // namespace

std::string FrameConfig::name() const {
    const std::string size =
        twoMonitors ? std::string("1024x768+800x600") : std::to_string(width) + "x" + std::to_string(height);
    return size + "/" + std::to_string(wedges) +
           (mirrors ? "/mirrors" : "/no_mirrors") + (glow ? "/glow" : "/no_glow");
}

SceneRig::ScriptedStart::ScriptedStart() {
    platform::manual::setFrequency(platform::manual::defaultFrequency);
    platform::manual::setCalendarSeconds(seedSeconds);
}

SceneRig::SceneRig(int width, int height, int warmupFrames) : context(width, height) {
    if (!context.ok()) return;
    scene = std::make_unique<Kaleidoscope>(width, height);
    for (int i = 0; i < warmupFrames; ++i) {
        platform::manual::advanceMilliseconds(frameMs);
        scene->update(frameOptionMirrors);
    }
}

SceneRig::~SceneRig() {
    context.makeCurrent();
    scene.reset();
}

bool SceneRig::configure(const FrameConfig& config) {
    if (config.twoMonitors && !layOutTwoMonitors(*scene, 0)) return false;
    options = config.options();
    scene->transitionActive = false;
    scene->wedgeAngle = 360.0f / float(config.wedges);
    scene->mirrorsOff = false;
    scene->glowOff = !config.glow;
    platform::manual::advanceMilliseconds(frameMs);
    scene->drawFrame(options);
    pixels();
    hold();
    return true;
}

void SceneRig::hold() {
    saveBytes(heldScene, *scene);
    saveBytes(heldField, *scene->discField);
    heldDiscs.assign(scene->discField->discs.get(), scene->discField->discs.get() + discCount);
    heldCounter = platform::counterNow();
    crt::srand(heldRandomState);
}

void SceneRig::restore() {
    loadBytes(*scene, heldScene);
    loadBytes(*scene->discField, heldField);
    std::copy(heldDiscs.begin(), heldDiscs.end(), scene->discField->discs.get());
    platform::manual::setCounter(heldCounter);
    crt::srand(heldRandomState);
}

void SceneRig::drawFrame() {
    platform::manual::advanceMilliseconds(frameMs);
    scene->drawFrame(options);
}

void SceneRig::scramble() {
    GLfloat clear[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clear);
    glClearColor(1.0f, 0.0f, 1.0f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(clear[0], clear[1], clear[2], clear[3]);
    if (!glowTexture) return;
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    std::vector<unsigned char> noise(128 * 128);
    for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<unsigned char>(i * 37 + 11);
    glBindTexture(GL_TEXTURE_2D, glowTexture);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_LUMINANCE, 128, 128, 0, GL_LUMINANCE, GL_UNSIGNED_BYTE, noise.data());
    glBindTexture(GL_TEXTURE_2D, GLuint(bound));
}

double nowMs() {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double>& values) {
    if (values.empty()) return 0.0;
    const size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + long(middle), values.end());
    if (values.size() % 2) return values[middle];
    const double upper = values[middle];
    return (*std::max_element(values.begin(), values.begin() + long(middle)) + upper) / 2.0;
}

}  // namespace bench
