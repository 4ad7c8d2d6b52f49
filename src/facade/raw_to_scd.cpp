#include "sc_api/raw_to_scd.h"

#include "raw/raw_cube_opener.h"
#include "raw/raw_file_spectrum_reader.h"
#include "sc_api/sc_raw_io.h"
#include "sc_api/scd.h"
#include "scd/writer/batch_encoding.h"

int RawToSCD::encode(const std::string& rawName, const std::string& scdName) {
    SCRawFileSpectrumReader reader;
    if (SCRawIO::readSCRawHeader(rawName + ".rpl", reader.header()) != SC_OK) {
        return SC_FILE_ERROR;
    }
    const std::string dataPath = rawName + ".raw";
    if (!hasRawDataFile(dataPath, reader.header()) || !reader.open(dataPath)) {
        return SC_FILE_ERROR;
    }
    // The reader is this call's own: it may be read once, its spectra's symbols kept meanwhile.
    const int result = encodeBatch(reader, scdName, BatchEncoding::SourceReads::kOnce);
    reader.close();
    return result;
}
