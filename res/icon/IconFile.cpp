#include "res/icon/IconFile.h"

#include <cstdint>
#include <fstream>
#include <vector>

#include "res/icon/IconDesign.h"

namespace tessaly {

namespace {

void PutLe(std::vector<std::uint8_t>& out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// One image of an icon file: a bottom-up 32-bit DIB (its height counts the
// colour rows and the mask rows) followed by an all-clear AND mask, since
// the alpha channel carries the shape.
std::vector<std::uint8_t> IconImage(int size) {
    const std::vector<std::uint8_t> rgba = IconRgba(size);
    const auto side = static_cast<std::uint32_t>(size);
    const std::uint32_t maskRowBytes = ((side + 31) / 32) * 4;
    std::vector<std::uint8_t> image;
    PutLe(image, 40, 4);  // BITMAPINFOHEADER
    PutLe(image, side, 4);
    PutLe(image, side * 2, 4);
    PutLe(image, 1, 2);   // planes
    PutLe(image, 32, 2);  // bits per pixel
    PutLe(image, 0, 4);   // no compression
    PutLe(image, side * side * 4 + maskRowBytes * side, 4);
    for (int i = 0; i < 4; ++i) PutLe(image, 0, 4);
    for (int y = size - 1; y >= 0; --y) {
        for (int x = 0; x < size; ++x) {
            const std::uint8_t* pixel = &rgba[(static_cast<size_t>(y) * size + x) * 4];
            image.insert(image.end(), {pixel[2], pixel[1], pixel[0], pixel[3]});
        }
    }
    image.insert(image.end(), maskRowBytes * side, 0);
    return image;
}

}  // namespace

bool WriteIconFile(const std::string& path, std::initializer_list<int> sizes) {
    std::vector<std::vector<std::uint8_t>> images;
    for (const int size : sizes) images.push_back(IconImage(size));
    std::vector<std::uint8_t> file;
    PutLe(file, 0, 2);  // reserved
    PutLe(file, 1, 2);  // an icon, not a cursor
    PutLe(file, static_cast<std::uint32_t>(images.size()), 2);
    std::uint32_t offset = 6 + 16 * static_cast<std::uint32_t>(images.size());
    auto size = sizes.begin();
    for (const auto& image : images) {
        const auto side = static_cast<std::uint32_t>(*size++);
        PutLe(file, side >= 256 ? 0 : side, 1);  // 0 stands for 256
        PutLe(file, side >= 256 ? 0 : side, 1);
        PutLe(file, 0, 1);  // no palette
        PutLe(file, 0, 1);
        PutLe(file, 1, 2);  // planes
        PutLe(file, 32, 2);
        PutLe(file, static_cast<std::uint32_t>(image.size()), 4);
        PutLe(file, offset, 4);
        offset += static_cast<std::uint32_t>(image.size());
    }
    for (const auto& image : images) file.insert(file.end(), image.begin(), image.end());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
    return static_cast<bool>(out);
}

}  // namespace tessaly
