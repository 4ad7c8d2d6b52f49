#include "sc_api/sc_raw_header.h"

SCRawHeader::SCRawHeader() : width_(0), height_(0), depth_(0), format_(RECORD_BY_IMAGE) {}

SCRawHeader::SCRawHeader(unsigned width, unsigned height, unsigned depth, StorageFormat format)
    : width_(width), height_(height), depth_(depth), format_(format) {}
