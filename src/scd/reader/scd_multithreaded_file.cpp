#include "scd/reader/scd_multithreaded_file.h"

#include <algorithm>

#include "sc_api/scd.h"
#include "scd/reader/decoding_runnable.h"

SCDMultiThreadedFile::SCDMultiThreadedFile(const std::string& name) : SCDFile(name) {}

SCDMultiThreadedFile::~SCDMultiThreadedFile() = default;

void SCDMultiThreadedFile::startSpectrumsAt(ActionList& actions) {
    actions.clear();
}

void SCDMultiThreadedFile::startSpectrums(unsigned /*x*/, unsigned /*y*/, ActionList& actions) {
    actions.clear();
}

void SCDMultiThreadedFile::startImagesAt(ActionList& actions) {
    actions.clear();
}

void SCDMultiThreadedFile::startImages(unsigned /*first*/, ActionList& actions) {
    actions.clear();
}

SCErrorCode SCDMultiThreadedFile::decodeSpectrum(const StreamPlace& place,
                                                 unsigned short* destination, ActionList& actions) {
    post(spectrumFile(), place, destination, spectrumValueCount(), actions);
    return SC_OK;
}

SCErrorCode SCDMultiThreadedFile::decodeImage(const StreamPlace& place, unsigned short* destination,
                                              ActionList& actions) {
    post(imageFile(), place, destination, imageValueCount(), actions);
    return SC_OK;
}

SCErrorCode SCDMultiThreadedFile::finishReads(ActionList& actions) {
    actions.wait(SCD::getProcessor(), 0);
    // Every action of the list is a DecodingRunnable posted by post().
    const bool damaged = std::any_of(
        actions.begin(), actions.end(), [](const lattix::lx_tuplink::ActionRef& action) {
            return static_cast<const DecodingRunnable*>(action.get())->outcome() !=
                   StreamOutcome::kDecoded;
        });
    actions.clear();
    return damaged ? SC_FORMAT_ERROR : SC_OK;
}

void SCDMultiThreadedFile::post(const CodedStreamFile& file, const StreamPlace& place,
                                unsigned short* destination, std::size_t valueCount,
                                ActionList& actions) {
    const lattix::lx_tuplink::ActionRef action(
        new DecodingRunnable(file, place, destination, valueCount));
    actions.add(action);
    SCD::getProcessor().post(action);
}
