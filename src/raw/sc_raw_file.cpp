#include "sc_api/sc_raw_file.h"

SCRawFile::SCRawFile(const SCRawHeader& header) : header_(header) {}

SCRawFile::SCRawFile(const SCRawFile& other) : SCFile(other), header_(other.header_) {}

SCRawFile& SCRawFile::operator=(const SCRawFile& other) {
    header_ = other.header_;
    return *this;
}

SCRawFile::~SCRawFile() = default;

const SCRawHeader& SCRawFile::header() const {
    return header_;
}

unsigned SCRawFile::width() const {
    return header_.width();
}

unsigned SCRawFile::height() const {
    return header_.height();
}

unsigned SCRawFile::depth() const {
    return header_.depth();
}

bool SCRawFile::isAcquired(unsigned, unsigned) const {
    return true;
}

unsigned SCRawFile::version() const {
    return 0;
}

float SCRawFile::factor() const {
    return 1.0f;
}

void SCDeleteRawFile::free(SCRawFile* file) {
    delete file;
}
