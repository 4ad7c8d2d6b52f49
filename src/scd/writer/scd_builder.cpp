#include "scd/writer/scd_builder.h"

#include <cstdio>

#include "scd/writer/cube_completion.h"
#include "scd/writer/raw_item_reader.h"

namespace {

const char* const kSpectrumFileSuffix = "__tmp_spectrum_file";
const char* const kImageFileSuffix = "__tmp_image_file.raw";

}  // namespace

template <class ThreadingPolicy>
SCDBuilder<ThreadingPolicy>::SCDBuilder(const std::string& name, unsigned width, unsigned height,
                                        unsigned depth, float factor)
    : name_(name),
      header_(width, height, depth, 0, factor),
      imageFile_(name + kImageFileSuffix, width, height, depth, factor),
      accumulator_(width, height, depth, counts_) {
    // Without an image file the builder is not open and must leave nothing behind.
    if (imageFile_.isOpen()) {
        openEmptyOutput(spectrumFile_, name + kSpectrumFileSuffix);
    }
}

template <class ThreadingPolicy>
SCDBuilder<ThreadingPolicy>::~SCDBuilder() = default;

template <class ThreadingPolicy>
SCErrorCode SCDBuilder<ThreadingPolicy>::close() {
    if (!isOpen()) {
        return SC_FILE_ERROR;
    }
    try {
        finishLines(false);
        completeCube();
    } catch (...) {
        // Out of memory: the cube is incomplete, and the builder closed all the same.
        imageFile_.close();
        return SC_WRITE_ERROR;
    }
    return SC_OK;
}

template <class ThreadingPolicy>
void SCDBuilder<ThreadingPolicy>::completeCube() {
    header_.setAcquiredLines(linesAdded_);
    accumulator_.finish();
    if (spectrumFile_.isOpen()) {
        spectrumFile_.close();
    }
    imageFile_.close();
    buildCodeTable(counts_, header_);
    encodeSpectrumFile();
    encodeImageFile();
    std::remove((name_ + kSpectrumFileSuffix).c_str());
    removeTemporaryImageFile(imageFile_.path());
    writeHeaderFile(name_, header_);
}

template <class ThreadingPolicy>
SCErrorCode SCDBuilder<ThreadingPolicy>::cancel() {
    if (!isOpen()) {
        return SC_FILE_ERROR;
    }
    finishLines(true);
    if (spectrumFile_.isOpen()) {
        spectrumFile_.close();
    }
    imageFile_.close();
    removeTemporaryFiles();
    return SC_OK;
}

template <class ThreadingPolicy>
SCErrorCode SCDBuilder<ThreadingPolicy>::computeRoiImage(unsigned first, unsigned count,
                                                         unsigned short* out) {
    return imageFile_.computeRoiImage(first, count, out);
}

template <class ThreadingPolicy>
void SCDBuilder<ThreadingPolicy>::encodeSpectrumFile() {
    const std::uint64_t spectra = std::uint64_t{header_.width()} * linesAdded_;
    encodeFile(name_ + kSpectrumFileSuffix, header_.depth(), static_cast<unsigned>(spectra),
               header_.spectrumOffsets(), name_ + ".scds");
}

template <class ThreadingPolicy>
void SCDBuilder<ThreadingPolicy>::encodeImageFile() {
    const std::uint64_t pixels = std::uint64_t{header_.width()} * header_.height();
    encodeFile(name_ + kImageFileSuffix, static_cast<unsigned>(pixels), header_.depth(),
               header_.imageOffsets(), name_ + ".scdi");
}

template <class ThreadingPolicy>
void SCDBuilder<ThreadingPolicy>::encodeFile(const std::string& itemPath, unsigned itemSize,
                                             unsigned count, std::vector<std::uint64_t>& offsets,
                                             const std::string& dataPath) {
    offsets.assign(count, 0);
    SystemOutputFileStream data;
    if (!openEmptyOutput(data, dataPath)) {
        return;
    }
    RawItemReader items(itemSize);
    items.open(itemPath);
    encodeItems(items, count, offsets, data);
    items.close();
    data.close();
}

template <class ThreadingPolicy>
void SCDBuilder<ThreadingPolicy>::removeTemporaryFiles() {
    std::remove((name_ + kSpectrumFileSuffix).c_str());
    std::remove((name_ + kImageFileSuffix).c_str());
}

template class SCDBuilder<MultiThreadingPolicy>;
