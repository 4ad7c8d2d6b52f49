#pragma once

#include <cstddef>
#include <cstdint>

// The fuzz targets: each takes one arbitrary input and must return 0 without crashing,
// hanging, leaking or touching memory it does not own. A target that finds a wrong answer (two
// decoders disagreeing, a round trip that changes the data, a write outside a destination)
// aborts. They are built as libFuzzer programs by the fuzz build (SC_API_FUZZ=ON, clang) and
// replayed over their saved corpora as ordinary tests in every other build.
namespace fuzz {

using Target = int (*)(const std::uint8_t* data, std::size_t size);

// The ".rpl" text header.
int rplHeader(const std::uint8_t* data, std::size_t size);
// The compressed header: read, then written and read again unchanged.
int scdHeader(const std::uint8_t* data, std::size_t size);
// The fragmented header: read, then written and read again unchanged.
int fragmentedHeader(const std::uint8_t* data, std::size_t size);
// A code table made of the input, turned into a tree and a decoding table, decoding bits.
int codeTable(const std::uint8_t* data, std::size_t size);
// Arbitrary bits decoded with a valid code: tree walk and table agree, nothing written outside.
int streamDecode(const std::uint8_t* data, std::size_t size);
// Values coded and decoded again: the same values.
int streamRoundTrip(const std::uint8_t* data, std::size_t size);
// A valid stream decoded into a destination too small for it: refused, nothing written.
int streamDestinationTooSmall(const std::uint8_t* data, std::size_t size);
// One input split into the three files of a compressed cube, opened and read whole.
int scdCube(const std::uint8_t* data, std::size_t size);
// A message of the service protocol, decoded as a request and as a reply; a message that
// decodes is coded again and decodes to the same value.
int wireMessage(const std::uint8_t* data, std::size_t size);

struct NamedTarget {
    const char* name;  // also the name of its corpus folder and of its fuzzer program
    Target run;
};

inline constexpr NamedTarget kTargets[] = {
    {"rpl_header", rplHeader},
    {"scd_header", scdHeader},
    {"fragmented_header", fragmentedHeader},
    {"code_table", codeTable},
    {"stream_decode", streamDecode},
    {"stream_round_trip", streamRoundTrip},
    {"stream_dst_too_small", streamDestinationTooSmall},
    {"scd_cube", scdCube},
    {"wire_message", wireMessage},
};

}  // namespace fuzz
