// Fuzz target: any bytes as an image resource, decoded by the real loadJpegResource with the upload replaced
// at the texture boundary. Nothing is read past the data; a decoded image arrives as 8- or 24-bit rows in a
// block of exactly width x height pixels; a failed load leaves no texture, no pixels and (LeakSanitizer) no
// memory behind.
#include <sanitizer/allocator_interface.h>

#include "fuzz/fuzz_support.h"
#include "images/jpeg_resource.h"
#include "platform/manual.h"

static bool uploaded = false;

// Stands in for the OpenGL upload: checks what the loader hands over and releases it as upload does.
bool uploadTexture(TextureImage& image) {
    FUZZ_CHECK((image.bitsPerPixel == 8 || image.bitsPerPixel == 24) && image.width > 0 && image.height > 0);
    const size_t bytes = size_t(image.width) * image.height * size_t(image.bitsPerPixel / 8);
    FUZZ_CHECK(image.pixels != nullptr && __sanitizer_get_allocated_size(image.pixels) == bytes);
    std::free(image.pixels);
    image.pixels = nullptr, image.texture = 1;
    return uploaded = true;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    platform::manual::setResource("FUZZ", guardedCopy(data, size), uint32_t(size));
    TextureImage image{};
    uploaded = false;
    const bool loaded = loadJpegResource(image, "FUZZ");
    FUZZ_CHECK(loaded == uploaded && (loaded ? image.texture == 1 : image.texture == 0 && image.pixels == nullptr));
    return 0;
}
