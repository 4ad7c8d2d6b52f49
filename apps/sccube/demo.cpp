#include "demo.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <utility>
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

std::uint64_t scdBytes(const std::string& base) {
    return fileBytes(base + SCD::HEADER_EXTENSION) +
           fileBytes(base + SCD::SPECTRUM_FILE_EXTENSION) +
           fileBytes(base + SCD::IMAGE_FILE_EXTENSION);
}

bool sameBytes(const std::string& a, const std::string& b) {
    std::ifstream first(a, std::ios::binary);
    std::ifstream second(b, std::ios::binary);
    return first && second &&
           std::equal(std::istreambuf_iterator<char>(first), std::istreambuf_iterator<char>(),
                      std::istreambuf_iterator<char>(second), std::istreambuf_iterator<char>());
}

double megabytes(std::uint64_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
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
          depth_(options.synthesis.channels) {
        for (const eds::Phase& phase : synthesizer_.phases()) {
            for (const eds::XRayLine& line : phase.lines) {
                lineEnergies_[line.label] = line.energyKeV;
            }
        }
    }

    int run() {
        std::filesystem::create_directories(options_.outputDirectory);
        synthesise();
        const std::string vectorBase = path("eds_by_vector");
        const std::string imageBase = path("eds_by_image");
        const std::string builtBase = path("eds_acquired");
        const std::string convertedBase = path("eds_converted");
        const std::string tiledBase = path("eds_tiled");
        const bool ok =
            writeRaw(vectorBase, SCRawHeader::RECORD_BY_VECTOR) &&
            writeRaw(imageBase, SCRawHeader::RECORD_BY_IMAGE) && verifyRaw(vectorBase) &&
            verifyRaw(imageBase) && acquireCompressed(builtBase) &&
            convertRaw(vectorBase, convertedBase) &&
            verifyCompressed(builtBase, convertedBase, vectorBase) &&
            renderRoiImages(vectorBase, imageBase, builtBase) && acquireTiled(tiledBase) &&
            openThroughRegistry({vectorBase + ".raw", imageBase + ".raw", builtBase + ".scdh",
                                 convertedBase + ".scdh", tiledBase + ".scdh"}) &&
            checkIntegrity({builtBase, convertedBase, tiledBase}) &&
            recordEnergyScale({vectorBase, imageBase, builtBase, convertedBase, tiledBase});
        if (!ok) {
            std::printf("demo FAILED\n");
            return 1;
        }
        std::printf("\ndemo finished; files are in %s/\n", options_.outputDirectory.c_str());
        return 0;
    }

  private:
    // Stores the synthesiser's energy scale beside every cube, so that the everyday commands
    // (sccube info, spectrum, image --energy) show energies. Channel c spans c to c + 1
    // channel widths; its centre is half a width above its start.
    bool recordEnergyScale(const std::vector<std::string>& bases) const {
        SCEnergyCalibration scale;
        scale.evPerChannel = options_.synthesis.channelWidthKeV * 1000.0;
        scale.offsetEv = scale.evPerChannel / 2.0;
        for (const std::string& base : bases) {
            const SCStatus written = scale.write(base);
            if (!written.ok()) {
                std::printf("%s\n", written.message().c_str());
                return false;
            }
        }
        std::printf("\nEnergy scale (%g eV per channel) stored beside every cube as %s files\n",
                    scale.evPerChannel, SCEnergyCalibration::EXTENSION);
        return true;
    }

    std::string path(const std::string& name) const {
        return options_.outputDirectory + "/" + name;
    }

    std::size_t lineValues() const { return static_cast<std::size_t>(width_) * depth_; }
    std::size_t pixels() const { return static_cast<std::size_t>(width_) * height_; }

    // The channels of an element line: its energy plus and minus one peak width.
    std::pair<unsigned, unsigned> roiChannels(const std::string& label) const {
        const double energy = lineEnergies_.at(label);
        const double halfWidth = eds::SpectrumImageSynthesizer::peakWidthKeV(energy);
        const unsigned first = synthesizer_.channelOf(energy - halfWidth);
        const unsigned last = synthesizer_.channelOf(energy + halfWidth);
        return {first, last - first + 1};
    }

    // Writes a ROI image (width_ x height_, or the given size) as a 16-bit PNG stretched to
    // full scale; returns the peak value, or -1 on failure.
    long writeRoiPng(const std::string& file, const std::vector<unsigned short>& roi) {
        const unsigned short peak = *std::max_element(roi.begin(), roi.end());
        std::vector<std::uint16_t> stretched(roi.size());
        for (std::size_t p = 0; p < roi.size(); ++p) {
            stretched[p] = static_cast<std::uint16_t>(peak == 0 ? 0 : roi[p] * 65535u / peak);
        }
        const std::string error = writeGray16Png(file, width_, height_, stretched.data());
        if (!error.empty()) {
            std::printf("  %s\n", error.c_str());
            return -1;
        }
        return peak;
    }

    static std::string fileLabel(const std::string& label) {
        std::string name = label;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    }

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
                    static_cast<double>(counts) / static_cast<double>(pixels()),
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
            "Raw cube stored by %-6s %s.rpl + .raw (%.1f MiB), built line by line in %.2f s\n",
            order, base.c_str(), megabytes(fileBytes(base + ".raw")), secondsSince(start));
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
        const unsigned batch = 256;
        std::vector<unsigned short> images(pixels() * batch);
        for (unsigned first = 0; first < depth_; first += batch) {
            const unsigned count = std::min(batch, depth_ - first);
            if (cube.readImages(first, count, images.data()) != SC_OK) {
                std::printf("%s: channel images from %u refused\n", name.c_str(), first);
                return false;
            }
            for (unsigned k = 0; k < count; ++k) {
                for (std::size_t p = 0; p < pixels(); ++p) {
                    if (images[k * pixels() + p] != cube_[p * depth_ + first + k]) {
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
            "Read back %s: all %zu spectra and %u channel images equal the source (%.2f s)\n",
            base.c_str(), pixels(), depth_, secondsSince(start));
        return true;
    }

    // Builds the compressed cube as an acquisition would, one line at a time, and shows the
    // live ROI image of the Fe line half-way through.
    bool acquireCompressed(const std::string& base) {
        std::printf("\nCompressed (SCD) cube acquired line by line into %s.scdh/.scds/.scdi\n",
                    base.c_str());
        const auto start = Clock::now();
        SharedPtr<SCFileBuilder, SCDeleteFileBuilder> builder =
            SCD::getBuilder(base, width_, height_, depth_, 1.0f);
        if (!builder) {
            std::printf("cannot create the SCD builder %s\n", base.c_str());
            return false;
        }
        double slowestLine = 0.0;
        for (unsigned y = 0; y < height_; ++y) {
            const auto lineStart = Clock::now();
            if (builder->addSpectrumLine(cube_.data() + lineValues() * y) != SC_OK) {
                std::printf("line %u refused\n", y);
                return false;
            }
            slowestLine = std::max(slowestLine, secondsSince(lineStart));
            if (y + 1 == height_ / 2 && !showLiveRoi(*builder, y + 1)) {
                return false;
            }
        }
        const double linesTime = secondsSince(start);
        const auto closeStart = Clock::now();
        if (builder->close() != SC_OK) {
            std::printf("closing %s failed\n", base.c_str());
            return false;
        }
        std::printf(
            "  %u lines: %.2f ms per line on average, %.2f ms at most; close (Huffman code, "
            "coding of all streams) %.2f s\n",
            height_, linesTime * 1000.0 / height_, slowestLine * 1000.0, secondsSince(closeStart));
        return true;
    }

    bool showLiveRoi(SCFileBuilder& builder, unsigned linesDone) {
        const auto [first, count] = roiChannels("Fe Ka");
        std::vector<unsigned short> roi(pixels());
        if (builder.computeRoiImage(first, count, roi.data()) != SC_OK) {
            std::printf("  the live ROI image was refused\n");
            return false;
        }
        const std::string file =
            path("live_roi_Fe_Ka_after_" + std::to_string(linesDone) + "_lines.png");
        if (writeRoiPng(file, roi) < 0) {
            return false;
        }
        std::printf("  live Fe Ka ROI image after %u of %u lines: %s\n", linesDone, height_,
                    file.c_str());
        return true;
    }

    bool convertRaw(const std::string& rawBase, const std::string& scdBase) {
        const auto start = Clock::now();
        const int result = RawToSCD::encode(rawBase, scdBase);
        const double seconds = secondsSince(start);
        if (result != SC_OK) {
            std::printf("RawToSCD::encode of %s failed: %d\n", rawBase.c_str(), result);
            return false;
        }
        const std::uint64_t rawSize = fileBytes(rawBase + ".raw");
        std::printf("Raw cube %s converted with RawToSCD::encode into %s in %.2f s (%.0f MB/s)\n",
                    rawBase.c_str(), scdBase.c_str(), seconds,
                    static_cast<double>(rawSize) / 1e6 / seconds);
        return true;
    }

    bool verifyCompressed(const std::string& builtBase, const std::string& convertedBase,
                          const std::string& rawBase) {
        for (const std::string& base : {builtBase, convertedBase}) {
            const auto start = Clock::now();
            SharedPtr<SCFile, SCDeleteFile> cube(SCD::openSCD(base));
            if (!cube) {
                std::printf("cannot open the SCD cube %s\n", base.c_str());
                return false;
            }
            if (!verify(*cube, base)) {
                return false;
            }
            std::printf("Read back %s: all spectra and channel images equal the source (%.2f s)\n",
                        base.c_str(), secondsSince(start));
        }
        bool identical = true;
        for (const char* extension :
             {SCD::HEADER_EXTENSION, SCD::SPECTRUM_FILE_EXTENSION, SCD::IMAGE_FILE_EXTENSION}) {
            identical = identical && sameBytes(builtBase + extension, convertedBase + extension);
        }
        std::printf("The line builder and the batch encoder wrote %s files\n",
                    identical ? "byte-identical" : "DIFFERENT");
        const std::uint64_t raw = fileBytes(rawBase + ".raw");
        const std::uint64_t compressed = scdBytes(builtBase);
        const std::uint64_t counts16 = static_cast<std::uint64_t>(pixels()) * depth_ * 2;
        std::printf(
            "Sizes: raw %.1f MiB, compressed %.2f MiB (both views): %.1f%% of the raw file, "
            "%.1f%% of the counts as 16-bit values\n",
            megabytes(raw), megabytes(compressed), 100.0 * compressed / raw,
            100.0 * compressed / counts16);
        return identical;
    }

    bool renderRoiImages(const std::string& vectorBase, const std::string& imageBase,
                         const std::string& scdBase) {
        SharedPtr<SCRawFile, SCDeleteRawFile> byVector = SCRawIO::openSCRawFile(vectorBase);
        SharedPtr<SCRawFile, SCDeleteRawFile> byImage = SCRawIO::openSCRawFile(imageBase);
        SharedPtr<SCFile, SCDeleteFile> compressed(SCD::openSCD(scdBase));
        if (!byVector || !byImage || !compressed) {
            std::printf("cannot reopen the cubes\n");
            return false;
        }
        std::printf(
            "\nROI images (sum over the line's channels, +/- one peak width; the same from the "
            "raw and the compressed cubes), written as 16-bit PNG stretched to full scale:\n");
        std::vector<unsigned short> roi(pixels());
        std::vector<unsigned short> check(pixels());
        std::vector<unsigned short> fromScd(pixels());
        for (const char* label : kRoiLines) {
            const auto [first, count] = roiChannels(label);
            if (byVector->computeRoiImage(first, count, roi.data()) != SC_OK ||
                byImage->computeRoiImage(first, count, check.data()) != SC_OK ||
                compressed->computeRoiImage(first, count, fromScd.data()) != SC_OK ||
                roi != check || roi != fromScd) {
                std::printf("  %s: the ROI images of the cubes differ\n", label);
                return false;
            }
            const std::string file = path("roi_" + fileLabel(label) + ".png");
            const long peak = writeRoiPng(file, roi);
            if (peak < 0) {
                return false;
            }
            std::printf("  %-6s %6.3f keV  channels %4u-%-4u  up to %5ld counts  %s\n", label,
                        lineEnergies_.at(label), first, first + count - 1, peak, file.c_str());
        }
        return true;
    }

    // The tiles of the fragmented acquisition: the map cut into a 2 x 2 grid; the last tile
    // is stopped part-way, as an acquisition interrupted by the operator would be.
    std::vector<Rect> tiles() const {
        const unsigned left = width_ / 2;
        const unsigned top = height_ / 2;
        return {{0, 0, left, top},
                {left, 0, width_ - left, top},
                {0, top, left, height_ - top},
                {left, top, width_ - left, height_ - top}};
    }

    // Lines of the last tile actually acquired.
    unsigned lastTileLines() const { return (height_ - height_ / 2) * 5 / 8; }

    bool isTiledPixelAcquired(unsigned x, unsigned y) const {
        const Rect last = tiles().back();
        return x < last.x || y < last.y + lastTileLines();
    }

    // Acquires the map as a fragmented cube, tile after tile, and renders the live ROI image
    // of the Fe line after each tile.
    bool acquireTiled(const std::string& base) {
        std::printf("\nFragmented cube acquired as %zu tiles into %s.scdh + %s.1 ... %s.%zu\n",
                    tiles().size(), base.c_str(), base.c_str(), base.c_str(), tiles().size());
        const auto start = Clock::now();
        FragmentedSCDBuilder builder(base, width_, height_, depth_, 1.0f);
        const auto [first, count] = roiChannels("Fe Ka");
        std::vector<unsigned short> roi(pixels());
        const std::vector<Rect> areas = tiles();
        for (std::size_t i = 0; i < areas.size(); ++i) {
            const Rect& area = areas[i];
            if (builder.startNewArea(area) != SC_OK) {
                std::printf("  area %zu refused\n", i + 1);
                return false;
            }
            const unsigned lines = i + 1 == areas.size() ? lastTileLines() : area.height;
            std::vector<unsigned short> line(static_cast<std::size_t>(area.width) * depth_);
            for (unsigned j = 0; j < lines; ++j) {
                const std::uint16_t* source =
                    cube_.data() +
                    (static_cast<std::size_t>(area.y + j) * width_ + area.x) * depth_;
                std::copy(source, source + line.size(), line.begin());
                if (builder.addSpectrumLine(line.data()) != SC_OK) {
                    std::printf("  line %u of area %zu refused\n", j, i + 1);
                    return false;
                }
            }
            if (builder.computeRoiImage(first, count, roi.data()) != SC_OK) {
                std::printf("  live ROI image refused\n");
                return false;
            }
            const std::string file =
                path("tiled_roi_Fe_Ka_after_area_" + std::to_string(i + 1) + ".png");
            if (writeRoiPng(file, roi) < 0) {
                return false;
            }
            std::printf(
                "  area %zu at (%u, %u), %u x %u pixels, %u of %u lines; live Fe Ka ROI "
                "image: %s\n",
                i + 1, area.x, area.y, area.width, area.height, lines, area.height, file.c_str());
        }
        if (builder.close() != SC_OK) {
            std::printf("  closing the fragmented cube failed\n");
            return false;
        }
        std::printf("  acquired in %.2f s\n", secondsSince(start));
        return verifyTiled(base);
    }

    // The fragmented cube reads as one cube: acquired pixels equal the source, the pixels of
    // the unfinished tile read as not acquired and zero.
    bool verifyTiled(const std::string& base) {
        SharedPtr<SCFile, SCDeleteFile> cube(SCD::openSCD(base));
        if (!cube || cube->width() != width_ || cube->height() != height_ ||
            cube->depth() != depth_) {
            std::printf("  cannot open %s as one cube\n", base.c_str());
            return false;
        }
        std::vector<unsigned short> line(lineValues());
        for (unsigned y = 0; y < height_; ++y) {
            if (cube->readSpectrums(0, y, width_, line.data()) != SC_OK) {
                std::printf("  line %u refused\n", y);
                return false;
            }
            for (unsigned x = 0; x < width_; ++x) {
                const bool acquired = isTiledPixelAcquired(x, y);
                for (unsigned c = 0; c < depth_; ++c) {
                    const std::size_t at = static_cast<std::size_t>(x) * depth_ + c;
                    const unsigned short expected =
                        acquired ? cube_[lineValues() * y + at] : static_cast<unsigned short>(0);
                    if (line[at] != expected || cube->isAcquired(x, y) != acquired) {
                        std::printf("  pixel (%u, %u) differs from the acquisition\n", x, y);
                        return false;
                    }
                }
            }
        }
        std::printf(
            "  read back as one %u x %u cube: every acquired spectrum equals the source, "
            "the %u unacquired lines of the last tile read as not acquired\n",
            width_, height_, tiles().back().height - lastTileLines());
        return true;
    }

    // Opens every cube written through the process-wide loader registry, by file name only.
    bool openThroughRegistry(const std::vector<std::string>& files) {
        std::printf("\nOpened through the loader registry (SCIO::getSCCubeLoader):\n");
        for (const std::string& file : files) {
            SharedPtr<SCFile, SCDeleteFile> cube(SCIO::getSCCubeLoader().load(file));
            if (!cube) {
                std::printf("  %s: not opened\n", file.c_str());
                return false;
            }
            std::printf("  %-40s %u x %u x %u, format version %u\n", file.c_str(), cube->width(),
                        cube->height(), cube->depth(), cube->version());
        }
        return true;
    }

    // Checks that spectra and channel images agree in every compressed cube.
    bool checkIntegrity(const std::vector<std::string>& bases) {
        std::printf("\nIntegrity check (every spectrum against every channel image):\n");
        for (const std::string& base : bases) {
            const auto start = Clock::now();
            const bool consistent = SCD::checkIntegrity(base);
            std::printf("  %-40s %s (%.2f s)\n", base.c_str(),
                        consistent ? "consistent" : "INCONSISTENT", secondsSince(start));
            if (!consistent) {
                return false;
            }
        }
        return true;
    }

    DemoOptions options_;
    eds::SpectrumImageSynthesizer synthesizer_;
    unsigned width_;
    unsigned height_;
    unsigned depth_;
    std::map<std::string, double> lineEnergies_;  // energy of every element line, by label
    std::vector<std::uint16_t> cube_;             // the source, spectrum after spectrum
};

}  // namespace

int runDemo(const DemoOptions& options) {
    return Demo(options).run();
}
