// JPEG resources decoded from memory by the real libjpeg: layout, colour, and damaged or missing data.
#include "support/scene_fixture.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

#include "images/jpeg_resource.h"
#include "platform/platform.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes embedded(const char* name) {
    platform::ResourceData data{};
    EXPECT_TRUE(platform::findImageResource(name, data)) << name;
    return Bytes(data.bytes, data.bytes + data.size);
}

// Compresses RGB rows into a JPEG in memory.
Bytes compressRgb(int width, int height, const Bytes& pixels) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&pixels[size_t(cinfo.next_scanline) * width * 3]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes result(out, out + size);
    std::free(out);
    return result;
}

// Where the marker FF xx first occurs; the data's size when it does not.
size_t find(const Bytes& data, unsigned char marker) {
    for (size_t i = 0; i + 1 < data.size(); ++i)
        if (data[i] == 0xFF && data[i + 1] == marker) return i;
    return data.size();
}

struct Loaded {
    bool ok;
    TextureImage image;
    std::string errors;  // what went to standard error
    size_t lines() const { return size_t(std::count(errors.begin(), errors.end(), '\n')); }
};

// Test resources end exactly where an inaccessible page begins, so that any read past their last byte
// faults, in libjpeg as much as in our own code (AddressSanitizer sees only instrumented code).
class JpegResource : public GlTest {
protected:
    void TearDown() override {
        GlTest::TearDown();
        for (const auto& mapping : mappings) munmap(mapping.first, mapping.second);
    }
    void registerResource(const char* name, const Bytes& data) {
        const size_t page = size_t(sysconf(_SC_PAGESIZE));
        const size_t dataPages = (data.size() + page - 1) / page;
        const size_t length = (dataPages + 1) * page;
        void* base = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        EXPECT_NE(base, MAP_FAILED);
        auto* guard = static_cast<unsigned char*>(base) + dataPages * page;
        EXPECT_EQ(mprotect(guard, page, PROT_NONE), 0);
        mappings.emplace_back(base, length);
        std::copy(data.begin(), data.end(), guard - data.size());
        platform::manual::setResource(name, guard - data.size(), uint32_t(data.size()));
    }
    Loaded load(const char* name) {
        Loaded result{false, {}, {}};
        testing::internal::CaptureStderr();
        result.ok = loadJpegResource(result.image, name);
        result.errors = testing::internal::GetCapturedStderr();
        return result;
    }
    // Level 0 of the image's texture, with its width, in the given format.
    static Bytes texels(const TextureImage& image, GLenum format, int components, GLint& width) {
        glBindTexture(GL_TEXTURE_2D, image.texture);
        GLint height = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &height);
        Bytes out(size_t(width) * height * components);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
        return out;
    }
    std::vector<std::pair<void*, size_t>> mappings;
};

}  // namespace

// Rows come out top row first, one byte per pixel, and reach level 0 in that order.
TEST_F(JpegResource, ShippedMasksDecodeTopRowFirst) {
    struct Spot { int row, col; bool bright; };
    struct Mask { const char* name; uint32_t width; std::vector<Spot> spots; };
    for (const Mask& m : {Mask{"JPEG_DISCS_MASK", 512, {{0, 64, false}, {32, 96, true},  // soft spot
                                                        {32, 160, false}, {10, 160, true},  // ring
                                                        {5, 288, true}, {58, 288, false}}},  // pinwheel
                          Mask{"LOGO_MASK", 256, {{32, 97, true}, {51, 118, true}, {12, 118, false}}}}) {
        SCOPED_TRACE(m.name);
        const Loaded mask = load(m.name);
        ASSERT_TRUE(mask.ok);
        EXPECT_EQ(mask.errors, "");
        EXPECT_EQ(mask.image.width, m.width);
        EXPECT_EQ(mask.image.height, 64u);
        EXPECT_EQ(mask.image.bitsPerPixel, 8);
        GLint width = 0;
        const Bytes t = texels(mask.image, GL_ALPHA, 1, width);
        for (Spot s : m.spots) {
            const int value = t[size_t(s.row) * width + s.col];
            EXPECT_TRUE(s.bright ? value > 150 : value < 20) << s.row << ", " << s.col << ": " << value;
        }
    }
}

// A colour JPEG gives R, G, B per pixel; 18 pixels make rows of 54 bytes, not a multiple of 4, and
// the unpack alignment is put back afterwards.
TEST_F(JpegResource, ColourJpegGivesRgbRows) {
    const int w = 18, h = 16;
    const unsigned char quadrant[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    Bytes rgb(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            std::memcpy(&rgb[(size_t(y) * w + x) * 3], quadrant[(y >= h / 2) * 2 + (x >= w / 2)], 3);
    registerResource("COLOUR", compressRgb(w, h, rgb));

    const Loaded colour = load("COLOUR");
    ASSERT_TRUE(colour.ok);
    EXPECT_EQ(colour.image.width, unsigned(w));
    EXPECT_EQ(colour.image.bitsPerPixel, 24);
    // GLU rescales the mipmap chain to a power of two, level 0 included: probe by fractions.
    GLint width = 0;
    const Bytes t = texels(colour.image, GL_RGB, 3, width);
    const int height = int(t.size() / 3 / size_t(width));
    EXPECT_EQ(height, h);
    const float probes[4][2] = {{0.2f, 0.2f}, {0.8f, 0.2f}, {0.2f, 0.8f}, {0.8f, 0.8f}};  // from the top
    for (int q = 0; q < 4; ++q) {
        const unsigned char* p = &t[(size_t(probes[q][1] * height) * width + int(probes[q][0] * width)) * 3];
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(p[c], quadrant[q][c], 24) << "quadrant " << q << " " << c;
    }
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);
}

// Data cut inside the image ends in a fake EOI: it decodes what is there, with one warning.
TEST_F(JpegResource, TruncatedImageDecodesWhatIsThere) {
    const Bytes full = embedded("JPEG_DISCS_MASK");
    const size_t scan = find(full, 0xDA);  // start of scan
    ASSERT_LT(scan, full.size());
    registerResource("HALF", Bytes(full.begin(), full.begin() + (scan + full.size()) / 2));
    GLint width = 0;
    const Bytes reference = texels(load("JPEG_DISCS_MASK").image, GL_ALPHA, 1, width);
    const Loaded half = load("HALF");
    EXPECT_TRUE(half.ok);
    EXPECT_EQ(half.lines(), 1u) << half.errors;
    const Bytes decoded = texels(half.image, GL_ALPHA, 1, width);
    EXPECT_EQ(width, 512);
    EXPECT_TRUE(std::equal(reference.begin(), reference.begin() + 8 * 512, decoded.begin()));
}

// Each resource ends on an inaccessible page. Failures before the image leave no size; the bogus
// trailer fails after the pixels were decoded, and those are released. Missing data says nothing.
TEST_F(JpegResource, MissingForeignCutOrDamagedDataFails) {
    const Bytes logo = embedded("LOGO_MASK"), discs = embedded("JPEG_DISCS_MASK");
    const size_t app13 = find(logo, JPEG_APP0 + 13), app1 = find(discs, JPEG_APP0 + 1);
    ASSERT_TRUE(app13 < logo.size() && app1 < discs.size());
    Bytes unknown = logo, trailing(logo.begin(), logo.end() - 2);
    unknown[app13 + 1] = 0x4F;
    trailing.insert(trailing.end(), {0xFF, 0xC4, 0x00, 0x01});  // EOI becomes a DHT of bogus length
    const std::string text = "this is not a picture at all";
    struct Case { const char* name; Bytes data; const char* message; uint32_t width; };
    for (const Case& c : {Case{"EMPTY", {}, "", 0}, Case{"TEXT", Bytes(text.begin(), text.end()),
                                                              "Not a JPEG file: starts with 0x74 0x68", 0},
                          Case{"HEADER", Bytes(discs.begin(), discs.begin() + app1 + 10), "no image", 0},
                          Case{"UNKNOWN_MARKER", unknown, "Unsupported marker type 0x4f", 0},
                          Case{"BAD_TRAILER", trailing, "Bogus marker length", 256}}) {
        SCOPED_TRACE(c.name);
        registerResource(c.name, c.data);
        const Loaded result = load(c.name);
        EXPECT_FALSE(result.ok);
        EXPECT_NE(result.errors.find(c.message), std::string::npos) << result.errors;
        EXPECT_LE(result.lines(), c.message[0] ? 2u : 0u);  // at most an end-of-file warning first
        EXPECT_EQ(result.image.width, c.width);
        EXPECT_EQ(result.image.pixels, nullptr);
        EXPECT_EQ(result.image.texture, 0u);
    }
    const Loaded missing = load("NO_SUCH_IMAGE");
    EXPECT_FALSE(missing.ok);
    EXPECT_EQ(missing.errors, "");
}
