#include "sc_api/raw_to_scd.h"

#include <sys/stat.h>

#include <optional>

#include "raw/raw_data_io.h"
#include "sc_api/sc_raw_io.h"
#include "sc_api/scd.h"
#include "scd/raw_file_spectrum_reader.h"

namespace {

// Whether `path` is an existing regular file of at least `length` bytes. Checked before the
// data stream is opened, since opening a stream creates a missing file.
bool isDataFileOfLength(const std::string& path, std::uint64_t length) {
    struct stat status {};
    return ::stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode) &&
           static_cast<std::uint64_t>(status.st_size) >= length;
}

}  // namespace

int RawToSCD::encode(const std::string& rawName, const std::string& scdName) {
    SCRawFileSpectrumReader reader;
    if (SCRawIO::readSCRawHeader(rawName + ".rpl", reader.header()) != SC_OK) {
        return SC_FILE_ERROR;
    }
    const SCRawHeader& header = reader.header();
    const std::optional<std::uint64_t> length =
        rawDataLength(header.width(), header.height(), header.depth());
    const std::string dataPath = rawName + ".raw";
    if (!length || !isDataFileOfLength(dataPath, *length) || !reader.open(dataPath)) {
        return SC_FILE_ERROR;
    }
    const int result = SCD::encode(reader, scdName);
    reader.close();
    return result;
}
