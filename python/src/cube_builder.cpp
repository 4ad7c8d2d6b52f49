#include "cube_builder.h"

#include "library_error.h"
#include "sc_api/sc_raw_io.h"
#include "sc_api/scd.h"

namespace sc_api_python {
namespace {

bool endsWith(const std::string& text, const std::string& suffix) {
    return text.size() > suffix.size() &&
           text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

}  // namespace

CubeBuilder::CubeBuilder(const std::string& path, unsigned width, unsigned height, unsigned depth,
                         float factor, bool rawByImage)
    : path_(path), width_(width), height_(height), depth_(depth) {
    const bool raw = endsWith(path, ".raw") || endsWith(path, ".rpl");
    if (!raw && !endsWith(path, SCD::HEADER_EXTENSION)) {
        throw InvalidArgument("'" + path +
                              "' names no cube to build: give a .scdh file name "
                              "(compressed) or a .raw one (raw)");
    }
    const std::string base = path.substr(0, path.rfind('.'));
    if (width == 0 || height == 0 || depth == 0) {
        throw InvalidArgument("a cube needs a width, height and depth of at least 1");
    }
    if (raw) {
        if (factor != 1.0f) {
            throw InvalidArgument("a raw cube stores no scale factor: use factor=1.0");
        }
        const SCRawHeader header(
            width, height, depth,
            rawByImage ? SCRawHeader::RECORD_BY_IMAGE : SCRawHeader::RECORD_BY_VECTOR);
        builder_ = SCRawIO::getBuilder(base, header);
    } else {
        if (rawByImage) {
            throw InvalidArgument("order='image' applies to raw cubes only");
        }
        builder_ = SCD::getBuilder(base, width, height, depth, factor);
    }
    if (!builder_) {
        throw LibraryError(SC_FILE_ERROR, "cannot build the cube '" + path +
                                              "': its files cannot be created, another builder "
                                              "holds it, or it would not fit in memory");
    }
}

CubeBuilder::~CubeBuilder() {
    if (builder_) {
        builder_->cancel();
    }
}

unsigned CubeBuilder::linesAdded() const {
    std::lock_guard lock(lock_);
    return lines_;
}

bool CubeBuilder::isOpen() const {
    std::lock_guard lock(lock_);
    return static_cast<bool>(builder_);
}

void CubeBuilder::requireOpen(const char* operation) const {
    if (!builder_) {
        throw InvalidArgument(std::string("cannot ") + operation + ": the cube '" + path_ +
                              "' is already closed or cancelled");
    }
}

void CubeBuilder::addLine(const std::uint16_t* line) {
    std::lock_guard lock(lock_);
    requireOpen("add a line");
    if (lines_ == height_) {
        throw InvalidArgument("the cube '" + path_ + "' already has all its " +
                              std::to_string(height_) + " lines");
    }
    throwIfFailed(builder_->addSpectrumLine(line), "adding a line to '" + path_ + "'");
    ++lines_;
}

void CubeBuilder::roi(unsigned first, unsigned count, std::uint16_t* out) {
    std::lock_guard lock(lock_);
    requireOpen("compute a ROI image");
    if (first > depth_ || count > depth_ - first) {
        throw IndexOutOfCube("channels " + std::to_string(first) + " + " + std::to_string(count) +
                             " outside the cube's " + std::to_string(depth_) + " channels");
    }
    throwIfFailed(builder_->computeRoiImage(first, count, out),
                  "computing a ROI image of '" + path_ + "'");
}

void CubeBuilder::close() {
    std::lock_guard lock(lock_);
    requireOpen("close");
    const int result = builder_->close();
    builder_.release();
    throwIfFailed(result, "closing '" + path_ + "'");
}

void CubeBuilder::cancel() {
    std::lock_guard lock(lock_);
    if (builder_) {
        builder_->cancel();
        builder_.release();
    }
}

}  // namespace sc_api_python
