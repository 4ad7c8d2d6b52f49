#include <new>

#include "sc_api/sc_spectrum_reader.h"
#include "sc_api/scd.h"
#include "scd/writer/batch_encoding.h"
#include "scd/writer/scd_multithreaded_file_builder.h"

int SCD::encode(SCSpectrumReader& reader, const std::string& name) {
    if (!reader.isOpen()) {
        return SC_FILE_ERROR;
    }
    if (!cubeIndexesFitInMemory(reader.width(), reader.height(), reader.depth())) {
        return SC_ALLOCATION_ERROR;
    }
    try {
        BatchEncoding encoding(reader, name);
        if (!encoding.isReady()) {
            return SC_FILE_ERROR;
        }
        return encoding.run();
    } catch (const std::bad_alloc&) {
        return SC_ALLOCATION_ERROR;
    } catch (...) {
        // An exception from the caller's reader.
        return SC_WRITE_ERROR;
    }
}

SharedPtr<SCFileBuilder, SCDeleteFileBuilder> SCD::getBuilder(const std::string& name,
                                                              unsigned width, unsigned height,
                                                              unsigned depth, float factor,
                                                              unsigned syncEveryLines) {
    return makeSCDBuilder(name, width, height, depth, factor, syncEveryLines);
}
