#include "scd/writer/scd_multithreaded_file_builder.h"

#include <memory>

#include "sc_api/processor.h"
#include "sc_api/scd.h"
#include "scd/writer/scd_line_actions.h"
#include "scd/writer/stream_encoder.h"

namespace {

using lattix::lx_tuplink::ActionList;
using lattix::lx_tuplink::ActionRef;

// Workers that share the spectra of one line.
constexpr int kRunLengthWorkers = 8;

}  // namespace

SCDMultiThreadedFileBuilder::SCDMultiThreadedFileBuilder(const std::string& name, unsigned width,
                                                         unsigned height, unsigned depth,
                                                         float factor)
    : SCDBuilder<MultiThreadingPolicy>(name, width, height, depth, factor) {}

SCErrorCode SCDMultiThreadedFileBuilder::addSpectrumLine(const unsigned short* line) {
    if (!isOpen()) {
        return SC_FILE_ERROR;
    }
    if (linesAdded() >= height()) {
        return SC_OUT_OF_RANGE;
    }
    ItemQueue<MultiThreadingPolicy> spectra(line, depth(), width());
    ActionList actions;
    try {
        const ActionRef runLength(new RunLengthEncodingExecutorThread(spectra, counts()));
        for (int i = 0; i < kRunLengthWorkers; ++i) {
            actions.add(runLength);
        }
        actions.add(ActionRef(new LineAppenderThread(imageFile(), line)));
        actions.add(ActionRef(
            new ItemWriterThread(spectrumFile(), line, std::uint64_t{width()} * depth())));
    } catch (...) {
        return SC_WRITE_ERROR;
    }
    lattix::lx_tuplink::Processor& processor = SCD::getProcessor();
    processor.post(actions);
    try {
        accumulator().addLine(line);
    } catch (...) {
        // Out of memory while counting: the code table may lack symbols of this line, which are
        // then coded as empty streams; the actions must still be waited for.
    }
    actions.wait(processor, 0);
    countLineAdded();
    return SC_OK;
}

void SCDMultiThreadedFileBuilder::encodeItems(SCItemReader& reader, unsigned count,
                                              std::vector<std::uint64_t>& offsets,
                                              OutputFileStream& out) {
    offsets.assign(count, 0);
    if (count != 0) {
        encodeStreams(reader, count, offsets, out, header());
    }
}

SharedPtr<SCFileBuilder, SCDeleteFileBuilder> makeSCDBuilder(const std::string& name,
                                                             unsigned width, unsigned height,
                                                             unsigned depth, float factor) {
    using BuilderPtr = SharedPtr<SCFileBuilder, SCDeleteFileBuilder>;
    try {
        auto builder =
            std::make_unique<SCDMultiThreadedFileBuilder>(name, width, height, depth, factor);
        if (!builder->isOpen()) {
            return BuilderPtr();
        }
        return BuilderPtr(builder.release());
    } catch (...) {
        return BuilderPtr();
    }
}
