// Writes the fuzz targets' seed corpora into fuzz/corpus: JPEGs of every coding the decoder takes (and some
// it refuses), cut and bit-flipped copies of the shipped masks, the run-mode command lines and settings files
// good and damaged. Run once by hand (make_seeds SOURCE_DIR); the files are kept in the repository.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <jpeglib.h>

namespace {

using Bytes = std::vector<unsigned char>;
std::string root;

void write(const std::string& path, const Bytes& bytes) {
    std::ofstream(root + "/fuzz/corpus/" + path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                                      std::streamsize(bytes.size()));
}
void write(const std::string& path, const std::string& text) { write(path, Bytes(text.begin(), text.end())); }

Bytes read(const std::string& path) {
    std::ifstream file(root + "/" + path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
}

struct Coding {
    const char* name;
    int width, height, components;
    bool progressive, arithmetic, fullColourResolution;
    int restartRows;
};

// A smooth picture with a few hard edges, so that every coefficient band has something in it.
Bytes compress(const Coding& c) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &out, &size);
    cinfo.image_width = JDIMENSION(c.width);
    cinfo.image_height = JDIMENSION(c.height);
    cinfo.input_components = c.components;
    cinfo.in_color_space = c.components == 1 ? JCS_GRAYSCALE : c.components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 80, TRUE);
    if (c.progressive) jpeg_simple_progression(&cinfo);
    cinfo.arith_code = c.arithmetic ? TRUE : FALSE;
    cinfo.restart_in_rows = c.restartRows;
    if (c.fullColourResolution)
        for (int i = 0; i < cinfo.num_components; ++i) cinfo.comp_info[i].h_samp_factor = cinfo.comp_info[i].v_samp_factor = 1;
    jpeg_start_compress(&cinfo, TRUE);
    Bytes row(size_t(c.width) * size_t(c.components));
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = int(cinfo.next_scanline);
        for (int x = 0; x < c.width; ++x)
            for (int k = 0; k < c.components; ++k)
                row[size_t(x * c.components + k)] = (x * 255 / c.width * (k + 1) + y * 7 + ((x / 5 + y / 3) % 2) * 90) & 0xFF;
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes result(out, out + size);
    free(out);
    return result;
}

Bytes flipped(Bytes bytes, std::initializer_list<size_t> bits) {
    for (size_t bit : bits) bytes[(bit / 8) % bytes.size()] ^= static_cast<unsigned char>(1u << (bit % 8));
    return bytes;
}

void jpegSeeds() {
    const Coding codings[] = {
        {"colour", 40, 24, 3, false, false, false, 0},       {"colour-444-odd", 17, 9, 3, false, false, true, 0},
        {"colour-restarts", 48, 32, 3, false, false, false, 1}, {"progressive", 40, 24, 3, true, false, false, 0},
        {"progressive-gray", 33, 20, 1, true, false, false, 0}, {"arithmetic", 40, 24, 3, false, true, false, 0},
        {"arithmetic-progressive-gray", 24, 16, 1, true, true, false, 2}, {"cmyk", 16, 8, 4, false, false, false, 0},
    };
    for (const Coding& c : codings) write(std::string("jpeg/") + c.name + ".jpg", compress(c));
    const Bytes discs = read("resources/discs_mask.jpg"), logo = read("resources/logo_mask.jpg");
    const Bytes colour = compress(codings[0]);
    write("jpeg/discs_mask.jpg", discs);
    write("jpeg/logo_mask.jpg", logo);
    write("jpeg/logo-cut-in-header.jpg", Bytes(logo.begin(), logo.begin() + 300));
    write("jpeg/discs-cut-in-scan.jpg", Bytes(discs.begin(), discs.begin() + discs.size() / 2));
    write("jpeg/discs-flipped-in-scan.jpg", flipped(discs, {8 * 6000 + 3, 8 * 8000 + 6, 8 * 11000 + 1}));
    write("jpeg/colour-flipped-in-tables.jpg", flipped(colour, {8 * 30 + 2, 8 * 170 + 7, 8 * 200 + 4}));
}

void commandLineSeeds() {
    const char* const lines[] = {
        "quillon", "quillon ", "quillon    ", "quillon /c", "quillon /c:1234", "quillon /c 1234", "quillon -C  ::  77",
        "quillon /s", "quillon -s", "quillon s", "quillon /S", "quillon /scr", "quillon /s 1234", "quillon /p 1234",
        "quillon /p:1234", "quillon /P1234", "quillon /l 1234", "quillon /preview 1234", "quillon /a 1234",
        "quillon /x", "quillon //s", "quillon --s", "quillon /", "quillon -",
        "\"C:\\Program Files\\Quillon\\quillon.scr\" /p 42", "C:\\Program Files\\Quillon\\quillon.scr /s",
        "quillon\t/s", "\"quillon\"\t/s", "\"quillon /p 1", "quillon /p -2147483648", "quillon /p +2147483647",
        "quillon /p 99999999999999999999999", "quillon /a :: : -17x", "quillon /c   -0", "quillon /l \t12",
    };
    int n = 0;
    for (const char* line : lines) write("command_line/" + std::to_string(n++), line);
}

void settingsSeeds() {
    const std::string saver = "[Software\\Ostrel\\Lanthorn Saver]\n", system =
        "[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers]\n";
    const std::string files[] = {
        "; Quillon screen saver settings\n" + saver + "\"UseMirrors\"=dword:00000000\n",
        saver + "\"usemirrors\" = hex: 07 , 00\r\n# comment\n\"UseMirrors\"=dword:0000000G\n",
        saver + "\"UseMirrors\"=hex:00,00,00,00,01\n\"UseMirrors\"=dword:1234\n[\n\"UseMirrors\n",
        system + "\"Password Delay\"=dword:0000003c\n\"Mouse Threshold\"=hex:ff,ff,ff,ff\n\"Mute Sound\"=hex:01\n",
        system + "\"password delay\"=dword:FFFFFFFF\r\n\"Mouse Threshold\"=hex:0a,,00\n\"Mute Sound\"=\n",
        saver + system + "\"UseMirrors\"=dword:00000000\n" + saver + "\"Mouse Threshold\"=dword:00000005\n",
        saver + "\"UseMirrors\"=dword:00000000" + std::string(1, '\0') + "\n", "", "[]\n\"\"=\n",
    };
    int n = 0;
    for (const std::string& text : files) {
        write("settings/" + std::to_string(n), text);
        write("system_settings/" + std::to_string(n++), text);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds SOURCE_DIR\n");
        return 2;
    }
    root = argv[1];
    jpegSeeds();
    commandLineSeeds();
    settingsSeeds();
    return 0;
}
