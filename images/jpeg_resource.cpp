// JPEG resources decoded straight from memory into 8-bit rows, then uploaded (pairs with jpeg_resource.h).
#include "images/jpeg_resource.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include <jerror.h>

#include "platform/platform.h"

namespace {

void ignoreSource(j_decompress_ptr) {}

// Only a damaged or truncated resource runs out of data: end it with a fake EOI marker and a
// warning, as libjpeg's own file source does, so the decoder never reads past the last byte.
boolean fillInputBuffer(j_decompress_ptr decompressor) {
    static const JOCTET fakeEoi[2] = {0xFF, JPEG_EOI};
    WARNMS(decompressor, JWRN_JPEG_EOF);
    decompressor->src->next_input_byte = fakeEoi;
    decompressor->src->bytes_in_buffer = sizeof fakeEoi;
    return TRUE;
}

// Passes over a marker segment; a skip beyond the end stops at the end.
void skipInputData(j_decompress_ptr decompressor, long count) {
    if (count <= 0) return;
    jpeg_source_mgr* src = decompressor->src;
    const size_t skip = size_t(count) < src->bytes_in_buffer ? size_t(count) : src->bytes_in_buffer;
    src->next_input_byte += skip;
    src->bytes_in_buffer -= skip;
}

// A texture takes 8-bit grayscale or RGB rows only (CMYK and other component counts are refused), and one
// picture may be at most 4096 pixels a side: a few damaged header bytes can claim 65535 x 65535 pixels,
// 12 GiB to decode, from a file of a few hundred bytes.
//
// Each scan of a progressive picture is a pass over all of it, and a few kilobytes can hold hundreds of
// scans of a large picture: minutes of decoding. The work allowed, in scans x samples, is that of ten scans
// (the usual progression) of a 1.5-megapixel colour picture; a 512 x 64 mask may have 2048 scans.
//
// The fuzz build lowers both, so that any input decodes in a fraction of a second under the sanitizers
// along the same paths; the shipped masks still pass.
#ifdef QUILLON_FUZZ_PICTURE_LIMITS
constexpr JDIMENSION maximumSide = 1024;
constexpr uint64_t maximumScanSamples = uint64_t(1) << 22;
#else
constexpr JDIMENSION maximumSide = 4096;
constexpr uint64_t maximumScanSamples = uint64_t(1) << 26;
#endif

void refuseUnusableImage(j_decompress_ptr decompressor) {
    jpeg_calc_output_dimensions(decompressor);
    if (decompressor->output_components != 1 && decompressor->output_components != 3)
        ERREXIT(decompressor, JERR_CONVERSION_NOTIMPL);
    if (decompressor->output_width > maximumSide || decompressor->output_height > maximumSide)
        ERREXIT1(decompressor, JERR_IMAGE_TOO_BIG, maximumSide);
}

constexpr int errorTooManyScans = 1000;  // our own message, after libjpeg's
const char* const ownMessages[] = {"Progressive JPEG refused at scan %d: more decoding than one picture may cost",
                                   nullptr};

// libjpeg's progress monitor, called as each scan's rows arrive.
void limitScans(j_common_ptr common) {
    const auto decompressor = reinterpret_cast<j_decompress_ptr>(common);
    const uint64_t samples = uint64_t(decompressor->image_width) * decompressor->image_height *
                             uint64_t(decompressor->num_components);
    if (uint64_t(decompressor->input_scan_number) * samples > maximumScanSamples)
        ERREXIT1(decompressor, errorTooManyScans, decompressor->input_scan_number);
}

}  // namespace

void installMemorySource(j_decompress_ptr decompressor, ResourceBuffer* buffer) {
    if (!decompressor->src) {
        decompressor->src = static_cast<jpeg_source_mgr*>((*decompressor->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(decompressor), JPOOL_PERMANENT, sizeof(MemorySource)));
    }
    MemorySource* source = reinterpret_cast<MemorySource*>(decompressor->src);
    source->pub.init_source = ignoreSource;
    source->pub.fill_input_buffer = fillInputBuffer;
    source->pub.skip_input_data = skipInputData;
    source->pub.resync_to_restart = jpeg_resync_to_restart;
    source->pub.term_source = ignoreSource;
    source->resourceBuffer = buffer;
    source->pub.bytes_in_buffer = buffer->byteCount;
    source->pub.next_input_byte = buffer->bytes;
}

void recoverFromJpegError(j_common_ptr decompressor) {
    (*decompressor->err->output_message)(decompressor);
    std::longjmp(reinterpret_cast<JpegErrorManager*>(decompressor->err)->recoveryPoint, 1);
}

// Nothing in this function's frame needs destruction, so the jump from libjpeg may land here. The
// pointers read on the recovery path are volatile so that they hold their last stored values.
bool loadJpegResource(TextureImage& image, const char* name) {
    ResourceBuffer* volatile buffer = nullptr;
    unsigned char* volatile pixels = nullptr;
    // Zeroed, so that destroying it is harmless even when creation itself failed.
    jpeg_decompress_struct decompressor;
    std::memset(&decompressor, 0, sizeof decompressor);
    JpegErrorManager errors;
    decompressor.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = recoverFromJpegError;
    errors.pub.addon_message_table = ownMessages;
    errors.pub.first_addon_message = errors.pub.last_addon_message = errorTooManyScans;
    jpeg_progress_mgr progress{};
    progress.progress_monitor = limitScans;

    if (setjmp(errors.recoveryPoint)) {
        jpeg_destroy_decompress(&decompressor);
        delete buffer;
        // The half-decoded block goes too; nothing reads it after a failed load.
        if (pixels && image.pixels == pixels) image.pixels = nullptr;
        std::free(pixels);
        return false;
    }
    jpeg_create_decompress(&decompressor);
    decompressor.progress = &progress;

    platform::ResourceData resource;
    if (!platform::findImageResource(name, resource) || resource.size == 0 || !resource.bytes) {
        jpeg_destroy_decompress(&decompressor);
        return false;
    }
    buffer = new (std::nothrow) ResourceBuffer{0, resource.size, resource.bytes};
    if (!buffer) {
        jpeg_destroy_decompress(&decompressor);
        return false;
    }
    installMemorySource(&decompressor, buffer);

    jpeg_read_header(&decompressor, TRUE);
    refuseUnusableImage(&decompressor);
    jpeg_start_decompress(&decompressor);
    image.width = decompressor.output_width;
    image.height = decompressor.output_height;
    image.bitsPerPixel = decompressor.output_components * 8;

    const size_t rowLength = size_t(decompressor.output_width) * size_t(decompressor.output_components);
    pixels = static_cast<unsigned char*>(std::calloc(rowLength * decompressor.output_height, 1));
    if (!pixels) ERREXIT1(&decompressor, JERR_OUT_OF_MEMORY, 0);
    image.pixels = pixels;
    JSAMPARRAY row = (*decompressor.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&decompressor),
                                                       JPOOL_IMAGE, JDIMENSION(rowLength), 1);
    size_t offset = 0;
    while (decompressor.output_scanline < decompressor.output_height) {
        jpeg_read_scanlines(&decompressor, row, 1);
        std::memcpy(image.pixels + offset, row[0], rowLength);
        offset += rowLength;
    }
    jpeg_finish_decompress(&decompressor);
    jpeg_destroy_decompress(&decompressor);
    delete buffer;
    return uploadTexture(image);
}
