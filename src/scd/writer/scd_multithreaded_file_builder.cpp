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
                                                         float factor, unsigned syncEveryLines)
    : SCDBuilder<MultiThreadingPolicy>(name, width, height, depth, factor, syncEveryLines) {}

SCErrorCode SCDMultiThreadedFileBuilder::addSpectrumLine(const unsigned short* line) {
    const SCErrorCode taken = takesLines();
    if (taken != SC_OK) {
        return taken;
    }
    if (linesAdded() >= height()) {
        return SC_OUT_OF_RANGE;
    }
    ItemQueue<MultiThreadingPolicy> spectra(line, depth(), width());
    ActionList actions;
    tuplink::AutoRef<LineAppenderThread> appender;
    tuplink::AutoRef<ItemWriterThread> writer;
    try {
        const ActionRef runLength(new RunLengthEncodingExecutorThread(spectra, counts()));
        for (int i = 0; i < kRunLengthWorkers; ++i) {
            actions.add(runLength);
        }
        appender = tuplink::AutoRef<LineAppenderThread>(new LineAppenderThread(imageFile(), line));
        writer = tuplink::AutoRef<ItemWriterThread>(
            new ItemWriterThread(spectrumFile(), line, std::uint64_t{width()} * depth()));
        actions.add(ActionRef(appender));
        actions.add(ActionRef(writer));
    } catch (...) {
        return SC_ALLOCATION_ERROR;
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
    return lineStored(appender->stored() && writer->written());
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
