#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tuplink::wire {

// One msgpack object of a parsed message. Strings and binaries point into the message bytes,
// which must outlive the tree.
struct Node {
    enum Kind { NIL, BOOL, UINT, INT, FLOAT32, FLOAT64, STR, BIN, EXT, ARRAY, MAP };

    Kind kind = NIL;
    bool boolean = false;
    std::uint64_t unsignedValue = 0;  // UINT
    std::int64_t signedValue = 0;     // INT (negative integers only)
    double floating = 0.0;            // FLOAT32 and FLOAT64
    const char* bytes = nullptr;      // STR, BIN, EXT
    std::uint32_t size = 0;           // bytes of STR, BIN, EXT
    std::vector<Node> children;       // ARRAY elements; MAP keys and values alternating
};

// Parses exactly one msgpack object spanning all `size` bytes into `root`. False for
// anything else: invalid or truncated msgpack, trailing bytes, more than `maxNodes` objects or
// nesting deeper than `maxDepth` containers. Containers grow as their elements arrive, so no
// allocation depends on a declared count.
bool parse_message(const char* bytes, std::size_t size, std::size_t maxNodes, std::size_t maxDepth,
                   Node& root);

}  // namespace tuplink::wire
