#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

#include "codec/bit_vector.h"
#include "codec/huffman_code_book.h"
#include "io/file_stream.h"
#include "sc_api/processor.h"
#include "sc_api/sc_item_reader.h"
#include "tuplink/critical_section.h"
#include "tuplink/event.h"

// The actions of the stream-encoding pipeline (see encodeStreams): a reader that fills
// controllers with blocks of items, controllers that have their items coded by one encoder per
// item, and a writer that writes the controllers' streams in turn.
//
// A controller cycles: free -> loaded by the reader -> started once its previous streams are
// written -> coding -> encoded (the next block may be loaded while the streams wait) -> written
// by the writer -> started again if loaded. tryStart() decides the start, under one
// process-wide lock, so that the reader and the writer never both start one controller.

// One block of the pipeline: the items of the block, their coded streams, and the state that
// the reader, the writer and the encoders hand over to each other.
class Controler : public lattix::lx_tuplink::Action {
  public:
    // A controller for blocks of up to blockSize items of itemSize values, coded with `codes`
    // by encoders posted to `encoders`; check isAllocated().
    Controler(unsigned itemSize, unsigned blockSize, const HuffmanCodeBook& codes,
              lattix::lx_tuplink::Processor& encoders);

    // Whether the item buffer could be allocated.
    bool isAllocated() const { return buffer_ != nullptr; }
    unsigned blockSize() const { return blockSize_; }

    // For the reader. The item buffer: blockSize() items. Filled only between a free signal
    // and the next load().
    unsigned short* buffer() { return buffer_.get(); }
    // Blocks until the buffer may be filled (one wait per signal).
    void waitFree() { free_.wait(); }
    void signalFree() { free_.signal(); }
    // The buffer holds `count` new items.
    void load(int count);
    // Blocks until the streams of the last run have been written.
    void waitWritten();

    // For the writer. Blocks until a run's streams are ready (one wait per signal).
    void waitEncoded() { encoded_.wait(); }
    void signalEncoded() { encoded_.signal(); }
    // Streams coded by the last run, and stream i of them.
    int encodedCount() const { return encodedCount_; }
    const BitVector& stream(int i) const { return streams_[static_cast<unsigned>(i)]; }
    void setWritten();
    bool isWritten();

    // For tryStart: when a block is loaded and the previous streams are written, clears both
    // and returns true (the caller then posts the controller).
    bool takeStart();

    // For the encoders: codes item i into stream i, then counts the item as done.
    void encodeItem(unsigned i);

  protected:
    // Codes the loaded block: one encoder per item on the encoder processor, then waits for
    // them, signals encoded, then free.
    void execute() override;

  private:
    tuplink::CriticalSection lock_;             // guards loaded_ and written_
    bool loaded_ = false;                       // the buffer holds a block not yet coded
    bool written_ = true;                       // the streams of the previous run are written
    int count_ = 0;                             // items in the buffer; set by load()
    int encodedCount_ = 0;                      // items coded by the last run
    const unsigned itemSize_;                   // values per item
    const unsigned blockSize_;                  // items per block at most
    std::unique_ptr<unsigned short[]> buffer_;  // blockSize_ items
    std::vector<BitVector> streams_;            // one coded stream per item, reused
    // Per item, the codes of its symbols, kept between the two passes of the coding; reused.
    std::vector<std::vector<const HuffmanCodeBook::Code*>> codeSequences_;
    const HuffmanCodeBook* codes_;             // the cube's code table
    tuplink::Event free_;                      // the buffer may be filled
    tuplink::Event encoded_;                   // the streams are ready
    tuplink::Event writtenSignal_;             // written_ has been set
    lattix::lx_tuplink::Processor* encoders_;  // runs the encoders
    // One encoder per item of a block, made once and posted again for every block.
    std::vector<lattix::lx_tuplink::ActionRef> encoderActions_;
    std::atomic<int> itemsLeft_{0};  // encoders of the current run not yet done
    tuplink::Event itemsDone_;       // the last encoder of a run is done
};

// Codes one item of a controller's block.
class Encoder : public lattix::lx_tuplink::Action {
  public:
    Encoder(Controler& controller, unsigned item) : controller_(&controller), item_(item) {}

  protected:
    void execute() override { controller_->encodeItem(item_); }

  private:
    Controler* controller_;  // owns the item and its stream
    unsigned item_;          // position of the item in the block
};

// Starts `controller` on `pipeline` when it is loaded and written (see Controler::takeStart),
// under the process-wide start lock.
void tryStart(Controler& controller, lattix::lx_tuplink::Processor& pipeline);

using ControlerRef = tuplink::AutoRef<Controler>;

// Reads blocks of items into the controllers in turn and starts them, until the reader has
// delivered `count` items or ends. Then it marks itself finished, waits until the controller it
// stopped at has its streams written, and wakes the writer on that controller.
class ActionReader : public lattix::lx_tuplink::Action {
  public:
    ActionReader(SCItemReader& reader, unsigned count, std::vector<ControlerRef> controllers,
                 lattix::lx_tuplink::Processor& pipeline)
        : reader_(&reader),
          count_(count),
          controllers_(std::move(controllers)),
          pipeline_(&pipeline) {}

    bool isFinished() const { return finished_.load(std::memory_order_acquire); }
    // Once finished: items delivered by the item reader.
    std::uint64_t delivered() const { return delivered_.load(std::memory_order_acquire); }

  protected:
    void execute() override;

  private:
    std::atomic<bool> finished_{false};        // no more block will be loaded
    std::atomic<std::uint64_t> delivered_{0};  // items the item reader delivered
    SCItemReader* reader_;                     // the items
    unsigned count_;                           // items to deliver at most
    std::vector<ControlerRef> controllers_;    // taken in turn
    lattix::lx_tuplink::Processor* pipeline_;  // where controllers are started
};

// Writes the streams of the controllers in turn, recording each stream's offset, until the
// reader is finished and the controller at hand has nothing new. Runs on the thread that calls
// run() (the thread of encodeStreams).
class ActionWriter : public lattix::lx_tuplink::Action {
  public:
    ActionWriter(const ActionReader& reader, OutputFileStream& out,
                 std::vector<std::uint64_t>& offsets, std::vector<ControlerRef> controllers,
                 lattix::lx_tuplink::Processor& pipeline)
        : reader_(&reader),
          out_(&out),
          offsets_(&offsets),
          controllers_(std::move(controllers)),
          pipeline_(&pipeline) {
        pending_.reserve(kPendingCapacity);
    }

    // Writes every stream, then returns; the pipeline is then drained.
    void run();
    // After run(): whether a write to the output failed.
    bool failed() const { return failed_; }

    // Streams at least this long are written straight from their vector instead of being
    // gathered; gathered streams are written once they reach kFlushBytes.
    static constexpr std::uint32_t kDirectWriteBytes = 1u << 20;
    static constexpr std::size_t kFlushBytes = 4u << 20;

  protected:
    void execute() override { run(); }

  private:
    // Writes the streams of one run of `controller` and records their offsets.
    void writeStreams(const Controler& controller);
    // Writes `pending_` and empties it.
    void flush();
    // Room for what is gathered between two writes, reserved once so that gathering never
    // allocates.
    static constexpr std::size_t kPendingCapacity = kFlushBytes + kDirectWriteBytes + 4;

    // Writes bytes; false when they were not all written.
    bool writeBytes(const unsigned char* bytes, std::uint64_t count);

    const ActionReader* reader_;               // for its finished flag
    OutputFileStream* out_;                    // the data file
    std::vector<std::uint64_t>* offsets_;      // one entry per stream
    std::size_t nextOffset_ = 0;               // entry of the next stream
    std::uint64_t position_ = 0;               // position in out_ after the bytes written
    bool failed_ = false;                      // a write failed
    std::vector<unsigned char> pending_;       // streams gathered for one write
    std::vector<ControlerRef> controllers_;    // taken in turn
    lattix::lx_tuplink::Processor* pipeline_;  // where controllers are started
};
