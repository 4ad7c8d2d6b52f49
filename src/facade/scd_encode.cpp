#include "sc_api/sc_spectrum_reader.h"
#include "sc_api/scd.h"
#include "scd/writer/batch_encoding.h"
#include "scd/writer/scd_multithreaded_file_builder.h"

int SCD::encode(SCSpectrumReader& reader, const std::string& name) {
    return encodeBatch(reader, name, BatchEncoding::SourceReads::kTwice);
}

SharedPtr<SCFileBuilder, SCDeleteFileBuilder> SCD::getBuilder(const std::string& name,
                                                              unsigned width, unsigned height,
                                                              unsigned depth, float factor,
                                                              unsigned syncEveryLines) {
    return makeSCDBuilder(name, width, height, depth, factor, syncEveryLines);
}
