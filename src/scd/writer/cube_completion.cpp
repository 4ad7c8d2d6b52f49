#include "scd/writer/cube_completion.h"

#include <cstdio>
#include <fstream>

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

void writeHeaderFile(const std::string& name, const SCDHeader& header) {
    std::ofstream headerFile(name + SCD::HEADER_EXTENSION, std::ios::binary | std::ios::trunc);
    header.write(headerFile);
}
