// libFuzzer entry point for the header reader and the stream decoder. Not part of the test
// programs (only *_test.cpp files are); build and run it by hand with clang, e.g.
//
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -Isrc -Iinclude \
//       tests/fuzz/scd_header_fuzzer.cpp src/scd/bit_vector.cpp src/scd/huffman_coding.cpp \
//       src/scd/huffman_decoding_table.cpp src/scd/huffman_code_book.cpp \
//       src/scd/run_length.cpp src/scd/scd_header.cpp -o scd_header_fuzzer
//   ./scd_header_fuzzer -max_total_time=60
//
// The input is read as a header file. When it is accepted, its rewrite must read back to the
// same bytes, and the input's bits are decoded with its code table both by the tree walk and by
// the decoding table, which must agree and stay inside their buffers.

#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "sc_api/sc_error_code.h"
#include "scd/huffman_coding.h"
#include "scd/huffman_decoding_table.h"
#include "scd/run_length.h"
#include "scd/scd_header.h"

namespace {

std::string written(const SCDHeader& header) {
    std::ostringstream out;
    if (header.write(out) != SC_OK) {
        std::abort();
    }
    return out.str();
}

void checkDecoding(const SCDHeader& header, const std::uint8_t* data, std::size_t size) {
    HuffmanTree tree = buildHuffmanTreeFromCodes(header.codes());
    HuffmanDecodingTable table(tree.get());
    BitVector bits(static_cast<std::uint32_t>(size * 8));
    for (std::size_t i = 0; i < size; ++i) {
        bits.data()[i] = data[i];
    }
    std::size_t count = header.width() % 4096;
    std::vector<unsigned short> walked(count, 7);
    std::vector<unsigned short> flat(count, 7);
    bool walkedOk = decodeStream(bits, tree.get(), walked.data(), count);
    bool flatOk = decodeStream(bits, table, flat.data(), count);
    if (walkedOk != flatOk || walked != flat) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::istringstream in(std::string(reinterpret_cast<const char*>(data), size));
    SCDHeader header;
    if (header.read(in) != SC_OK) {
        return 0;
    }
    std::string rewritten = written(header);
    SCDHeader again;
    std::istringstream back(rewritten);
    if (again.read(back) != SC_OK || written(again) != rewritten) {
        std::abort();
    }
    checkDecoding(header, data, size < 4096 ? size : 4096);
    return 0;
}
