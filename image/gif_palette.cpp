#include "image/gif_palette.h"

#include <algorithm>
#include <cmath>

namespace hybridsim {
namespace {

// a component in [0, 1] as 0..255, rounded as shape_view.js's cssColor
// rounds it (half up), whatever lies outside [0, 1]
std::uint32_t component(double v)
{
    const double scaled = std::floor(v * 255.0 + 0.5);
    if (!(scaled > 0.0)) return 0;  // not a number too
    return scaled >= 255.0 ? 255u : static_cast<std::uint32_t>(scaled);
}

constexpr std::uint32_t seenMark = 1u << 24;
// places in a record's header (drawing/shape_buffer.h): its red, green and
// blue, and whether it is lit
constexpr std::size_t redField = 1;
constexpr std::size_t litField = 6;

}  // namespace

std::vector<std::uint32_t> pictureColours(const ShapeBuffer& picture)
{
    std::vector<std::uint32_t> colours{pageBackground};
    const std::vector<double>& data = picture.data();
    const std::size_t header = ShapeBuffer::headerSize;
    std::size_t i = 0;
    while (i + header <= data.size() && colours.size() < paletteMostColours) {
        const double* rgb = &data[i + redField];
        const std::uint32_t c = data[i + litField] != 0.0
                                    ? pageLitColour
                                    : (component(rgb[0]) << 16) | (component(rgb[1]) << 8) | component(rgb[2]);
        if (std::find(colours.begin(), colours.end(), c) == colours.end()) colours.push_back(c);
        const std::size_t n = static_cast<std::size_t>(data[i + ShapeBuffer::countField]);
        i += header + (data[i] == ShapeBuffer::textKind ? ShapeBuffer::textFields : 2 * n);
    }
    return colours;
}

NearestColour::NearestColour(std::vector<std::uint32_t> palette)
    : palette_(std::move(palette)), seen_(memorySize, 0), nearest_(memorySize, 0)
{
    if (palette_.empty()) palette_.push_back(pageBackground);
    for (std::uint32_t& c : palette_) c &= 0xFFFFFF;
}

std::uint32_t NearestColour::search(std::uint32_t rgb) const
{
    const int r = static_cast<int>(rgb >> 16);
    const int g = static_cast<int>((rgb >> 8) & 0xFF);
    const int b = static_cast<int>(rgb & 0xFF);
    std::uint32_t best = palette_.front();
    int bestDistance = -1;
    for (std::uint32_t c : palette_) {
        const int dr = r - static_cast<int>(c >> 16);
        const int dg = g - static_cast<int>((c >> 8) & 0xFF);
        const int db = b - static_cast<int>(c & 0xFF);
        const int d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            bestDistance = d;
            best = c;
            if (d == 0) break;
        }
    }
    return best;
}

std::uint32_t NearestColour::operator()(std::uint32_t rgb)
{
    rgb &= 0xFFFFFF;
    const std::size_t at = ((rgb * 2654435761u) >> 18) & (memorySize - 1);
    if (seen_[at] != (rgb | seenMark)) {
        seen_[at] = rgb | seenMark;
        nearest_[at] = search(rgb);
    }
    return nearest_[at];
}

void NearestColour::reduce(const unsigned char* rgba, std::size_t pixels, unsigned char* rgb)
{
    // runs of one colour are the rule: the last pixel's answer is kept
    std::uint32_t last = seenMark;  // no colour
    std::uint32_t answer = 0;
    for (std::size_t k = 0; k < pixels; ++k, rgba += 4, rgb += 3) {
        const std::uint32_t c = (std::uint32_t{rgba[0]} << 16) | (std::uint32_t{rgba[1]} << 8) | rgba[2];
        if (c != last) {
            last = c;
            answer = (*this)(c);
        }
        rgb[0] = static_cast<unsigned char>(answer >> 16);
        rgb[1] = static_cast<unsigned char>(answer >> 8);
        rgb[2] = static_cast<unsigned char>(answer);
    }
}

}  // namespace hybridsim
