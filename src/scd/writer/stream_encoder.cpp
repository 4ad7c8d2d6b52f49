#include "scd/writer/stream_encoder.h"

#include <algorithm>
#include <thread>

#include "codec/huffman_code_book.h"
#include "scd/writer/stream_encoder_actions.h"

namespace {

using lattix::lx_tuplink::ActionRef;
using lattix::lx_tuplink::Processor;

constexpr unsigned kBlockItems = 16;
// Largest item buffer of one controller, when items are so large that 16 would exceed it.
constexpr std::uint64_t kBlockBudgetBytes = 32u << 20;
constexpr unsigned kMostEncoderThreads = 16;
// The pipeline processor runs at most the reader and two controllers: no limit is needed.
constexpr unsigned kPipelineThreads = 0;
constexpr unsigned kControllers = 2;

// As many encoder workers as the machine runs at once, 16 at most: more would only take turns,
// at the cost of a thread switch per item.
unsigned encoderThreads() {
    return std::clamp(std::thread::hardware_concurrency(), 1u, kMostEncoderThreads);
}

unsigned blockSizeFor(unsigned itemSize) {
    const std::uint64_t itemBytes = std::uint64_t{itemSize} * sizeof(unsigned short);
    if (itemBytes == 0) {
        return kBlockItems;
    }
    return static_cast<unsigned>(
        std::clamp<std::uint64_t>(kBlockBudgetBytes / itemBytes, 1, kBlockItems));
}

}  // namespace

bool encodeStreams(SCItemReader& reader, unsigned count, std::vector<std::uint64_t>& offsets,
                   OutputFileStream& out, const SCDHeader& header) {
    offsets.assign(count, 0);
    if (count == 0) {
        return true;
    }
    const HuffmanCodeBook codes(header.codes());
    const unsigned itemSize = reader.itemSize();
    // Destroyed in reverse order: the pipeline first (a controller may still be returning),
    // then the encoders (one may still be returning), then the controllers they point to.
    std::vector<ControlerRef> controllers;
    Processor encoders(encoderThreads());
    Processor pipeline(kPipelineThreads);
    for (unsigned i = 0; i < kControllers; ++i) {
        controllers.emplace_back(new Controler(itemSize, blockSizeFor(itemSize), codes, encoders));
        if (!controllers.back()->isAllocated()) {
            return false;
        }
        controllers.back()->signalFree();
    }
    const tuplink::AutoRef<ActionReader> readerAction(
        new ActionReader(reader, count, controllers, pipeline));
    const tuplink::AutoRef<ActionWriter> writer(
        new ActionWriter(*readerAction, out, offsets, controllers, pipeline));
    pipeline.post(ActionRef(readerAction));
    writer->run();
    pipeline.wait(ActionRef(readerAction), 0);
    return !writer->failed() && readerAction->delivered() == count;
}
