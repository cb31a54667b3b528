// Generator of the saver's images: the disc atlas and logo masks (JPEG) and the icon; see resources/README.md.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

constexpr double pi = 3.14159265358979323846;

// A grayscale picture, one byte per pixel, top row first.
struct Gray {
    int width, height;
    std::vector<unsigned char> pixels;
    Gray(int w, int h) : width(w), height(h), pixels(size_t(w) * size_t(h), 0) {}
};

double clamp01(double v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }
double smoothstep(double a, double b, double v) {
    const double t = clamp01((v - a) / (b - a));
    return t * t * (3 - 2 * t);
}

// Shape of one 64 x 64 cell: intensity 0..1 at (x, y), centred on 0 with radius 1 to the cell edge; y up.
using Shape = std::function<double(double x, double y)>;

// Fills one cell, averaging 8 x 8 samples per pixel so that hard edges come out anti-aliased.
void paintCell(Gray& image, int left, int size, const Shape& shape) {
    constexpr int samples = 8;
    for (int row = 0; row < size; ++row) {
        for (int col = 0; col < size; ++col) {
            double sum = 0;
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    const double px = col + (sx + 0.5) / samples;
                    const double py = row + (sy + 0.5) / samples;
                    const double x = px / size * 2 - 1;
                    const double y = 1 - py / size * 2;
                    sum += clamp01(shape(x, y));
                }
            }
            image.pixels[size_t(row) * image.width + left + col] =
                (unsigned char)std::lround(255 * sum / (samples * samples));
        }
    }
}

// Keeps every picture clear of the cell border, so that mipmaps and wrapping never bleed.
double rim(double r) { return 1 - smoothstep(0.86, 0.94, r); }

double star(double x, double y) {
    // An astroid-like four-pointed star with a bright core.
    const double p = 0.6;
    const double body = std::pow(std::fabs(x) / 0.92, p) + std::pow(std::fabs(y) / 0.92, p);
    const double r = std::hypot(x, y);
    const double core = std::exp(-r * r / 0.05);
    return (body < 1 ? 0.85 : 0) + 0.3 * core;
}

double softSpot(double x, double y) {
    const double r = std::hypot(x, y);
    return r < 0.9 ? 0.5 * (1 + std::cos(pi * r / 0.9)) : 0;
}

double ring(double x, double y) {
    const double r = std::hypot(x, y);
    const double band = (r > 0.5 && r < 0.88) ? 1 : 0;
    const double sheen = 0.75 + 0.25 * std::cos((r - 0.69) / 0.19 * pi / 2);
    return band * sheen;
}

double swirl(double x, double y) {
    const double r = std::hypot(x, y);
    const double a = std::atan2(y, x);
    const double arms = 0.5 + 0.5 * std::cos(3 * a + 7 * r);
    const double disc = r < 0.9 ? 1 : 0;
    const double edge = r > 0.8 ? 1 : 0;
    return disc * std::max(edge, 0.25 + 0.75 * smoothstep(0.35, 0.65, arms));
}

double pinwheel(double x, double y) {
    // Three curved blades; the first points straight up, so the cell is not mirror-symmetric top to bottom.
    const double r = std::hypot(x, y);
    const double a = std::atan2(y, x) - pi / 2 + 2.2 * r;
    const double blade = std::cos(3 * a);
    const double shape = (blade > 0.35 && r < 0.9) ? 1 : 0;
    const double hub = r < 0.16 ? 1 : 0;
    return std::max(shape * (1 - 0.35 * r), hub);
}

double secondSpot(double x, double y) {
    // Brighter core, wider halo than the first spot.
    const double r = std::hypot(x, y);
    return (0.7 * std::exp(-r * r / 0.06) + 0.45 * std::exp(-r * r / 0.3)) * rim(r);
}

double spiralRing(double x, double y) {
    const double r = std::hypot(x, y);
    const double a = std::atan2(y, x);
    const double stripes = std::cos(5 * a + 9 * r);
    const double band = (r > 0.42 && r < 0.9) ? 1 : 0;
    return band * (stripes > -0.2 ? 1.0 : 0.15);
}

double tightSpiral(double x, double y) {
    // An Archimedean spiral line, a turn every 0.14 of the radius.
    const double r = std::hypot(x, y);
    const double a = std::atan2(y, x);
    const double turns = r / 0.14 - a / (2 * pi);
    const double f = turns - std::floor(turns);
    const double line = std::fabs(f - 0.5) < 0.2 ? 1 : 0;
    return (r < 0.9 ? line : 0) + (r < 0.08 ? 1 : 0);
}

// Distance from (x, y) to the segment (ax, ay)-(bx, by).
double segmentDistance(double x, double y, double ax, double ay, double bx, double by) {
    const double dx = bx - ax, dy = by - ay;
    const double t = clamp01(((x - ax) * dx + (y - ay) * dy) / (dx * dx + dy * dy));
    return std::hypot(x - (ax + t * dx), y - (ay + t * dy));
}

// Lettering from strokes of round-capped lines, in pixel coordinates (y down).
struct Stroke {
    double ax, ay, bx, by;
};

void addArc(std::vector<Stroke>& strokes, double cx, double cy, double rx, double ry, double from,
            double to) {
    constexpr int steps = 48;
    for (int i = 0; i < steps; ++i) {
        const double a0 = from + (to - from) * i / steps;
        const double a1 = from + (to - from) * (i + 1) / steps;
        strokes.push_back({cx + rx * std::cos(a0), cy - ry * std::sin(a0), cx + rx * std::cos(a1),
                           cy - ry * std::sin(a1)});
    }
}

std::vector<Stroke> logoStrokes() {
    std::vector<Stroke> s;
    const double top = 13, bottom = 51, mid = 32, half = 19;
    double x = 19;  // left edge of the current letter
    // Q
    addArc(s, x + 15, mid, 15, half, 0, 2 * pi);
    s.push_back({x + 19, mid + 9, x + 31, bottom + 2});
    x += 30 + 12;
    // U
    s.push_back({x, top, x, bottom - 12});
    addArc(s, x + 12, bottom - 12, 12, 12, pi, 2 * pi);
    s.push_back({x + 24, bottom - 12, x + 24, top});
    x += 24 + 12;
    // I
    s.push_back({x, top, x, bottom});
    x += 0 + 12;
    // L, L
    for (int i = 0; i < 2; ++i) {
        s.push_back({x, top, x, bottom});
        s.push_back({x, bottom, x + 18, bottom});
        x += 18 + 11;
    }
    // O
    addArc(s, x + 15, mid, 15, half, 0, 2 * pi);
    x += 30 + 12;
    // N
    s.push_back({x, bottom, x, top});
    s.push_back({x, top, x + 24, bottom});
    s.push_back({x + 24, bottom, x + 24, top});
    return s;
}

Gray makeLogo() {
    Gray image(256, 64);
    const std::vector<Stroke> strokes = logoStrokes();
    const double halfWidth = 2.6;
    constexpr int samples = 8;
    for (int row = 0; row < image.height; ++row) {
        for (int col = 0; col < image.width; ++col) {
            int covered = 0;
            for (int sy = 0; sy < samples; ++sy) {
                for (int sx = 0; sx < samples; ++sx) {
                    const double px = col + (sx + 0.5) / samples;
                    const double py = row + (sy + 0.5) / samples;
                    for (const Stroke& k : strokes) {
                        if (segmentDistance(px, py, k.ax, k.ay, k.bx, k.by) <= halfWidth) {
                            ++covered;
                            break;
                        }
                    }
                }
            }
            image.pixels[size_t(row) * image.width + col] =
                (unsigned char)std::lround(255.0 * covered / (samples * samples));
        }
    }
    return image;
}

Gray makeDiscAtlas() {
    Gray image(512, 64);
    const Shape cells[8] = {star, softSpot, ring, swirl, pinwheel, secondSpot, spiralRing, tightSpiral};
    for (int i = 0; i < 8; ++i) paintCell(image, 64 * i, 64, cells[i]);
    return image;
}

// Application markers besides JFIF's APP0: an XMP packet (APP1), a Photoshop IPTC caption (APP13),
// and an Adobe marker (APP14). The decoder reads APP0 and APP14 and skips the others.
void writeExtraMarkers(jpeg_compress_struct& cinfo, const std::string& title) {
    std::string xmp("http://ns.adobe.com/xap/1.0/", 29);
    xmp += "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/"
           "22-rdf-syntax-ns#'><rdf:Description xmlns:dc='http://purl.org/dc/elements/1.1/'>"
           "<dc:title>" + title + "</dc:title></rdf:Description></rdf:RDF></x:xmpmeta>";
    jpeg_write_marker(&cinfo, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(xmp.data()),
                      unsigned(xmp.size()));

    std::string iptc;
    iptc += "\x1c\x02\x78";  // record 2, dataset 120: caption
    iptc += char(title.size() >> 8);
    iptc += char(title.size() & 0xff);
    iptc += title;
    std::string photoshop("Photoshop 3.0", 14);
    photoshop += "8BIM";
    photoshop += std::string("\x04\x04\x00\x00", 4);  // resource 0x0404 (IPTC), empty name
    const uint32_t size = uint32_t(iptc.size());
    photoshop += char(size >> 24);
    photoshop += char((size >> 16) & 0xff);
    photoshop += char((size >> 8) & 0xff);
    photoshop += char(size & 0xff);
    photoshop += iptc;
    if (iptc.size() % 2) photoshop += '\0';
    jpeg_write_marker(&cinfo, JPEG_APP0 + 13, reinterpret_cast<const JOCTET*>(photoshop.data()),
                      unsigned(photoshop.size()));

    // "Adobe", version 100, flags 0 and 0, transform 0 (no colour transform).
    const JOCTET adobe[12] = {'A', 'd', 'o', 'b', 'e', 0, 100, 0, 0, 0, 0, 0};
    jpeg_write_marker(&cinfo, JPEG_APP0 + 14, adobe, sizeof adobe);
}

// Baseline grayscale JFIF with a restart marker after every row of 8 x 8 blocks.
bool writeJpeg(const Gray& image, const std::string& path, const std::string& title) {
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    jpeg_stdio_dest(&cinfo, file);
    cinfo.image_width = JDIMENSION(image.width);
    cinfo.image_height = JDIMENSION(image.height);
    cinfo.input_components = 1;
    cinfo.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 92, TRUE);
    cinfo.restart_interval = unsigned(image.width / 8);
    cinfo.write_JFIF_header = TRUE;
    jpeg_start_compress(&cinfo, TRUE);
    writeExtraMarkers(cinfo, title);
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(&image.pixels[size_t(cinfo.next_scanline) * image.width]);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return std::fclose(file) == 0;
}

// ---- Icon: two 16-colour images (32 x 32 and 16 x 16), BMP-in-ICO with an AND mask. ----

// The standard 16-colour palette, as R, G, B.
const unsigned char vgaPalette[16][3] = {
    {0, 0, 0},       {128, 0, 0},   {0, 128, 0},   {128, 128, 0}, {0, 0, 128},   {128, 0, 128},
    {0, 128, 128},   {192, 192, 192}, {128, 128, 128}, {255, 0, 0}, {0, 255, 0},  {255, 255, 0},
    {0, 0, 255},     {255, 0, 255}, {0, 255, 255}, {255, 255, 255}};
enum : int { black = 0, navy = 4, purple = 5, yellow = 11, blue = 12, magenta = 13, cyan = 14, white = 15 };

// Palette index of the kaleidoscope motif at (x, y) in -1..1 (y up), or -1 where transparent.
int iconColour(double x, double y, bool small) {
    const double r = std::hypot(x, y);
    if (r > 1) return -1;
    if (r > 0.86) return navy;
    // Six mirrored wedges: fold the angle into the first half wedge (0 to 30 degrees).
    const double wedge = pi / 3;
    const double full = std::atan2(y, x) + pi;
    double a = std::fmod(full, wedge);
    if (a > wedge / 2) a = wedge - a;
    const double u = r * std::cos(a), v = r * std::sin(a);
    if (r < 0.17) return white;
    // A petal along every wedge line and a dot on every half-wedge line between them.
    const double pu = (u - 0.5) / 0.33, pv = v / (small ? 0.16 : 0.12);
    if (pu * pu + pv * pv < 1) return yellow;
    const double du = u - 0.66 * std::cos(wedge / 2), dv = v - 0.66 * std::sin(wedge / 2);
    if (std::hypot(du, dv) < (small ? 0.13 : 0.1)) return small ? magenta : cyan;
    return int(full / (wedge / 2)) % 2 ? blue : purple;
}

void put16(std::string& out, unsigned v) {
    out += char(v & 0xff);
    out += char((v >> 8) & 0xff);
}
void put32(std::string& out, uint32_t v) {
    put16(out, v & 0xffff);
    put16(out, v >> 16);
}

// One icon image: BITMAPINFOHEADER, palette, 4-bit colour rows and 1-bit mask rows, both bottom-up.
std::string iconImage(int size) {
    const int xorStride = (size * 4 + 31) / 32 * 4;
    const int andStride = (size + 31) / 32 * 4;
    std::string out;
    put32(out, 40);
    put32(out, uint32_t(size));
    put32(out, uint32_t(size * 2));  // colour and mask together
    put16(out, 1);
    put16(out, 4);
    put32(out, 0);
    put32(out, uint32_t((xorStride + andStride) * size));
    for (int i = 0; i < 4; ++i) put32(out, 0);
    for (const auto& c : vgaPalette) {
        out += char(c[2]);
        out += char(c[1]);
        out += char(c[0]);
        out += '\0';
    }
    std::vector<int> colours(size_t(size) * size);
    for (int row = 0; row < size; ++row) {
        for (int col = 0; col < size; ++col) {
            const double x = (col + 0.5) / size * 2 - 1;
            const double y = 1 - (row + 0.5) / size * 2;
            colours[size_t(row) * size + col] = iconColour(x, y, size < 32);
        }
    }
    for (int row = size - 1; row >= 0; --row) {
        std::string line(size_t(xorStride), '\0');
        for (int col = 0; col < size; ++col) {
            const int c = colours[size_t(row) * size + col];
            const unsigned nibble = c < 0 ? unsigned(black) : unsigned(c);
            line[size_t(col / 2)] = char(line[size_t(col / 2)] | (col % 2 ? nibble : nibble << 4));
        }
        out += line;
    }
    for (int row = size - 1; row >= 0; --row) {
        std::string line(size_t(andStride), '\0');
        for (int col = 0; col < size; ++col) {
            if (colours[size_t(row) * size + col] < 0)
                line[size_t(col / 8)] = char(line[size_t(col / 8)] | (0x80 >> (col % 8)));
        }
        out += line;
    }
    return out;
}

bool writeIcon(const std::string& path) {
    const int sizes[2] = {32, 16};
    const std::string images[2] = {iconImage(sizes[0]), iconImage(sizes[1])};
    std::string out;
    put16(out, 0);
    put16(out, 1);  // icon
    put16(out, 2);
    uint32_t offset = 6 + 16 * 2;
    for (int i = 0; i < 2; ++i) {
        const std::string& image = images[i];
        out += char(sizes[i]);
        out += char(sizes[i]);
        out += char(16);  // colours
        out += '\0';
        put16(out, 1);  // planes
        put16(out, 4);  // bits per pixel
        put32(out, uint32_t(image.size()));
        put32(out, offset);
        offset += uint32_t(image.size());
    }
    for (const std::string& image : images) out += image;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = std::fwrite(out.data(), 1, out.size(), file) == out.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : ".";
    bool ok = writeJpeg(makeDiscAtlas(), dir + "/discs_mask.jpg", "Quillon disc atlas");
    ok = writeJpeg(makeLogo(), dir + "/logo_mask.jpg", "Quillon logo") && ok;
    ok = writeIcon(dir + "/quillon.ico") && ok;
    if (!ok) std::fprintf(stderr, "make_images: could not write the images to %s\n", dir.c_str());
    return ok ? 0 : 1;
}
