// encode_frames.cpp -- encodes fixed frames with the capture's PNG and Y4M writers, for comparing processors
//
// encode_frames DOCS_DIR OUT_DIR reads the README's three frames, turns each into
// what the GL reads back (RGBA, bottom row first), and writes OUT_DIR/frame-NNNNNN.png
// with the fast encoder and OUT_DIR/frames.y4m with all three. tools/cross-checks.sh
// builds it for each processor and compares the files' hashes: the encoders'
// byte-order and vector paths must give the same bytes everywhere.
#include <png.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "capture/png_writer.h"
#include "capture/y4m_writer.h"

namespace {

const char* const frame_names[] = {"frame-000200.png", "frame-000500.png", "frame-000672.png"};

bool write_file(const std::string& path, const std::uint8_t* data, std::size_t size)
{
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        return false;
    }
    const bool written = std::fwrite(data, 1, size, file) == size;
    return std::fclose(file) == 0 && written;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: encode_frames DOCS_DIR OUT_DIR\n");
        return 2;
    }
    const std::string docs = argv[1];
    const std::string out = argv[2];
    std::string y4m;
    std::vector<std::uint8_t> png;
    for (const char* name : frame_names) {
        const std::string path = docs + "/" + name;
        png_image image{};
        image.version = PNG_IMAGE_VERSION;
        if (!png_image_begin_read_from_file(&image, path.c_str())) {
            std::fprintf(stderr, "encode_frames: cannot read '%s': %s\n", path.c_str(), image.message);
            return 1;
        }
        image.format = PNG_FORMAT_RGBA;
        const int width = static_cast<int>(image.width);
        const int height = static_cast<int>(image.height);
        std::vector<std::uint8_t> rgba(PNG_IMAGE_SIZE(image));
        // A negative stride stores the top row last, as the GL does.
        if (!png_image_finish_read(&image, nullptr, rgba.data(), -width * 4, nullptr)) {
            std::fprintf(stderr, "encode_frames: cannot decode '%s': %s\n", path.c_str(), image.message);
            return 1;
        }

        const std::size_t size = encode_png(rgba.data(), width, height, png_compression_fast, &png);
        if (size == 0 || !write_file(out + "/" + name, png.data(), size)) {
            std::fprintf(stderr, "encode_frames: cannot encode or write '%s'\n", name);
            return 1;
        }

        if (y4m.empty()) {
            y4m = y4m_stream_header(width, height, 60, 1);
        }
        std::vector<std::uint8_t> yuv(y4m_frame_size(width, height));
        rgba_to_yuv420(rgba.data(), width, height, yuv.data());
        y4m.append(y4m_frame_header);
        y4m.append(reinterpret_cast<const char*>(yuv.data()), yuv.size());
    }
    if (!write_file(out + "/frames.y4m", reinterpret_cast<const std::uint8_t*>(y4m.data()), y4m.size())) {
        std::fprintf(stderr, "encode_frames: cannot write '%s/frames.y4m'\n", out.c_str());
        return 1;
    }
    return 0;
}
