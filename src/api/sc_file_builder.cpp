#include "sc_api/sc_file_builder.h"

SCFileBuilder::~SCFileBuilder() = default;

void SCDeleteFileBuilder::free(SCFileBuilder* builder) {
    delete builder;
}
