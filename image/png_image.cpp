#include "image/png_image.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <fstream>
#include <iterator>
#include <new>

namespace hybridsim {
namespace {

// What the libpng callbacks of one encoding share.  libpng reports errors
// by longjmp; the function that calls setjmp (writePngRows) holds no object
// with a destructor, so the jump skips nothing.
struct EncodeState {
    std::vector<unsigned char>* out = nullptr;
    int level = pngLevelSmallest;
    char message[200] = "";
};

void onPngError(png_structp png, png_const_charp message)
{
    auto* state = static_cast<EncodeState*>(png_get_error_ptr(png));
    std::strncpy(state->message, message != nullptr ? message : "unknown error",
                 sizeof state->message - 1);
    state->message[sizeof state->message - 1] = '\0';
    png_longjmp(png, 1);
}

void onPngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

void onPngWrite(png_structp png, png_bytep data, png_size_t length)
{
    auto* state = static_cast<EncodeState*>(png_get_io_ptr(png));
    bool failed = false;
    try {
        state->out->insert(state->out->end(), data, data + length);
    } catch (const std::bad_alloc&) {
        failed = true;
    }
    if (failed) png_error(png, "out of memory");
}

void onPngFlush(png_structp /*png*/) {}

// Writes the header and the rows, top row first; false after a libpng error.
bool writePngRows(png_structp png, png_infop info, const RgbImage& img, EncodeState* state)
{
    if (setjmp(png_jmpbuf(png))) return false;
    png_set_write_fn(png, state, onPngWrite, onPngFlush);
    png_set_compression_level(png, state->level);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_set_IHDR(png, info, static_cast<png_uint_32>(img.width),
                 static_cast<png_uint_32>(img.height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const std::size_t stride = static_cast<std::size_t>(img.width) * 3;
    for (int y = img.height - 1; y >= 0; --y) {
        // libpng does not change the row it is given
        auto* row = const_cast<png_bytep>(img.rgb.data() + static_cast<std::size_t>(y) * stride);
        png_write_row(png, row);
    }
    png_write_end(png, info);
    return true;
}

}  // namespace

bool encodePng(const RgbImage& img, std::vector<unsigned char>& png, std::string& error, int level)
{
    png.clear();
    if (img.width <= 0 || img.height <= 0 ||
        img.rgb.size() != static_cast<std::size_t>(img.width) * img.height * 3) {
        error = "the picture is empty or its size does not match its pixels";
        return false;
    }
    EncodeState state;
    state.out = &png;
    state.level = level < 0 ? 0 : level > 9 ? 9 : level;
    png_structp p = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, onPngError, onPngWarning);
    if (p == nullptr) {
        error = "libpng cannot start an encoding";
        return false;
    }
    png_infop info = png_create_info_struct(p);
    bool ok = info != nullptr && writePngRows(p, info, img, &state);
    png_destroy_write_struct(&p, info != nullptr ? &info : nullptr);
    if (!ok) {
        error = std::string("PNG encoding failed: ") + (state.message[0] ? state.message : "libpng");
        png.clear();
    }
    return ok;
}

bool decodePng(const std::vector<unsigned char>& png, RgbImage& img, std::string& error)
{
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (png.empty() || !png_image_begin_read_from_memory(&image, png.data(), png.size())) {
        error = std::string("not a readable PNG: ") + (png.empty() ? "no data" : image.message);
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_RGB;
    const int width = static_cast<int>(image.width);
    const int height = static_cast<int>(image.height);
    std::vector<unsigned char> top(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, top.data(), 0, nullptr)) {
        error = std::string("not a readable PNG: ") + image.message;
        png_image_free(&image);
        return false;
    }
    // PNG rows run from the top, the picture's from the bottom
    img.width = width;
    img.height = height;
    img.rgb.resize(top.size());
    const std::size_t stride = static_cast<std::size_t>(width) * 3;
    for (int y = 0; y < height; ++y)
        std::memcpy(img.rgb.data() + static_cast<std::size_t>(height - 1 - y) * stride,
                    top.data() + static_cast<std::size_t>(y) * stride, stride);
    return true;
}

bool readPngFile(const std::string& path, RgbImage& img, std::string& error)
{
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        error = "cannot open '" + path + "'";
        return false;
    }
    const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(f)),
                                           std::istreambuf_iterator<char>());
    if (!decodePng(bytes, img, error)) {
        error = "'" + path + "': " + error;
        return false;
    }
    return true;
}

}  // namespace hybridsim
