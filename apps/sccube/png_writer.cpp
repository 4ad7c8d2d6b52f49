#include "png_writer.h"

#include <png.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// Writes rows of `bytesPerRow` bytes given by `row(y)` in PNG colour type `colorType` and
// `bitDepth` bits per sample, into `path` by way of a temporary file.
template <class RowBytes>
std::string writePng(const std::string& path, unsigned width, unsigned height, int colorType,
                     int bitDepth, RowBytes row) {
    const std::string partial = path + ".partial";
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(partial.c_str(), "wb"));
    if (!file) {
        return "cannot create " + path;
    }
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        std::remove(partial.c_str());
        return "libpng could not start";
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        file.reset();
        std::remove(partial.c_str());
        return "writing " + path + " failed";
    }
    png_init_io(png, file.get());
    png_set_IHDR(png, info, width, height, bitDepth, colorType, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (unsigned y = 0; y < height; ++y) {
        png_write_row(png, row(y));
    }
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    const bool written = std::fflush(file.get()) == 0 && !std::ferror(file.get());
    file.reset();
    if (!written || std::rename(partial.c_str(), path.c_str()) != 0) {
        std::remove(partial.c_str());
        return "writing " + path + " failed";
    }
    return {};
}

}  // namespace

std::string writeGray16Png(const std::string& path, unsigned width, unsigned height,
                           const std::uint16_t* samples) {
    // PNG stores 16-bit samples most significant byte first.
    std::vector<png_byte> row(static_cast<std::size_t>(width) * 2);
    return writePng(path, width, height, PNG_COLOR_TYPE_GRAY, 16, [&](unsigned y) {
        for (unsigned x = 0; x < width; ++x) {
            const std::uint16_t value = samples[static_cast<std::size_t>(y) * width + x];
            row[2 * x] = static_cast<png_byte>(value >> 8);
            row[2 * x + 1] = static_cast<png_byte>(value & 0xff);
        }
        return row.data();
    });
}

std::string writeGray8Png(const std::string& path, unsigned width, unsigned height,
                          const std::uint8_t* samples) {
    return writePng(path, width, height, PNG_COLOR_TYPE_GRAY, 8, [&](unsigned y) {
        return const_cast<png_bytep>(samples + static_cast<std::size_t>(y) * width);
    });
}

std::string writeRgb8Png(const std::string& path, unsigned width, unsigned height,
                         const std::uint8_t* samples) {
    return writePng(path, width, height, PNG_COLOR_TYPE_RGB, 8, [&](unsigned y) {
        return const_cast<png_bytep>(samples + static_cast<std::size_t>(y) * width * 3);
    });
}

std::string readPngLuminance(const std::string& path, unsigned& width, unsigned& height,
                             std::vector<std::uint32_t>& samples) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (png_image_begin_read_from_file(&image, path.c_str()) == 0) {
        return image.message[0] != '\0' ? std::string(image.message) : "cannot read";
    }
    // Every row of a PNG holds a filter byte and at least one bit per pixel, and deflate packs
    // at most 1032 bytes into one: dimensions that the file cannot hold are refused before the
    // pixels are allocated.
    std::error_code error;
    const std::uint64_t fileBytes = std::filesystem::file_size(path, error);
    const std::uint64_t leastRowBytes = 1 + (std::uint64_t{image.width} + 7) / 8;
    if (error || std::uint64_t{image.height} * leastRowBytes / 1032 > fileBytes) {
        png_image_free(&image);
        return "damaged: " + std::to_string(image.width) + " x " + std::to_string(image.height) +
               " pixels cannot be stored in " + std::to_string(fileBytes) + " bytes";
    }
    image.format = PNG_FORMAT_RGB;
    std::vector<png_byte> pixels(std::size_t{image.width} * image.height * 3);
    if (png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr) == 0) {
        png_image_free(&image);
        return image.message;
    }
    width = image.width;
    height = image.height;
    samples.assign(static_cast<std::size_t>(width) * height, 0);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = std::uint32_t{pixels[3 * i]} + pixels[3 * i + 1] + pixels[3 * i + 2];
    }
    return {};
}
