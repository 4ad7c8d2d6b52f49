#include "scd/writer/scd_builder.h"

#include <array>
#include <new>
#include <optional>

#include "sc_api/scd.h"
#include "scd/writer/cube_completion.h"
#include "scd/writer/cube_recovery.h"
#include "scd/writer/raw_item_reader.h"
#include "scd/writer/stream_encoder.h"
#include "scd/writer/temporary_file_removal.h"

template <class ThreadingPolicy>
SCDBuilder<ThreadingPolicy>::SCDBuilder(const std::string& name, unsigned width, unsigned height,
                                        unsigned depth, float factor, unsigned syncEveryLines)
    : name_(name),
      journal_(name, BuildJournal::Contents{width, height, depth, factor, 0}),
      syncEveryLines_(syncEveryLines),
      header_(width, height, depth, 0, factor),
      // Without the journal's lock another builder may own the temporaries: touch none of them.
      imageFile_(journal_.isOpen() ? temporaryImagePath(name) : std::string(), width, height, depth,
                 factor),
      accumulator_(width, height, depth, counts_),
      imageSymbols_(journal_.isOpen() ? temporaryImageSymbolsPath(name) : std::string(), depth),
      spectrumSymbols_(journal_.isOpen() ? temporarySpectrumSymbolsPath(name) : std::string()) {
    if (!journal_.isOpen()) {
        return;
    }
    kept_.images = &imageSymbols_;
    kept_.intact = imageSymbols_.isOpen();
    kept_.spectra = &spectrumSymbols_;
    kept_.spectraIntact = spectrumSymbols_.isOpen();
    open_ = imageFile_.isOpen() && openEmptyOutput(spectrumFile_, temporarySpectrumPath(name));
    if (!open_) {
        finish();
    }
}

template <class ThreadingPolicy>
SCDBuilder<ThreadingPolicy>::~SCDBuilder() = default;

template <class ThreadingPolicy>
SCErrorCode SCDBuilder<ThreadingPolicy>::takesLines() const {
    if (!open_ || stage_ == Stage::kCoding) {
        return SC_FILE_ERROR;
    }
    return stage_ == Stage::kLineFailed ? SC_WRITE_ERROR : SC_OK;
}

template <class ThreadingPolicy>
SCErrorCode SCDBuilder<ThreadingPolicy>::lineStored(bool stored) {
    const unsigned lines = linesAdded_ + 1;
    const bool sync = syncEveryLines_ != 0 && lines % syncEveryLines_ == 0;
    if (stored && sync) {
        stored = spectrumFile_.sync();
    }
    if (!stored || !journal_.recordLines(lines, sync)) {
        stage_ = Stage::kLineFailed;
        return SC_WRITE_ERROR;
    }
    linesAdded_ = lines;
    return SC_OK;
}

template <class ThreadingPolicy>
SCErrorCode SCDBuilder<ThreadingPolicy>::close() {
    if (!open_) {
        return SC_FILE_ERROR;
    }
    SCErrorCode result = SC_OK;
    try {
        finishLines(false);
        if (stage_ == Stage::kLineFailed) {
            // The counts and the image file may hold part of the failed line: code the lines
            // stored before it from their spectra alone.
            result = codeTemporarySpectra(name_, journal_.contents(), linesAdded_);
        } else {
            if (stage_ == Stage::kTakingLines) {
                header_.setAcquiredLines(linesAdded_);
                openRuns_ = accumulator_.openRuns();
                missingZeros_ = accumulator_.missingZeros();
                accumulator_.finish();
                buildCodeTable(counts_, header_);
                stage_ = Stage::kCoding;
            }
            result = completeCube();
        }
    } catch (const std::bad_alloc&) {
        result = SC_ALLOCATION_ERROR;
    }
    if (result == SC_OK) {
        finish();
    }
    return result;
}

template <class ThreadingPolicy>
SCErrorCode SCDBuilder<ThreadingPolicy>::completeCube() {
    withdrawHeaderFile(name_);
    SCErrorCode result = encodeSpectrumFile();
    if (result == SC_OK) {
        result = encodeImageFile();
    }
    if (result == SC_OK && !writeHeaderFile(name_, header_)) {
        result = SC_WRITE_ERROR;
    }
    return result;
}

template <class ThreadingPolicy>
void SCDBuilder<ThreadingPolicy>::finish() {
    // The temporaries hold the whole cube: their names go at once, their data are freed in the
    // background.
    std::array<std::optional<TemporaryFileRemoval>, 4> removals;
    if (journal_.isOpen()) {
        const std::array<std::string, 4> paths = builderTemporaryPaths(name_);
        for (std::size_t i = 0; i < paths.size(); ++i) {
            removals[i].emplace(paths[i], true);
        }
    }
    if (spectrumFile_.isOpen()) {
        spectrumFile_.close();
    }
    imageFile_.close();
    imageSymbols_.close();
    spectrumSymbols_.close();
    if (journal_.isOpen()) {
        for (std::optional<TemporaryFileRemoval>& removal : removals) {
            removal->remove();
        }
        journal_.remove();
    }
    open_ = false;
}

template <class ThreadingPolicy>
SCErrorCode SCDBuilder<ThreadingPolicy>::cancel() {
    if (!open_) {
        return SC_FILE_ERROR;
    }
    finishLines(true);
    finish();
    return SC_OK;
}

template <class ThreadingPolicy>
SCErrorCode SCDBuilder<ThreadingPolicy>::computeRoiImage(unsigned first, unsigned count,
                                                         unsigned short* out) {
    return imageFile_.computeRoiImage(first, count, out);
}

template <class ThreadingPolicy>
SCErrorCode SCDBuilder<ThreadingPolicy>::encodeSpectrumFile() {
    const std::uint64_t spectra = std::uint64_t{header_.width()} * linesAdded_;
    if (kept_.spectraIntact.load() && spectrumSymbols_.finishWriting()) {
        SpectrumSymbolSource source(spectrumSymbols_);
        return encodeKept(source, static_cast<unsigned>(spectra), header_.spectrumOffsets(),
                          name_ + SCD::SPECTRUM_FILE_EXTENSION);
    }
    return encodeFile(temporarySpectrumPath(name_), header_.depth(), static_cast<unsigned>(spectra),
                      header_.spectrumOffsets(), name_ + SCD::SPECTRUM_FILE_EXTENSION);
}

template <class ThreadingPolicy>
SCErrorCode SCDBuilder<ThreadingPolicy>::encodeImageFile() {
    const std::uint64_t pixels = std::uint64_t{header_.width()} * header_.height();
    if (kept_.intact.load() && imageSymbols_.finishWriting()) {
        ImageSymbolSource images(imageSymbols_, accumulator_, openRuns_, missingZeros_);
        return encodeKept(images, header_.depth(), header_.imageOffsets(),
                          name_ + SCD::IMAGE_FILE_EXTENSION);
    }
    return encodeFile(temporaryImagePath(name_), static_cast<unsigned>(pixels), header_.depth(),
                      header_.imageOffsets(), name_ + SCD::IMAGE_FILE_EXTENSION);
}

template <class ThreadingPolicy>
SCErrorCode SCDBuilder<ThreadingPolicy>::encodeFile(const std::string& itemPath, unsigned itemSize,
                                                    unsigned count,
                                                    std::vector<std::uint64_t>& offsets,
                                                    const std::string& dataPath) {
    offsets.assign(count, 0);
    SystemOutputFileStream data;
    RawItemReader items(itemSize);
    if (!openEmptyOutput(data, dataPath) || !items.open(itemPath)) {
        return SC_FILE_ERROR;
    }
    const bool written = encodeItems(items, count, offsets, data);
    return written && data.close() != 0 ? SC_OK : SC_WRITE_ERROR;
}

template <class ThreadingPolicy>
SCErrorCode SCDBuilder<ThreadingPolicy>::encodeKept(SymbolStreamSource& source, unsigned count,
                                                    std::vector<std::uint64_t>& offsets,
                                                    const std::string& dataPath) {
    SystemOutputFileStream data;
    if (!openEmptyOutput(data, dataPath)) {
        offsets.assign(count, 0);
        return SC_FILE_ERROR;
    }
    const bool written = encodeSymbolStreams(source, count, offsets, data, header_);
    return written && data.close() != 0 ? SC_OK : SC_WRITE_ERROR;
}

template class SCDBuilder<MultiThreadingPolicy>;
