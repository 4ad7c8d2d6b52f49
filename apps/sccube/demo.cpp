#include "demo.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>
#include <vector>

#include "png_writer.h"
#include "sc_api/sc_api.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::uint64_t fileBytes(const std::string& path) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

// The element lines whose ROI images the demo renders.
const char* const kRoiLines[] = {"Fe Ka", "Si Ka", "Ca Ka", "Al Ka", "Cu Ka", "O Ka"};

class Demo {
  public:
    explicit Demo(const DemoOptions& options)
        : options_(options),
          synthesizer_(options.synthesis),
          width_(options.synthesis.width),
          height_(options.synthesis.height),
          depth_(options.synthesis.channels) {}

    int run() {
        std::filesystem::create_directories(options_.outputDirectory);
        synthesise();
        const std::string vectorBase = path("eds_by_vector");
        const std::string imageBase = path("eds_by_image");
        const bool ok = writeRaw(vectorBase, SCRawHeader::RECORD_BY_VECTOR) &&
                        writeRaw(imageBase, SCRawHeader::RECORD_BY_IMAGE) &&
                        verifyRaw(vectorBase) && verifyRaw(imageBase) &&
                        renderRoiImages(vectorBase, imageBase);
        if (!ok) {
            std::printf("demo FAILED\n");
            return 1;
        }
        std::printf("\ndemo finished; files are in %s/\n", options_.outputDirectory.c_str());
        return 0;
    }

  private:
    std::string path(const std::string& name) const {
        return options_.outputDirectory + "/" + name;
    }

    std::size_t lineValues() const { return static_cast<std::size_t>(width_) * depth_; }

    void synthesise() {
        const auto start = Clock::now();
        cube_ = synthesizer_.synthesizeCube();
        std::uint64_t counts = 0;
        for (std::uint16_t value : cube_) {
            counts += value;
        }
        std::printf(
            "Synthetic energy-dispersive spectrum image: %u x %u pixels, %u channels of "
            "%.0f eV, beam %.0f keV\n",
            width_, height_, depth_, options_.synthesis.channelWidthKeV * 1000.0,
            options_.synthesis.beamEnergyKeV);
        for (const eds::Phase& phase : synthesizer_.phases()) {
            std::printf("  phase %-24s", phase.name.c_str());
            for (const eds::XRayLine& line : phase.lines) {
                std::printf(" %s", line.label.c_str());
            }
            std::printf("\n");
        }
        std::printf("  %llu counts (%.0f per pixel) synthesised in %.2f s\n\n",
                    static_cast<unsigned long long>(counts),
                    static_cast<double>(counts) / (static_cast<double>(width_) * height_),
                    secondsSince(start));
    }

    bool writeRaw(const std::string& base, SCRawHeader::StorageFormat format) {
        const char* order = format == SCRawHeader::RECORD_BY_VECTOR ? "vector" : "image";
        const auto start = Clock::now();
        SharedPtr<SCFileBuilder, SCDeleteFileBuilder> builder =
            SCRawIO::getBuilder(base, SCRawHeader(width_, height_, depth_, format));
        if (!builder) {
            std::printf("cannot create the raw cube %s\n", base.c_str());
            return false;
        }
        for (unsigned y = 0; y < height_; ++y) {
            const SCErrorCode added = builder->addSpectrumLine(cube_.data() + lineValues() * y);
            if (added != SC_OK) {
                std::printf("line %u of %s refused: %d\n", y, base.c_str(), added);
                return false;
            }
        }
        const SCErrorCode closed = builder->close();
        if (closed != SC_OK) {
            std::printf("closing %s failed: %d\n", base.c_str(), closed);
            return false;
        }
        std::printf(
            "Raw cube stored by %-6s %s.rpl + .raw (%llu bytes), built line by line in "
            "%.2f s\n",
            order, base.c_str(), static_cast<unsigned long long>(fileBytes(base + ".raw")),
            secondsSince(start));
        return true;
    }

    // Compares every spectrum and every channel image of `cube` with the source.
    bool verify(SCFile& cube, const std::string& name) {
        if (cube.width() != width_ || cube.height() != height_ || cube.depth() != depth_) {
            std::printf("%s: dimensions differ from the source\n", name.c_str());
            return false;
        }
        std::vector<unsigned short> line(lineValues());
        for (unsigned y = 0; y < height_; ++y) {
            if (cube.readSpectrums(0, y, width_, line.data()) != SC_OK ||
                !std::equal(line.begin(), line.end(), cube_.begin() + lineValues() * y)) {
                std::printf("%s: the spectra of line %u differ from the source\n", name.c_str(), y);
                return false;
            }
        }
        const std::size_t pixels = static_cast<std::size_t>(width_) * height_;
        const unsigned batch = 256;
        std::vector<unsigned short> images(pixels * batch);
        for (unsigned first = 0; first < depth_; first += batch) {
            const unsigned count = std::min(batch, depth_ - first);
            if (cube.readImages(first, count, images.data()) != SC_OK) {
                std::printf("%s: channel images from %u refused\n", name.c_str(), first);
                return false;
            }
            for (unsigned k = 0; k < count; ++k) {
                for (std::size_t p = 0; p < pixels; ++p) {
                    if (images[k * pixels + p] != cube_[p * depth_ + first + k]) {
                        std::printf("%s: channel %u differs from the source at pixel %zu\n",
                                    name.c_str(), first + k, p);
                        return false;
                    }
                }
            }
        }
        return true;
    }

    bool verifyRaw(const std::string& base) {
        const auto start = Clock::now();
        SharedPtr<SCRawFile, SCDeleteRawFile> cube = SCRawIO::openSCRawFile(base);
        if (!cube) {
            std::printf("cannot open the raw cube %s\n", base.c_str());
            return false;
        }
        if (!verify(*cube, base)) {
            return false;
        }
        std::printf(
            "Read back %s: all %u spectra and %u channel images equal the source "
            "(%.2f s)\n",
            base.c_str(), width_ * height_, depth_, secondsSince(start));
        return true;
    }

    bool renderRoiImages(const std::string& vectorBase, const std::string& imageBase) {
        SharedPtr<SCRawFile, SCDeleteRawFile> byVector = SCRawIO::openSCRawFile(vectorBase);
        SharedPtr<SCRawFile, SCDeleteRawFile> byImage = SCRawIO::openSCRawFile(imageBase);
        if (!byVector || !byImage) {
            std::printf("cannot reopen the raw cubes\n");
            return false;
        }
        std::map<std::string, double> energies;
        for (const eds::Phase& phase : synthesizer_.phases()) {
            for (const eds::XRayLine& line : phase.lines) {
                energies[line.label] = line.energyKeV;
            }
        }
        std::printf(
            "\nROI images (sum over the line's channels, +/- one peak width), written "
            "as 16-bit PNG stretched to full scale:\n");
        const std::size_t pixels = static_cast<std::size_t>(width_) * height_;
        std::vector<unsigned short> roi(pixels);
        std::vector<unsigned short> check(pixels);
        for (const char* label : kRoiLines) {
            const double energy = energies.at(label);
            const double halfWidth = eds::SpectrumImageSynthesizer::peakWidthKeV(energy);
            const unsigned first = synthesizer_.channelOf(energy - halfWidth);
            const unsigned last = synthesizer_.channelOf(energy + halfWidth);
            const unsigned count = last - first + 1;
            if (byVector->computeRoiImage(first, count, roi.data()) != SC_OK ||
                byImage->computeRoiImage(first, count, check.data()) != SC_OK || roi != check) {
                std::printf("  %s: the ROI images of the two storage orders differ\n", label);
                return false;
            }
            const unsigned short peak = *std::max_element(roi.begin(), roi.end());
            std::vector<std::uint16_t> stretched(pixels);
            for (std::size_t p = 0; p < pixels; ++p) {
                stretched[p] = static_cast<std::uint16_t>(peak == 0 ? 0 : roi[p] * 65535u / peak);
            }
            std::string file = path(std::string("roi_") + label + ".png");
            std::replace(file.begin() + static_cast<long>(options_.outputDirectory.size()),
                         file.end(), ' ', '_');
            const std::string error = writeGray16Png(file, width_, height_, stretched.data());
            if (!error.empty()) {
                std::printf("  %s: %s\n", label, error.c_str());
                return false;
            }
            std::printf("  %-6s %6.3f keV  channels %4u-%-4u  up to %5u counts  %s\n", label,
                        energy, first, last, peak, file.c_str());
        }
        return true;
    }

    DemoOptions options_;
    eds::SpectrumImageSynthesizer synthesizer_;
    unsigned width_;
    unsigned height_;
    unsigned depth_;
    std::vector<std::uint16_t> cube_;  // the source, spectrum after spectrum
};

}  // namespace

int runDemo(const DemoOptions& options) {
    return Demo(options).run();
}
