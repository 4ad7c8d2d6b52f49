#pragma once

#include <string>

#include "scd/reader/scd_file.h"

// The SCD reader that decodes a batch in parallel: every stream of a read becomes one
// DecodingRunnable posted to the library's processor (SCD::getProcessor()) as soon as it is
// known, and the read waits for the batch once. Streams are read with positioned reads, so the
// workers never wait for one another.
class SCDMultiThreadedFile : public SCDFile {
  public:
    // Opens the cube named `name` as SCDFile does; check isOpen().
    explicit SCDMultiThreadedFile(const std::string& name);
    ~SCDMultiThreadedFile() override;

  protected:
    void startSpectrumsAt(ActionList& actions) override;
    void startSpectrums(unsigned x, unsigned y, ActionList& actions) override;
    void startImagesAt(ActionList& actions) override;
    void startImages(unsigned first, ActionList& actions) override;
    // Post one decoding and add it to the batch; always SC_OK.
    SCErrorCode decodeSpectrum(const StreamPlace& place, unsigned short* destination,
                               ActionList& actions) override;
    SCErrorCode decodeImage(const StreamPlace& place, unsigned short* destination,
                            ActionList& actions) override;
    // Waits, without time limit, for every action of the batch in list order; then clears it.
    SCErrorCode finishReads(ActionList& actions) override;

  private:
    void post(const CodedStreamFile& file, const StreamPlace& place, unsigned short* destination,
              std::size_t valueCount, ActionList& actions);
};
