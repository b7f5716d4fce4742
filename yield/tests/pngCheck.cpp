// devuzeV7-png-check: says whether a picture shows something. Decodes a PNG with libpng and
// prints its size, the number of distinct colours, the share of pixels that differ from the most
// common colour (the background) and the standard deviation of the grey level; fails when the
// picture has fewer than MIN_COLOURS colours or less than MIN_INK of its pixels off the background.
// Usage: devuzeV7-png-check FILE [MIN_COLOURS [MIN_INK]]   (defaults 8 and 0.005)
#include <png.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s FILE [MIN_COLOURS [MIN_INK]]\n", argv[0]);
        return 2;
    }
    long minColours = argc > 2 ? std::strtol(argv[2], nullptr, 10) : 8;
    double minInk = argc > 3 ? std::strtod(argv[3], nullptr) : 0.005;

    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, argv[1])) {
        std::fprintf(stderr, "%s: %s\n", argv[1], image.message);
        return 2;
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) {
        std::fprintf(stderr, "%s: %s\n", argv[1], image.message);
        return 2;
    }
    std::map<unsigned, long long> colours;
    double sum = 0, squares = 0;
    size_t count = static_cast<size_t>(image.width) * image.height;
    for (size_t i = 0; i < count; ++i) {
        const png_byte* p = &pixels[i * 3];
        ++colours[(unsigned{p[0]} << 16) | (unsigned{p[1]} << 8) | p[2]];
        double grey = 0.299 * p[0] + 0.587 * p[1] + 0.114 * p[2];
        sum += grey;
        squares += grey * grey;
    }
    long long background = 0;
    for (const auto& kv : colours) background = std::max(background, kv.second);
    double n = static_cast<double>(count);
    double mean = sum / n;
    double stddev = std::sqrt(std::max(0.0, squares / n - mean * mean));
    double ink = count ? 1.0 - static_cast<double>(background) / n : 0;
    std::printf("%s: %ux%u, %zu colours, %.2f%% off the background, grey stddev %.1f\n", argv[1],
                image.width, image.height, colours.size(), ink * 100, stddev);
    if (count == 0 || static_cast<long>(colours.size()) < minColours || ink < minInk) {
        std::fprintf(stderr, "%s: the picture is blank or nearly so\n", argv[1]);
        return 1;
    }
    return 0;
}
