#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "codec/huffman_decoding_table.h"
#include "io/file_stream.h"
#include "sc_api/processor.h"
#include "sc_api/sc_file.h"
#include "scd/format/scd_header.h"
#include "scd/reader/coded_stream_reader.h"

// The reader of a simple SCD cube: N + ".scdh" (dimensions, factor, the offset of every coded
// stream, the code table), N + ".scds" (one coded stream per stored pixel) and N + ".scdi" (one
// per channel image). The header, both indexes and the code are loaded once at opening and never
// change after; each stream is then found by one index lookup and read by one seek.
//
// Every read primitive cuts its request into one decoding per stream. A small request (one
// stream, or a few thousand values in all) is decoded on the calling thread, one positioned
// read per stream, with no action and no lock. A larger one runs as one batch through the
// stages below, which a subclass implements: start..., one decodeSpectrum or decodeImage per
// stream, then finishReads, which returns only when every decoding of the batch is done. A batch
// lives in the read call's own ActionList, so calls from several threads on one cube do not
// interfere; close() and destruction must not overlap a read.
//
// A stream that cannot be read or decoded exactly (offset or length beyond its file, damaged
// bits, runs that do not add up to exactly the destination's size, a code table that was
// refused) makes the read return SC_FORMAT_ERROR once the whole request is read; every read
// leaves its buffers the same way then: each damaged stream's destination holds zeros, every
// other stream its decoded values. Reads of a closed cube answer SC_FILE_ERROR. Nothing is ever
// written outside a destination.
class SCDFile : public SCFile {
  public:
    using ActionList = lattix::lx_tuplink::ActionList;

    // Opens the cube named `name` (without extension). The header file is read whole; a missing
    // header file, a damaged one, or one whose index or code table the file cannot hold leaves
    // the cube closed. The data files are opened for reading, a missing one being created empty
    // (its streams are then all skipped). Never fails otherwise: check isOpen().
    explicit SCDFile(const std::string& name);
    ~SCDFile() override;

    unsigned width() const override { return header_.width(); }
    unsigned height() const override { return header_.height(); }
    unsigned depth() const override { return header_.depth(); }
    // Whether line y was stored; x is not examined.
    bool isAcquired(unsigned x, unsigned y) const override;

    // Both data files open.
    bool isOpen() override;
    // Closes both data files; SC_OK. Reads after it find nothing to decode.
    SCErrorCode close() override;
    // 1, whatever the header file's version field holds.
    unsigned version() const override;
    float factor() const override { return header_.factor(); }

    // Decodes the spectrum of each listed acquired pixel into the buffer of the same index
    // (depth() values); buffers of pixels in lines that were not stored are not touched.
    // SC_OUT_OF_RANGE, before anything is decoded, when a position lies outside the cube or
    // there are fewer buffers than positions.
    SCErrorCode readSpectrumsAt(const std::vector<SCPixelPosition>& positions,
                                const std::vector<unsigned short*>& outs) override;
    // Clears count x depth() values of out, then decodes the stored spectra of the run of count
    // pixels from (x, y) on, row-major; pixels of lines not stored read as zeros.
    // SC_OUT_OF_RANGE, writing nothing, when (x, y) or the run leaves the cube.
    SCErrorCode readSpectrums(unsigned x, unsigned y, unsigned count, unsigned short* out) override;
    // Decodes the image of each listed channel (width() x height() values) into the buffer of the
    // same index. SC_OUT_OF_RANGE, before anything is decoded, when a channel is not below
    // depth() or there are fewer buffers than channels.
    SCErrorCode readImagesAt(const std::vector<unsigned>& channels,
                             const std::vector<unsigned short*>& outs) override;
    // Decodes the images of channels first .. first+count-1, image after image.
    // SC_OUT_OF_RANGE, writing nothing, when first + count > depth().
    SCErrorCode readImages(unsigned first, unsigned count, unsigned short* out) override;

    // The generic results (SCFile), computed by decoding the streams straight into per-worker
    // sums (see sumStreams) instead of through image or spectrum buffers. When a stream cannot
    // be read or decoded, the generic read is run instead and its result returned, so that
    // damaged cubes are answered exactly as every other read answers them.
    SCErrorCode computeRoiImage(unsigned first, unsigned count, unsigned short* out) const override;
    SCErrorCode computeSubRoiImage(unsigned first, unsigned count, const Rect& r,
                                   unsigned short* out) const override;
    using SCFile::computeRegionSpectrum;
    SCErrorCode computeRegionSpectrum(int x0, int y0, const PixmapMask& mask, SCSpectrum& out,
                                      std::int64_t& pixelCount) override;

  protected:
    // The stages of a batch. Each read calls one start... first, with the batch's empty list.
    virtual void startSpectrumsAt(ActionList& actions) = 0;
    virtual void startSpectrums(unsigned x, unsigned y, ActionList& actions) = 0;
    virtual void startImagesAt(ActionList& actions) = 0;
    virtual void startImages(unsigned first, ActionList& actions) = 0;
    // Arranges for the stream at `place` of the spectrum (image) file to be decoded into
    // destination, which holds spectrumValueCount() (imageValueCount()) values. A result other
    // than SC_OK ends the batch: the read waits for what was arranged and returns that result.
    virtual SCErrorCode decodeSpectrum(const StreamPlace& place, unsigned short* destination,
                                       ActionList& actions) = 0;
    virtual SCErrorCode decodeImage(const StreamPlace& place, unsigned short* destination,
                                    ActionList& actions) = 0;
    // Returns once every decoding arranged in the batch is done, with the list empty.
    // SC_FORMAT_ERROR when a stream of the batch was damaged (its destination then zeros).
    virtual SCErrorCode finishReads(ActionList& actions) = 0;

    // The spectrum (image) file as its decodings see it.
    CodedStreamFile spectrumFile() const;
    CodedStreamFile imageFile() const;
    // Values of a spectrum (depth()) and of an image (width() x height()).
    std::size_t spectrumValueCount() const { return header_.depth(); }
    std::size_t imageValueCount() const;

  private:
    void open(const std::string& name);
    // Whether the header's dimensions and offsets fit the data files' lengths: every offset
    // leaves room for a length field and for enough bytes to expand to the stream's values (a
    // byte expands to 2040 values at most), and no more lines are stored than the cube has.
    bool claimsFitTheFiles() const;
    // Where the stream of pixel (x, y) (of channel c) lies. REQUIRES: x < width(),
    // y < acquired lines (c < depth()).
    StreamPlace spectrumPlace(unsigned x, unsigned y) const;
    StreamPlace imagePlace(unsigned channel) const;
    // Whether a request of `streams` streams of `valuesPerStream` values is decoded inline.
    static bool decodesInline(std::uint64_t streams, std::uint64_t valuesPerStream);
    // Sums the images of channels first .. first+count-1 into width() x height() sums.
    SCErrorCode sumImages(unsigned first, unsigned count, std::uint64_t* sums) const;
    using DecodeStage = SCErrorCode (SCDFile::*)(const StreamPlace&, unsigned short*, ActionList&);
    // Runs the decodings of one read: forEachStream(decode) calls decode(place, destination)
    // for each stream and returns the first result other than SC_OK. Inlined, decode decodes
    // on the calling thread and never fails; otherwise it is decodeStage within a batch made by
    // start(actions) and ended by finishReads, which runs whatever happened before it (a
    // failed allocation gives SC_ALLOCATION_ERROR).
    template <class Start, class ForEachStream>
    SCErrorCode runBatch(bool inlined, const CodedStreamFile& file, std::size_t valueCount,
                         Start start, ForEachStream forEachStream, DecodeStage decodeStage);

    SCDHeader header_;                        // dimensions, factor, both indexes, code table
    HuffmanDecodingTable table_;              // the code, rebuilt from the table; empty if refused
    SystemInputFileStream spectrumData_;      // N + ".scds"
    SystemInputFileStream imageData_;         // N + ".scdi"
    std::uint64_t spectrumDataLength_ = 0;    // length of N + ".scds" when opened
    std::uint64_t imageDataLength_ = 0;       // length of N + ".scdi" when opened
    std::uint64_t typicalSpectrumBytes_ = 0;  // read at once for a spectrum of unknown extent
    std::uint64_t typicalImageBytes_ = 0;     // read at once for an image of unknown extent
};
