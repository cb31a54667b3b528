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

#include <jerror.h>  // after jpeglib.h: its message numbers depend on jconfig.h
#include "platform/platform.h"

namespace {

using Bytes = std::vector<unsigned char>;

constexpr unsigned char markerSoi = 0xD8, markerSos = 0xDA;

Bytes embedded(const char* name) {
    platform::ResourceData data;
    if (!platform::findImageResource(name, data)) return {};
    return Bytes(data.bytes, data.bytes + data.size);
}

// Compresses rows (components 1 or 3) into a JPEG in memory.
Bytes compress(int width, int height, int components, const Bytes& pixels) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 3 ? JCS_RGB : JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 95, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&pixels[size_t(cinfo.next_scanline) * width * components]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes result(out, out + size);
    std::free(out);
    return result;
}

size_t find(const Bytes& data, unsigned char marker) {
    for (size_t i = 0; i + 1 < data.size(); ++i)
        if (data[i] == 0xFF && data[i + 1] == marker) return i;
    return data.size();
}

// Test resources end exactly where an inaccessible page begins, so that any read past their last byte
// faults, in libjpeg as much as in our own code (AddressSanitizer sees only instrumented code).
class JpegResource : public GlTest {
protected:
    void TearDown() override {
        GlTest::TearDown();
        for (const auto& mapping : mappings) munmap(mapping.first, mapping.second);
    }
    const unsigned char* registerResource(const char* name, const Bytes& data) {
        const size_t page = size_t(sysconf(_SC_PAGESIZE));
        const size_t dataPages = (data.size() + page - 1) / page;
        const size_t length = (dataPages + 1) * page;
        void* base = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        EXPECT_NE(base, MAP_FAILED);
        auto* guard = static_cast<unsigned char*>(base) + dataPages * page;
        EXPECT_EQ(mprotect(guard, page, PROT_NONE), 0);
        mappings.emplace_back(base, length);
        unsigned char* start = guard - data.size();
        std::memcpy(start, data.data(), data.size());
        platform::manual::setResource(name, start, uint32_t(data.size()));
        return start;
    }
    // Loads the resource and returns what went to standard error.
    std::string load(TextureImage& image, const char* name, bool& result) {
        testing::internal::CaptureStderr();
        result = loadJpegResource(image, name);
        return testing::internal::GetCapturedStderr();
    }
    // Level 0 of the bound texture in the given format.
    static Bytes texels(const TextureImage& image, GLenum format, int components) {
        Bytes out(size_t(image.width) * image.height * components);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glBindTexture(GL_TEXTURE_2D, image.texture);
        glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
        return out;
    }
    std::vector<std::pair<void*, size_t>> mappings;
};

size_t lines(const std::string& text) { return size_t(std::count(text.begin(), text.end(), '\n')); }

}  // namespace

TEST_F(JpegResource, EmbeddedImagesAreCompleteJpegFiles) {
    for (const char* name : {"JPEG_DISCS_MASK", "LOGO_MASK"}) {
        const Bytes data = embedded(name);
        ASSERT_GT(data.size(), 4u) << name;
        EXPECT_EQ(data[0], 0xFF);
        EXPECT_EQ(data[1], markerSoi);
        EXPECT_EQ(data[data.size() - 2], 0xFF);
        EXPECT_EQ(data[data.size() - 1], JPEG_EOI);
        for (int app : {0, 1, 13, 14}) EXPECT_LT(find(data, JPEG_APP0 + app), data.size()) << app;
    }
}

// Rows come out top row first, one byte per pixel; the upload keeps that order in level 0.
TEST_F(JpegResource, ShippedMasksDecodeTopRowFirst) {
    TextureImage atlas{};
    bool ok = false;
    EXPECT_EQ(load(atlas, "JPEG_DISCS_MASK", ok), "");
    ASSERT_TRUE(ok);
    EXPECT_EQ(atlas.width, 512u);
    EXPECT_EQ(atlas.height, 64u);
    EXPECT_EQ(atlas.bitsPerPixel, 8);
    EXPECT_EQ(atlas.pixels, nullptr);
    EXPECT_NE(atlas.texture, 0u);
    const Bytes a = texels(atlas, GL_ALPHA, 1);
    auto at = [&](int row, int col) { return int(a[size_t(row) * 512 + col]); };
    EXPECT_LT(at(0, 64), 8);      // soft spot: dark corner
    EXPECT_GT(at(32, 96), 240);   // bright centre
    EXPECT_LT(at(32, 160), 8);    // ring: dark centre
    EXPECT_GT(at(10, 160), 240);  // bright band above it
    EXPECT_GT(at(5, 288), 150);   // pinwheel: its first blade points up ...
    EXPECT_LT(at(58, 288), 20);   // ... and nothing mirrors it below

    TextureImage logo{};
    EXPECT_EQ(load(logo, "LOGO_MASK", ok), "");
    ASSERT_TRUE(ok);
    EXPECT_EQ(logo.width, 256u);
    EXPECT_EQ(logo.height, 64u);
    EXPECT_EQ(logo.bitsPerPixel, 8);
    const Bytes l = texels(logo, GL_ALPHA, 1);
    auto lat = [&](int row, int col) { return int(l[size_t(row) * 256 + col]); };
    EXPECT_LT(lat(0, 0), 8);
    EXPECT_GT(lat(32, 97), 240);   // the I
    EXPECT_GT(lat(51, 118), 240);  // the foot of the first L, at the bottom
    EXPECT_LT(lat(12, 118), 8);
    GLuint names[2] = {atlas.texture, logo.texture};
    glDeleteTextures(2, names);
}

// A colour JPEG gives R, G, B per pixel; 18 pixels make rows of 54 bytes, not a multiple of 4.
TEST_F(JpegResource, ColourJpegGivesRgbRows) {
    const int w = 18, h = 16;
    const unsigned char quadrant[4][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 255}};
    Bytes rgb(size_t(w) * h * 3);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            std::memcpy(&rgb[(size_t(y) * w + x) * 3], quadrant[(y >= h / 2) * 2 + (x >= w / 2)], 3);
    registerResource("COLOUR", compress(w, h, 3, rgb));

    TextureImage image{};
    bool ok = false;
    load(image, "COLOUR", ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(image.width, unsigned(w));
    EXPECT_EQ(image.height, unsigned(h));
    EXPECT_EQ(image.bitsPerPixel, 24);
    GLint format = 0;
    glBindTexture(GL_TEXTURE_2D, image.texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
    EXPECT_EQ(format, GL_RGB);
    // GLU rescales the mipmap chain to a power of two, level 0 included: probe by fractions.
    GLint levelWidth = 0, levelHeight = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &levelWidth);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &levelHeight);
    EXPECT_EQ(levelHeight, h);
    Bytes t(size_t(levelWidth) * levelHeight * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_RGB, GL_UNSIGNED_BYTE, t.data());
    const float probes[4][2] = {{0.2f, 0.2f}, {0.8f, 0.2f}, {0.2f, 0.8f}, {0.8f, 0.8f}};  // from the top
    for (int q = 0; q < 4; ++q) {
        const int x = int(probes[q][0] * levelWidth), y = int(probes[q][1] * levelHeight);
        const unsigned char* p = &t[(size_t(y) * levelWidth + x) * 3];
        for (int c = 0; c < 3; ++c) EXPECT_NEAR(p[c], quadrant[q][c], 24) << "quadrant " << q << " " << c;
    }
    GLint alignment = 0;
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &alignment);
    EXPECT_EQ(alignment, 4);
    GLuint name = image.texture;
    glDeleteTextures(1, &name);
}

TEST_F(JpegResource, MissingOrForeignDataFails) {
    TextureImage image{};
    bool ok = true;
    EXPECT_EQ(load(image, "NO_SUCH_IMAGE", ok), "");
    EXPECT_FALSE(ok);
    EXPECT_EQ(image.texture, 0u);

    const std::string text = "this is not a picture at all";
    registerResource("TEXT", Bytes(text.begin(), text.end()));
    const std::string message = load(image, "TEXT", ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(lines(message), 1u);
    EXPECT_NE(message.find("Not a JPEG file: starts with 0x74 0x68"), std::string::npos) << message;
    EXPECT_EQ(image.texture, 0u);
    EXPECT_EQ(image.pixels, nullptr);

    platform::manual::setResource("EMPTY", registerResource("EMPTY", Bytes{0}), 0);
    EXPECT_EQ(load(image, "EMPTY", ok), "");
    EXPECT_FALSE(ok);
}

// Data cut short ends in a fake EOI: cut inside the image it decodes what is there with one warning;
// cut inside a marker segment the skip stops at the end and there is no image.
TEST_F(JpegResource, TruncatedDataNeverReadsPastTheEnd) {
    const Bytes full = embedded("JPEG_DISCS_MASK");
    ASSERT_FALSE(full.empty());
    registerResource("WHOLE", full);
    TextureImage whole{};
    bool ok = false;
    load(whole, "WHOLE", ok);
    ASSERT_TRUE(ok);
    const Bytes reference = texels(whole, GL_ALPHA, 1);

    const size_t scan = find(full, markerSos);
    registerResource("HALF", Bytes(full.begin(), full.begin() + (scan + full.size()) / 2));
    TextureImage half{};
    const std::string warning = load(half, "HALF", ok);
    EXPECT_TRUE(ok);
    EXPECT_EQ(lines(warning), 1u) << warning;
    EXPECT_EQ(half.width, 512u);
    EXPECT_EQ(half.height, 64u);
    const Bytes decoded = texels(half, GL_ALPHA, 1);
    EXPECT_TRUE(std::equal(reference.begin(), reference.begin() + 8 * 512, decoded.begin()));

    const size_t app1 = find(full, JPEG_APP0 + 1);
    registerResource("HEADER", Bytes(full.begin(), full.begin() + app1 + 10));
    TextureImage header{};
    const std::string message = load(header, "HEADER", ok);
    EXPECT_FALSE(ok);
    EXPECT_LE(lines(message), 2u) << message;  // the end-of-file warning, then the fatal error
    EXPECT_NE(message.find("no image"), std::string::npos) << message;
    EXPECT_EQ(header.texture, 0u);
    GLuint names[2] = {whole.texture, half.texture};
    glDeleteTextures(2, names);
}

// A bad marker before the image fails at once; one after it fails with the pixels already decoded,
// and those are released.
TEST_F(JpegResource, DamagedMarkerFails) {
    Bytes unknown = embedded("LOGO_MASK");
    ASSERT_FALSE(unknown.empty());
    unknown[find(unknown, JPEG_APP0 + 13) + 1] = 0x4F;
    registerResource("UNKNOWN_MARKER", unknown);
    TextureImage image{};
    bool ok = true;
    std::string message = load(image, "UNKNOWN_MARKER", ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(lines(message), 1u);
    EXPECT_NE(message.find("Unsupported marker type 0x4f"), std::string::npos) << message;
    EXPECT_EQ(image.texture, 0u);

    Bytes trailing = embedded("LOGO_MASK");
    trailing.resize(trailing.size() - 2);  // EOI becomes a Huffman table marker of bogus length
    trailing.insert(trailing.end(), {0xFF, 0xC4, 0x00, 0x01});
    registerResource("BAD_TRAILER", trailing);
    TextureImage late{};
    message = load(late, "BAD_TRAILER", ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(lines(message), 1u);
    EXPECT_NE(message.find("Bogus marker length"), std::string::npos) << message;
    EXPECT_EQ(late.width, 256u);
    EXPECT_EQ(late.bitsPerPixel, 8);
    EXPECT_EQ(late.pixels, nullptr);
    EXPECT_EQ(late.texture, 0u);
}

// The source's own methods: skips of 0 or less do nothing, a long skip stops at the end, and then
// the fill supplies EOI with a warning; an installed source is reused.
TEST(MemorySource, SkipAndFillStayInsideTheBuffer) {
    unsigned char* bytes = new unsigned char[16]();
    ResourceBuffer buffer{0, 16, bytes};
    jpeg_decompress_struct decompressor;
    jpeg_error_mgr errors;
    decompressor.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&decompressor);
    installMemorySource(&decompressor, &buffer);
    jpeg_source_mgr* src = decompressor.src;
    EXPECT_EQ(reinterpret_cast<MemorySource*>(src)->resourceBuffer, &buffer);
    EXPECT_EQ(src->next_input_byte, bytes);
    EXPECT_EQ(src->bytes_in_buffer, 16u);

    src->skip_input_data(&decompressor, 0);
    src->skip_input_data(&decompressor, -5);
    EXPECT_EQ(src->next_input_byte, bytes);
    EXPECT_EQ(src->bytes_in_buffer, 16u);
    src->skip_input_data(&decompressor, 6);
    EXPECT_EQ(src->next_input_byte, bytes + 6);
    EXPECT_EQ(src->bytes_in_buffer, 10u);
    src->skip_input_data(&decompressor, 1000);
    EXPECT_EQ(src->next_input_byte, bytes + 16);
    EXPECT_EQ(src->bytes_in_buffer, 0u);

    testing::internal::CaptureStderr();
    EXPECT_TRUE(src->fill_input_buffer(&decompressor));
    EXPECT_EQ(lines(testing::internal::GetCapturedStderr()), 1u);
    EXPECT_EQ(errors.msg_code, int(JWRN_JPEG_EOF));
    EXPECT_EQ(errors.num_warnings, 1);
    ASSERT_EQ(src->bytes_in_buffer, 2u);
    EXPECT_EQ(src->next_input_byte[0], 0xFF);
    EXPECT_EQ(src->next_input_byte[1], JPEG_EOI);

    installMemorySource(&decompressor, &buffer);
    EXPECT_EQ(decompressor.src, src);
    EXPECT_EQ(src->bytes_in_buffer, 16u);
    jpeg_destroy_decompress(&decompressor);
    delete[] bytes;
}
