#include "scd/writer/scd_multithreaded_file_builder.h"

#include <algorithm>
#include <memory>
#include <new>

#include "api/sample_buffer.h"

#include "sc_api/processor.h"
#include "sc_api/scd.h"
#include "scd/writer/batch_encoding.h"
#include "scd/writer/scd_line_actions.h"
#include "scd/writer/stream_encoder.h"

namespace {

using lattix::lx_tuplink::ActionRef;

constexpr unsigned kMostBlockLines = 32;
constexpr std::uint64_t kBlockBudgetBytes = 32u << 20;

unsigned blockLinesFor(unsigned width, unsigned depth) {
    const std::uint64_t lineBytes = std::uint64_t{width} * depth * sizeof(unsigned short);
    if (lineBytes == 0) {
        return 0;
    }
    return static_cast<unsigned>(
        std::min<std::uint64_t>(kMostBlockLines, kBlockBudgetBytes / lineBytes));
}

}  // namespace

SCDMultiThreadedFileBuilder::SCDMultiThreadedFileBuilder(const std::string& name, unsigned width,
                                                         unsigned height, unsigned depth,
                                                         float factor, unsigned syncEveryLines)
    : SCDBuilder<MultiThreadingPolicy>(name, width, height, depth, factor, syncEveryLines) {
    blockLines_ = std::min(blockLinesFor(width, depth), height);
    if (blockLines_ != 0) {
        const std::uint64_t blockValues = std::uint64_t{blockLines_} * width * depth;
        filling_ = allocateSamples<unsigned short>(blockValues);
        sent_ = allocateSamples<unsigned short>(blockValues);
        if (!filling_ || !sent_) {
            blockLines_ = 0;  // lines then go to the files one by one, unbuffered
        }
    }
}

SCDMultiThreadedFileBuilder::~SCDMultiThreadedFileBuilder() {
    // A builder given up without close() or cancel() leaves every line in the temporary files.
    if (isOpen()) {
        finishLines(false);
    }
    waitForBlock();
}

SCErrorCode SCDMultiThreadedFileBuilder::addSpectrumLine(const unsigned short* line) {
    const SCErrorCode taken = takesLines();
    if (taken != SC_OK) {
        return taken;
    }
    if (linesAdded() >= height()) {
        return SC_OUT_OF_RANGE;
    }
    const std::uint64_t lineValues = std::uint64_t{width()} * depth();
    // On disk before the call returns, whatever is buffered for counting: a process that dies
    // later loses no line it was told was taken (see recoverSCDCube).
    const std::uint64_t lineBytes = lineValues * sizeof(unsigned short);
    const SCErrorCode stored =
        lineStored(spectrumFile().writeAt(line, lineBytes, linesAdded() * lineBytes));
    if (stored != SC_OK) {
        return stored;
    }
    try {
        if (blockLines_ == 0) {
            // Unbuffered: the line is a block of its own, done before returning.
            waitForBlock();
            const LineBlock block{line, 1, width(), depth(), &writeError_, &keptSymbols()};
            lattix::lx_tuplink::ActionList actions;
            actions.add(ActionRef(new LineBlockSpectraAction(block, counts())));
            actions.add(ActionRef(new LineBlockImagesAction(block, imageFile(), accumulator())));
            SCD::getProcessor().post(actions);
            actions.wait(SCD::getProcessor(), 0);
        } else {
            std::copy_n(line, lineValues, filling_.get() + fillingLines_ * lineValues);
            ++fillingLines_;
            if (fillingLines_ == blockLines_) {
                sendBlock();
            }
        }
    } catch (const std::bad_alloc&) {
        imageCopyFailed();
    }
    // The line is stored whatever happens to the copies made for counting: when one of them
    // fails, close() codes the cube from the stored spectra instead, and nothing is lost.
    if (writeError_.load() != SC_OK) {
        imageCopyFailed();
    }
    return SC_OK;
}

void SCDMultiThreadedFileBuilder::sendBlock() {
    waitForBlock();
    if (fillingLines_ == 0) {
        return;
    }
    std::swap(filling_, sent_);
    const LineBlock block{sent_.get(), fillingLines_, width(),
                          depth(),     &writeError_,  &keptSymbols()};
    fillingLines_ = 0;
    sentActions_.add(ActionRef(new LineBlockSpectraAction(block, counts())));
    sentActions_.add(ActionRef(new LineBlockImagesAction(block, imageFile(), accumulator())));
    SCD::getProcessor().post(sentActions_);
}

void SCDMultiThreadedFileBuilder::waitForBlock() {
    if (!sentActions_.empty()) {
        sentActions_.wait(SCD::getProcessor(), 0);
        sentActions_.clear();
    }
}

void SCDMultiThreadedFileBuilder::finishLines(bool discard) {
    if (discard) {
        fillingLines_ = 0;
    }
    sendBlock();
    waitForBlock();
    if (writeError_.load() != SC_OK) {
        imageCopyFailed();  // close() then codes the stored lines from their spectra
    }
}

SCErrorCode SCDMultiThreadedFileBuilder::computeRoiImage(unsigned first, unsigned count,
                                                         unsigned short* out) {
    waitForBlock();
    return imageFile().computeRoiImage(first, count, out, filling_.get(), fillingLines_);
}

bool SCDMultiThreadedFileBuilder::encodeItems(SCItemReader& reader, unsigned count,
                                              std::vector<std::uint64_t>& offsets,
                                              OutputFileStream& out) {
    return encodeStreams(reader, count, offsets, out, header());
}

SharedPtr<SCFileBuilder, SCDeleteFileBuilder> makeSCDBuilder(const std::string& name,
                                                             unsigned width, unsigned height,
                                                             unsigned depth, float factor,
                                                             unsigned syncEveryLines) {
    using BuilderPtr = SharedPtr<SCFileBuilder, SCDeleteFileBuilder>;
    if (!writerStateFitsInMemory(width, height, depth)) {
        return BuilderPtr();
    }
    try {
        auto builder = std::make_unique<SCDMultiThreadedFileBuilder>(name, width, height, depth,
                                                                     factor, syncEveryLines);
        if (!builder->isOpen()) {
            return BuilderPtr();
        }
        return BuilderPtr(builder.release());
    } catch (...) {
        return BuilderPtr();
    }
}
