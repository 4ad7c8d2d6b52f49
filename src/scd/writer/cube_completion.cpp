#include "scd/writer/cube_completion.h"

#include <cstdio>
#include <sstream>
#include <utility>

#include "io/file_stream.h"

#include "codec/huffman_coding.h"
#include "sc_api/scd.h"

void buildCodeTable(const SymbolCountTable& counts, SCDHeader& header) {
    const HuffmanTree tree = buildHuffmanTree(counts.counts());
    if (tree) {
        computeHuffmanCodes(tree, header.codes());
    }
}

void removeTemporaryImageFile(const std::string& imagePath) {
    const std::string stem = imagePath.substr(0, imagePath.size() - 4);
    std::remove((stem + ".rpl").c_str());
    std::remove(imagePath.c_str());
}

bool writeHeaderFile(const std::string& name, const SCDHeader& header) {
    std::ostringstream bytes(std::ios::binary);
    if (header.write(bytes) != SC_OK) {
        return false;
    }
    const std::string content = std::move(bytes).str();
    return publishFile(name + SCD::HEADER_EXTENSION, content.data(), content.size()) == SC_OK;
}

void withdrawHeaderFile(const std::string& name) {
    std::remove((name + SCD::HEADER_EXTENSION).c_str());
}
