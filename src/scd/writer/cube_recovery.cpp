#include "scd/writer/cube_recovery.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>

#include "api/sample_buffer.h"

#include "sc_api/sc_spectrum_reader.h"
#include "scd/writer/batch_encoding.h"
#include "scd/writer/raw_item_reader.h"

namespace {

// The first lines of a temporary spectrum file as the source of a batch encoding.
class TemporarySpectrumReader : public SCSpectrumReader {
  public:
    TemporarySpectrumReader(const std::string& path, const BuildJournal::Contents& cube,
                            unsigned lines)
        : items_(cube.depth), cube_(cube), lines_(lines) {
        items_.open(path);
    }

    bool isOpen() const override { return items_.isOpen(); }
    int close() override { return items_.close(); }
    int read(unsigned short* buffer, unsigned count) override { return items_.read(buffer, count); }
    bool rewind() override { return items_.rewind(); }
    unsigned width() const override { return cube_.width; }
    unsigned height() const override { return cube_.height; }
    unsigned depth() const override { return cube_.depth; }
    float factor() const override { return cube_.factor; }
    unsigned acquiredLines() const override { return lines_; }

  private:
    RawItemReader items_;          // the temporary spectrum file
    BuildJournal::Contents cube_;  // dimensions and factor
    unsigned lines_;               // lines to code
};

// Whole lines of `lineBytes` bytes in the file `path` (0 when it is missing).
std::uint64_t wholeLinesIn(const std::string& path, std::uint64_t lineBytes) {
    SystemInputFileStream file(path);
    const std::uint64_t size = file.isOpen() ? file.size() : 0;
    if (size == FileStream::INVALID_POSITION) {
        return 0;
    }
    return lineBytes == 0 ? UINT64_MAX : size / lineBytes;
}

// Whether the journal's dimensions are those of the builder's temporary image file, which the
// builder sized to the whole cube (width x height x depth 16-bit values) when it started. The
// file holds no line the recovery needs, but it is the one witness of the dimensions: a journal
// that disagrees with it is damaged, and coding by its dimensions would lose or invent data.
// A missing file (the builder died before making it, or while removing its temporaries) says
// nothing either way.
bool imageFileMatches(const std::string& name, const BuildJournal::Contents& cube) {
    SystemInputFileStream file(temporaryImagePath(name));
    if (!file.isOpen()) {
        return true;
    }
    const std::optional<std::uint64_t> values =
        checkedProduct(std::uint64_t{cube.width} * cube.height, cube.depth);
    return values && file.size() == *values * sizeof(unsigned short);
}

// Whether the temporary spectrum file holds no more than `height` lines of `lineBytes` bytes, as
// the builder appends them: more data than the journal's cube can hold means a damaged journal.
bool spectrumFileFits(const std::string& name, unsigned height, std::uint64_t lineBytes) {
    SystemInputFileStream file(temporarySpectrumPath(name));
    const std::uint64_t size = file.isOpen() ? file.size() : 0;
    const std::optional<std::uint64_t> most = checkedProduct(height, lineBytes);
    return size != FileStream::INVALID_POSITION && (!most || size <= *most);
}

}  // namespace

std::string temporarySpectrumPath(const std::string& name) {
    return name + "__tmp_spectrum_file";
}

std::string temporaryImagePath(const std::string& name) {
    return name + "__tmp_image_file.raw";
}

SCErrorCode codeTemporarySpectra(const std::string& name, const BuildJournal::Contents& cube,
                                 unsigned lines) {
    const std::uint64_t lineBytes = std::uint64_t{cube.width} * cube.depth * 2;
    if (lines > cube.height || wholeLinesIn(temporarySpectrumPath(name), lineBytes) < lines) {
        return SC_FILE_ERROR;
    }
    if (!writerStateFitsInMemory(cube.width, cube.height, cube.depth)) {
        return SC_ALLOCATION_ERROR;
    }
    try {
        TemporarySpectrumReader reader(temporarySpectrumPath(name), cube, lines);
        if (!reader.isOpen()) {
            return SC_FILE_ERROR;
        }
        BatchEncoding encoding(reader, name);
        if (!encoding.isReady()) {
            return SC_FILE_ERROR;
        }
        return static_cast<SCErrorCode>(encoding.run());
    } catch (...) {
        return SC_ALLOCATION_ERROR;
    }
}

std::string temporaryImageSymbolsPath(const std::string& name) {
    return name + "__tmp_image_symbols";
}

std::string temporarySpectrumSymbolsPath(const std::string& name) {
    return name + "__tmp_spectrum_symbols";
}

std::array<std::string, 4> builderTemporaryPaths(const std::string& name) {
    return {temporarySpectrumPath(name), temporaryImagePath(name), temporaryImageSymbolsPath(name),
            temporarySpectrumSymbolsPath(name)};
}

void removeBuilderTemporaries(const std::string& name) {
    for (const std::string& path : builderTemporaryPaths(name)) {
        std::remove(path.c_str());
    }
}

int recoverSCDCube(const std::string& name) {
    BuildJournal journal(name);
    if (!journal.isOpen()) {
        return SC_FILE_ERROR;
    }
    const BuildJournal::Contents& cube = journal.contents();
    const std::uint64_t lineBytes = std::uint64_t{cube.width} * cube.depth * 2;
    if (!imageFileMatches(name, cube) || !spectrumFileFits(name, cube.height, lineBytes)) {
        return SC_FORMAT_ERROR;
    }
    // The journal is written after each line's data; without a sync before a power loss the
    // data may be shorter than it says.
    const auto lines = static_cast<unsigned>(
        std::min<std::uint64_t>(cube.lines, wholeLinesIn(temporarySpectrumPath(name), lineBytes)));
    const SCErrorCode result = codeTemporarySpectra(name, cube, lines);
    if (result != SC_OK) {
        return result;
    }
    removeBuilderTemporaries(name);
    journal.remove();
    return static_cast<int>(lines);
}
