// JPEG resources decoded by the real libjpeg and uploaded to real Mesa: layout, colour, GL state, bad data.
#include "support/scene_fixture.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include <malloc.h>
#include <sys/mman.h>
#include <unistd.h>

#include "images/jpeg_resource.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A picture of the fuzzers' seed corpus, which fuzz/make_seeds.cpp wrote with libjpeg (the masks are copies of
// the embedded ones).
Bytes seed(const char* name) {
    std::ifstream file(std::string(QUILLON_SOURCE_DIR "/fuzz/corpus/jpeg/") + name, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
}

// Where the marker FF xx first occurs; the data's size when it does not.
size_t find(const Bytes& data, unsigned char marker) {
    for (size_t i = 0; i + 1 < data.size(); ++i)
        if (data[i] == 0xFF && data[i + 1] == marker) return i;
    return data.size();
}

GLint level(GLint index, GLenum what) {
    GLint value = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, index, what, &value);
    return value;
}

// Test resources end exactly where an inaccessible page begins, so that any read past their last byte
// faults, in libjpeg as much as in our own code (AddressSanitizer sees only instrumented code). The pages
// stay mapped until the process ends.
class JpegResource : public SceneTest {
protected:
    static void registerResource(const char* name, const Bytes& data) {
        const size_t page = size_t(sysconf(_SC_PAGESIZE)), dataPages = (data.size() + page - 1) / page;
        void* base = mmap(nullptr, (dataPages + 1) * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        ASSERT_NE(base, MAP_FAILED);
        auto* guard = static_cast<unsigned char*>(base) + dataPages * page;
        EXPECT_EQ(mprotect(guard, page, PROT_NONE), 0);
        std::copy(data.begin(), data.end(), guard - data.size());
        platform::manual::setResource(name, guard - data.size(), uint32_t(data.size()));
    }
    // Loads and uploads; expects the bound texture to have every level down to 1 wide in the format,
    // trilinear, repeating both ways, modulating, the unpack alignment put back; returns level 0 and its width.
    static Bytes loadTexels(const char* name, uint32_t bits, GLenum format, GLint& width) {
        TextureImage image{};
        EXPECT_TRUE(loadJpegResource(image, name));
        EXPECT_TRUE(image.bitsPerPixel == int32_t(bits) && image.height > 0 && image.pixels == nullptr);
        glBindTexture(GL_TEXTURE_2D, image.texture);
        width = level(0, GL_TEXTURE_WIDTH);
        for (GLint i = 0; (width >> i) > 0; ++i) EXPECT_EQ(level(i, GL_TEXTURE_INTERNAL_FORMAT), GLint(format)) << i;
        std::array<GLint, 6> state{};
        const GLenum names[] = {GL_TEXTURE_MIN_FILTER, GL_TEXTURE_MAG_FILTER, GL_TEXTURE_WRAP_S, GL_TEXTURE_WRAP_T};
        for (int i = 0; i < 4; ++i) glGetTexParameteriv(GL_TEXTURE_2D, names[i], &state[i]);
        glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &state[4]);
        glGetIntegerv(GL_UNPACK_ALIGNMENT, &state[5]);
        EXPECT_EQ(state,
                  (std::array<GLint, 6>{GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR, GL_REPEAT, GL_REPEAT, GL_MODULATE, 4}));
        Bytes out(size_t(width) * level(0, GL_TEXTURE_HEIGHT) * (format == GL_RGB ? 3 : 1));
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
        return out;
    }
};

}  // namespace

// The masks are one byte per pixel, 512 and 256 wide (what they show, upright, is held by the reference
// pictures of whole frames). Data that ends inside the scan gets a fake end marker, with a warning: the rows
// that arrived decode as they are. A colour picture (17 pixels make rows of 51 bytes, not a multiple of 4)
// gives R, G, B per pixel; any depth but 24 is a mask.
TEST_F(JpegResource, MasksDecodeTopRowFirstCutScansKeepTheirRowsColourIsRgb) {
    registerResource("HALF", seed("discs-cut-in-scan.jpg"));
    registerResource("COLOUR", seed("colour-444-odd.jpg"));
    GLint width = 0;
    EXPECT_EQ(loadTexels("LOGO_MASK", 8, GL_ALPHA, width).size(), 256u * 64);
    const Bytes reference = loadTexels("JPEG_DISCS_MASK", 8, GL_ALPHA, width);
    ASSERT_EQ(reference.size(), 512u * 64);
    testing::internal::CaptureStderr();
    const Bytes half = loadTexels("HALF", 8, GL_ALPHA, width);
    EXPECT_NE(testing::internal::GetCapturedStderr(), "");  // the warning about the cut
    EXPECT_TRUE(std::equal(reference.begin(), reference.begin() + 8 * 512, half.begin()));
    loadTexels("COLOUR", 24, GL_RGB, width);
    TextureImage deep{static_cast<unsigned char*>(std::calloc(16, 1)), 32, 2, 2, 0};
    uploadTexture(deep);
    EXPECT_EQ(level(0, GL_TEXTURE_INTERNAL_FORMAT), GL_ALPHA);
}

// Each resource ends on an inaccessible page. A bogus trailer fails after the pixels were decoded; a CMYK or
// an oversized picture is refused before anything is allocated for it, one whose scans would cost too much
// as soon as that shows. libjpeg's fatal message reaches stderr, and no failure leaves memory behind.
TEST_F(JpegResource, MissingForeignCutOrDamagedDataFails) {
    const Bytes logo = seed("logo_mask.jpg"), discs = seed("discs_mask.jpg");
    Bytes trailing(logo.begin(), logo.end() - 2), wide = logo;
    trailing.insert(trailing.end(), {0xFF, 0xC4, 0x00, 0x01});  // EOI becomes a DHT of bogus length
    wide[find(logo, 0xC0) + 7] = 0x10, wide[find(logo, 0xC0) + 8] = 0x01;  // 4097 pixels wide
    Bytes scans = seed("progressive.jpg");  // ten scans of 40 x 24, then of 4096 x 4096
    const size_t sof2 = find(scans, 0xC2);
    scans[sof2 + 5] = scans[sof2 + 7] = 0x10, scans[sof2 + 6] = scans[sof2 + 8] = 0;
    const struct { const char* name; Bytes data; const char* message; } cases[] = {
        {"NO_SUCH_IMAGE", {}, ""}, {"EMPTY", {}, ""}, {"TEXT", Bytes(40, 't'), "Not a JPEG file: starts with 0x74 0x74"},
        {"HEADER", Bytes(discs.begin(), discs.begin() + find(discs, JPEG_APP0 + 1) + 10), "Premature end"},
        {"BAD_TRAILER", trailing, "Bogus marker length"},
        {"CMYK", seed("cmyk.jpg"), "Unsupported color conversion"},
        {"TOO_WIDE", wide, "Maximum supported image dimension is 4096"},
        {"MANY_SCANS", scans, "Progressive JPEG refused at scan 2"}};
    for (const auto& c : cases) {
        if (std::strcmp(c.name, "NO_SUCH_IMAGE") != 0) registerResource(c.name, c.data);
        TextureImage image{};
        testing::internal::CaptureStderr();
        EXPECT_FALSE(loadJpegResource(image, c.name)) << c.name;
        const std::string said = testing::internal::GetCapturedStderr();
        EXPECT_TRUE(image.pixels == nullptr && image.texture == 0u) << c.name;
        EXPECT_TRUE(*c.message ? said.find(c.message) != std::string::npos : said.empty()) << c.name << ": " << said;
    }
    // The loads again, now that the libraries have made what they make once, in a child process: there no
    // other thread (Mesa's) touches the heap, so the heap in use must be the same after each load as before.
    const auto loadsLeavingMemory = [&] {
        int leaks = 0;
        for (const auto& c : cases) {
            TextureImage image{};
            const size_t before = mallinfo2().uordblks;
            loadJpegResource(image, c.name);
            const long left = long(mallinfo2().uordblks - before);
            if (left != 0) std::fprintf(stderr, "%s: %ld bytes left behind\n", c.name, left);
            leaks += left != 0;
        }
        // A good load keeps its texture and nothing else: with the texture deleted, the second time round,
        // at most Mesa's own kilobyte stays (1120 bytes here), never the 32 KiB pixel block or 12 KB of data.
        size_t before = 0;
        bool loaded = true;
        for (int pass = 0; pass < 2; ++pass) {
            TextureImage image{};
            before = mallinfo2().uordblks;
            loaded = loadJpegResource(image, "JPEG_DISCS_MASK") && loaded;
            glDeleteTextures(1, &image.texture);
        }
        const long left = long(mallinfo2().uordblks - before);
        const bool leaked = !loaded || left >= 4096;
        if (leaked) std::fprintf(stderr, "JPEG_DISCS_MASK: %ld bytes left behind\n", left);
        return leaks + leaked;
    };
    EXPECT_EXIT(std::_Exit(loadsLeavingMemory()), testing::ExitedWithCode(0), "");
}
