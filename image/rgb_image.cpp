#include "image/rgb_image.h"

#include <cstddef>

namespace hybridsim {

unsigned RgbImage::pixel(int x, int y) const
{
    if (x < 0 || y < 0 || x >= width || y >= height) return 0;
    const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
    return (unsigned(rgb[i]) << 16) | (unsigned(rgb[i + 1]) << 8) | unsigned(rgb[i + 2]);
}

}  // namespace hybridsim
