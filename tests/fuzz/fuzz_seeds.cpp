// Writes the seed inputs of every fuzz target, made from valid files and valid streams of the
// library, into DIR/<target>/ (run by scripts/fuzz_seeds.sh). Usage: fuzz_seeds DIR
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "codec/huffman_coding.h"
#include "codec/run_length.h"
#include "sc_api/fragmented_scd_header.h"
#include "sc_api/scd.h"
#include "tuplink/wire.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::string;
using Values = std::vector<unsigned short>;

void put(Bytes& bytes, std::uint64_t value, unsigned size) {
    for (unsigned i = 0; i < size; ++i) {
        bytes.push_back(static_cast<char>(value >> (8 * i)));
    }
}

Bytes bitsBytes(const BitVector& bits) {
    return Bytes(reinterpret_cast<const char*>(bits.data()), bits.byteCount());
}

Bytes fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

void writeSeed(const fs::path& directory, const std::string& target, int index,
               const Bytes& bytes) {
    fs::create_directories(directory / target);
    std::ofstream(directory / target / ("seed_" + std::to_string(index)), std::ios::binary)
        << bytes;
}

// Counts that vary with the pixel, with long zero stretches, as an acquisition gives.
unsigned short countAt(unsigned x, unsigned y, unsigned c) {
    return static_cast<unsigned short>((c % 5 == 0) ? 0 : (x * 7 + y * 3 + c) % 11);
}

// Builds a cube with the library's builder; its three files.
std::vector<Bytes> builtCube(const fs::path& scratch, unsigned w, unsigned h, unsigned d,
                             unsigned lines) {
    const std::string base = (scratch / "cube").string();
    auto builder = SCD::getBuilder(base, w, h, d, 1.5f);
    std::vector<unsigned short> line(std::size_t{w} * d);
    for (unsigned y = 0; builder && y < lines; ++y) {
        for (unsigned i = 0; i < line.size(); ++i) {
            line[i] = countAt(i / d, y, i % d);
        }
        builder->addSpectrumLine(line.data());
    }
    if (builder) {
        builder->close();
    }
    std::vector<Bytes> files = {fileBytes(base + ".scdh"), fileBytes(base + ".scds"),
                                fileBytes(base + ".scdi")};
    SCD::removeSCD(base);
    return files;
}

// The values, their code and their coded stream.
struct CodedValues {
    Values values;
    SCCodeTable codes;
    BitVector stream;
};

CodedValues coded(const Values& values) {
    CodedValues result{values, {}, {}};
    SCSymbolCounts counts;
    forEachRun(values.data(), values.size(), [&counts](const SCSymbol& s) { ++counts[s]; });
    computeHuffmanCodes(buildHuffmanTree(counts), result.codes);
    encodeValues(values.data(), values.size(), result.codes, result.stream);
    return result;
}

// Runs as the round-trip targets read them: length byte, multiplier byte, value.
Bytes runsInput(const Values& values) {
    Bytes bytes;
    for (std::size_t i = 0; i < values.size();) {
        std::size_t n = 1;
        while (i + n < values.size() && values[i + n] == values[i] && n < 256) {
            ++n;
        }
        put(bytes, n - 1, 1);
        put(bytes, 0, 1);  // multiplier 1
        put(bytes, values[i], 2);
        i += n;
    }
    return bytes;
}

// A tuple holding a value of every type, one of them a tuple with a list of tuples.
tuplink::Tuple everyType() {
    tuplink::Tuple tuple("Sample");
    tuple.set_bool(tuplink::Symbol("b"), true);
    tuple.set_int(tuplink::Symbol("i"), -7);
    tuple.set_float(tuplink::Symbol("f"), 2.5);
    tuple.set_string(tuplink::Symbol("s"), "name");
    const float floats[] = {1.0f, -0.5f};
    tuple.set_array_float(tuplink::Symbol("a"), floats, 2);
    const unsigned char bytes[] = {1, 2, 3};
    tuplink::Blob blob;
    blob.set(sizeof bytes, bytes);
    tuple.set_value(tuplink::Symbol("blob"), tuplink::TYPE_BLOB, &blob);
    tuplink::IntList ints;
    ints.push_back(3);
    ints.push_back(-1);
    tuple.set_value(tuplink::Symbol("l"), tuplink::TYPE_LIST_INT, &ints);
    tuplink::Tuple inner("Inner");
    inner.set_int(tuplink::Symbol("x"), 1);
    tuplink::TupleList tuples;
    tuples.push_back(inner);
    inner.set_value(tuplink::Symbol("t"), tuplink::TYPE_LIST_TUPLE, &tuples);
    tuple.set_value(tuplink::Symbol("t"), tuplink::TYPE_TUPLE, &inner);
    return tuple;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: fuzz_seeds DIR\n");
        return 2;
    }
    const fs::path out = argv[1];
    const fs::path scratch = out / "scratch";
    fs::create_directories(scratch);

    writeSeed(out, "rpl_header", 0,
              "key\tvalue\nwidth\t4\nheight\t3\ndepth\t8\noffset\t0\ndata-length\t4\n"
              "data-type\tunsigned\nbyte-order\tlittle-endian\nrecord-by\tvector\n");
    writeSeed(out, "rpl_header", 1,
              "width 2\nheight 2\ndepth 1\ndata-length 4\ndata-type unsigned\n"
              "byte-order little-endian\nrecord-by image\n");

    const struct {
        unsigned w, h, d, lines;
    } shapes[] = {{4, 3, 8, 3}, {5, 4, 16, 2}, {3, 1, 40, 1}};
    int index = 0;
    for (const auto& shape : shapes) {
        const std::vector<Bytes> files = builtCube(scratch, shape.w, shape.h, shape.d, shape.lines);
        writeSeed(out, "scd_header", index, files[0]);
        Bytes cube;
        put(cube, files[0].size(), 2);
        put(cube, files[1].size(), 2);
        writeSeed(out, "scd_cube", index, cube + files[0] + files[1] + files[2]);
        ++index;
    }

    FragmentedSCDHeader map(6, 4, 10, 2.0f);
    map.addArea(0, 0);
    map.addArea(3, 1);
    for (unsigned x = 0; x < 6; ++x) {
        map.setAreaIndex(x, 0, x < 3 ? 1 : 2);
    }
    std::ostringstream mapBytes(std::ios::binary);
    map.write(mapBytes);
    writeSeed(out, "fragmented_header", 0, mapBytes.str());

    const std::vector<Values> sequences = {
        {0, 0, 0, 5, 5, 0, 1, 1, 1, 1},
        Values(600, 3),
        {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 15, 15, 0, 0, 0, 0, 0, 0, 0}};
    index = 0;
    for (const Values& values : sequences) {
        const CodedValues c = coded(values);
        Bytes table;
        put(table, c.codes.size(), 1);
        for (const auto& [symbol, code] : c.codes) {
            put(table, symbol.first, 1);
            put(table, symbol.second, 2);
            put(table, code.bitCount(), 1);
            table += bitsBytes(code);
        }
        put(table, values.size(), 2);
        writeSeed(out, "code_table", index, table + bitsBytes(c.stream));

        Bytes counts;
        put(counts, c.codes.size(), 1);
        for (const auto& entry : c.codes) {
            put(counts, entry.first.first - 1u, 1);
            put(counts, entry.first.second, 1);
            put(counts, 0, 2);
        }
        put(counts, values.size(), 2);
        writeSeed(out, "stream_decode", index, counts + bitsBytes(c.stream));

        writeSeed(out, "stream_round_trip", index, runsInput(values));
        Bytes shortBy;
        put(shortBy, 1 + index, 2);
        writeSeed(out, "stream_dst_too_small", index, shortBy + runsInput(values));
        ++index;
    }

    tuplink::Request request;
    request.id = 42;
    request.service = "SCCubeService";
    request.instance = "cube";
    request.interface = "SCCube";
    request.method = "getSpectrum";
    writeSeed(out, "wire_message", 0, tuplink::encode_to_string(request));
    request.arguments = everyType();
    writeSeed(out, "wire_message", 1, tuplink::encode_to_string(request));
    tuplink::Reply reply;
    reply.id = 42;
    reply.status = -3;
    reply.results = everyType();
    writeSeed(out, "wire_message", 2, tuplink::encode_to_string(reply));

    fs::remove_all(scratch);
    return 0;
}
