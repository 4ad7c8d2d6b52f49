#include "tuplink/wire.h"

#include <bit>
#include <climits>
#include <cstring>
#include <limits>
#include <msgpack.hpp>
#include <string_view>

#include "message_tree.h"
#include "tuplink/status.h"
#include "utf8.h"

namespace tuplink {

static_assert(std::endian::native == std::endian::little,
              "float arrays travel in the host's memory order, which must be little-endian");

namespace {

constexpr std::size_t kMaxLength = std::numeric_limits<std::uint32_t>::max();

// Output streams for msgpack::packer: one that only counts, one that writes into a buffer
// sized by the counting pass.
struct SizeCounter {
    std::size_t size = 0;
    void write(const char*, std::size_t length) { size += length; }
};

struct BufferWriter {
    char* next;
    void write(const char* bytes, std::size_t length) {
        if (length != 0) {
            std::memcpy(next, bytes, length);
            next += length;
        }
    }
};

// msgpack's packer with a float 64 that stays one: packer::pack_double writes integral values
// (1.0, -0.0) as integers, which changes their type and loses the sign of -0.0.
template <class Stream>
class Packer : public msgpack::packer<Stream> {
  public:
    explicit Packer(Stream& stream) : msgpack::packer<Stream>(stream), stream_(stream) {}

    void pack_float64(double value) {
        const auto bits = std::bit_cast<std::uint64_t>(value);
        char bytes[9];
        bytes[0] = static_cast<char>(0xcb);
        for (int index = 0; index < 8; ++index) {
            bytes[1 + index] = static_cast<char>(bits >> (56 - 8 * index));
        }
        stream_.write(bytes, sizeof bytes);
    }

  private:
    Stream& stream_;  // where the packer writes
};

// Whether every string, binary and list of the tuple fits msgpack's 32-bit lengths.
bool encodable(const Tuple& tuple);

bool encodable(const Tuple::Value& value) {
    switch (value.type()) {
        case TYPE_STRING:
            return value.as<AString>().size() <= kMaxLength;
        case TYPE_BLOB:
            return value.as<Blob>().size() <= kMaxLength;
        case TYPE_ARRAY_FLOAT:
            return value.as<Array<float>>().size() <= kMaxLength / sizeof(float);
        case TYPE_TUPLE:
            return encodable(value.as<Tuple>());
        case TYPE_LIST_INT:
            return value.as<IntList>().size() <= kMaxLength;
        case TYPE_LIST_TUPLE: {
            const TupleList& list = value.as<TupleList>();
            if (list.size() > kMaxLength) {
                return false;
            }
            for (const Tuple& element : list) {
                if (!encodable(element)) {
                    return false;
                }
            }
            return true;
        }
        default:
            return true;
    }
}

bool encodable(const Tuple& tuple) {
    bool fits = tuple.size() <= kMaxLength && std::strlen(tuple.class_name()) <= kMaxLength;
    tuple.for_each([&](const std::string& key, const Tuple::Value& value) {
        fits = fits && key.size() <= kMaxLength && encodable(value);
    });
    return fits;
}

template <class Stream>
void packString(Packer<Stream>& out, std::string_view text) {
    out.pack_str(static_cast<std::uint32_t>(text.size()));
    out.pack_str_body(text.data(), static_cast<std::uint32_t>(text.size()));
}

template <class Stream>
void packBinary(Packer<Stream>& out, const void* bytes, std::size_t size) {
    out.pack_bin(static_cast<std::uint32_t>(size));
    out.pack_bin_body(static_cast<const char*>(bytes), static_cast<std::uint32_t>(size));
}

template <class Stream>
void packTuple(Packer<Stream>& out, const Tuple& tuple);

template <class Stream>
void packValue(Packer<Stream>& out, const Tuple::Value& value) {
    out.pack_array(2);
    out.pack_int(value.type());
    switch (value.type()) {
        case TYPE_BOOL:
            value.as<bool>() ? out.pack_true() : out.pack_false();
            break;
        case TYPE_INT:
            out.pack_int(value.as<int>());
            break;
        case TYPE_FLOAT:
            out.pack_float64(value.as<double>());
            break;
        case TYPE_STRING:
            packString(out, value.as<AString>().str());
            break;
        case TYPE_BLOB: {
            const Blob& blob = value.as<Blob>();
            packBinary(out, blob.data(), blob.size());
            break;
        }
        case TYPE_ARRAY_FLOAT: {
            const Array<float>& array = value.as<Array<float>>();
            packBinary(out, array.data(), array.size() * sizeof(float));
            break;
        }
        case TYPE_TUPLE:
            packTuple(out, value.as<Tuple>());
            break;
        case TYPE_LIST_INT: {
            const IntList& list = value.as<IntList>();
            out.pack_array(static_cast<std::uint32_t>(list.size()));
            for (int element : list) {
                out.pack_int(element);
            }
            break;
        }
        case TYPE_LIST_TUPLE: {
            const TupleList& list = value.as<TupleList>();
            out.pack_array(static_cast<std::uint32_t>(list.size()));
            for (const Tuple& element : list) {
                packTuple(out, element);
            }
            break;
        }
    }
}

template <class Stream>
void packTuple(Packer<Stream>& out, const Tuple& tuple) {
    out.pack_array(2);
    packString(out, tuple.class_name());
    out.pack_map(static_cast<std::uint32_t>(tuple.size()));
    tuple.for_each([&](const std::string& key, const Tuple::Value& value) {
        packString(out, key);
        packValue(out, value);
    });
}

// A request as its head and its arguments, which need not live together.
struct RequestParts {
    const RequestHead& head;
    const Tuple& arguments;
};

template <class Stream>
void pack(Packer<Stream>& out, const RequestParts& request) {
    out.pack_array(7);
    out.pack_unsigned_int(PROTOCOL_VERSION);
    out.pack_uint64(request.head.id);
    packString(out, request.head.service);
    packString(out, request.head.instance);
    packString(out, request.head.interface);
    packString(out, request.head.method);
    packTuple(out, request.arguments);
}

template <class Stream>
void pack(Packer<Stream>& out, const Reply& reply) {
    out.pack_array(4);
    out.pack_unsigned_int(PROTOCOL_VERSION);
    out.pack_uint64(reply.id);
    out.pack_int(reply.status);
    packTuple(out, reply.results);
}

bool headerFits(const RequestHead& request) {
    return request.service.size() <= kMaxLength && request.instance.size() <= kMaxLength &&
           request.interface.size() <= kMaxLength && request.method.size() <= kMaxLength;
}

template <class Message>
std::size_t sizeOf(const Message& message) {
    SizeCounter counter;
    Packer<SizeCounter> out(counter);
    pack(out, message);
    return counter.size;
}

template <class Message>
void encodeInto(const Message& message, std::byte* destination) {
    BufferWriter writer{reinterpret_cast<char*>(destination)};
    Packer<BufferWriter> out(writer);
    pack(out, message);
}

std::size_t encodedSize(const RequestParts& request) {
    return encoded_size(request.head, request.arguments);
}

std::size_t encodedSize(const Reply& reply) {
    return encoded_size(reply);
}

template <class Message>
std::string encodeToString(const Message& message) {
    const std::size_t size = encodedSize(message);
    if (size == SIZE_MAX) {
        return {};
    }
    std::string bytes(size, '\0');
    encodeInto(message, reinterpret_cast<std::byte*>(bytes.data()));
    return bytes;
}

// Turns a parsed message into values, checking every object against the expected shape.
class Reader {
  public:
    Reader(const std::shared_ptr<void>& keeper, const DecodeLimits& limits)
        : keeper_(keeper), limits_(limits) {}

    bool text(const wire::Node& node, std::string& out) const {
        if (node.kind != wire::Node::STR || !is_nul_free_utf8(node.bytes, node.size)) {
            return false;
        }
        out.assign(node.bytes, node.size);
        return true;
    }

    static bool integer(const wire::Node& node, std::int64_t low, std::int64_t high,
                        std::int64_t& out) {
        if (node.kind == wire::Node::UINT &&
            node.unsignedValue <= static_cast<std::uint64_t>(high)) {
            out = static_cast<std::int64_t>(node.unsignedValue);
            return out >= low;
        }
        if (node.kind == wire::Node::INT && node.signedValue >= low && node.signedValue <= high) {
            out = node.signedValue;
            return true;
        }
        return false;
    }

    bool tuple(const wire::Node& node, std::size_t depth, Tuple& out) const {
        if (depth > limits_.max_tuple_depth || node.kind != wire::Node::ARRAY ||
            node.children.size() != 2 || node.children[1].kind != wire::Node::MAP) {
            return false;
        }
        std::string className;
        if (!text(node.children[0], className)) {
            return false;
        }
        out.set_class_name(className.c_str());
        const auto& entries = node.children[1].children;
        std::string key;
        for (std::size_t index = 0; index + 1 < entries.size(); index += 2) {
            if (!text(entries[index], key) || out.contains(Symbol(key)) ||
                !entry(entries[index + 1], depth, Symbol(key), out)) {
                return false;
            }
        }
        return true;
    }

  private:
    bool entry(const wire::Node& node, std::size_t depth, const Symbol& key, Tuple& out) const {
        std::int64_t code = 0;
        if (node.kind != wire::Node::ARRAY || node.children.size() != 2 ||
            !integer(node.children[0], 0, INT_MAX, code) || !is_type_code(static_cast<int>(code))) {
            return false;
        }
        Tuple::Value* value = out.set_value(key, static_cast<Types>(code));
        return value != nullptr && fill(node.children[1], depth, *value);
    }

    bool fill(const wire::Node& node, std::size_t depth, Tuple::Value& value) const {
        std::int64_t number = 0;
        switch (value.type()) {
            case TYPE_BOOL:
                value.as<bool>() = node.boolean;
                return node.kind == wire::Node::BOOL;
            case TYPE_INT:
                if (!integer(node, INT_MIN, INT_MAX, number)) {
                    return false;
                }
                value.as<int>() = static_cast<int>(number);
                return true;
            case TYPE_FLOAT:
                // Some encoders write integral floats as integers: take those too.
                if (node.kind == wire::Node::UINT) {
                    value.as<double>() = static_cast<double>(node.unsignedValue);
                } else if (node.kind == wire::Node::INT) {
                    value.as<double>() = static_cast<double>(node.signedValue);
                } else {
                    value.as<double>() = node.floating;
                    return node.kind == wire::Node::FLOAT32 || node.kind == wire::Node::FLOAT64;
                }
                return true;
            case TYPE_STRING: {
                std::string text;
                if (!this->text(node, text)) {
                    return false;
                }
                value.as<AString>() = AString(text.c_str(), text.size());
                return true;
            }
            case TYPE_BLOB:
                return blob(node, value.as<Blob>());
            case TYPE_ARRAY_FLOAT:
                return node.kind == wire::Node::BIN && node.size % sizeof(float) == 0 &&
                       value.as<Array<float>>().assign_bytes(node.bytes, node.size / sizeof(float));
            case TYPE_TUPLE:
                return tuple(node, depth + 1, value.as<Tuple>());
            case TYPE_LIST_INT:
                return intList(node, value.as<IntList>());
            case TYPE_LIST_TUPLE:
                return tupleList(node, depth, value.as<TupleList>());
        }
        return false;
    }

    bool blob(const wire::Node& node, Blob& out) const {
        if (node.kind != wire::Node::BIN) {
            return false;
        }
        if (keeper_) {
            out.share(keeper_, reinterpret_cast<std::byte*>(const_cast<char*>(node.bytes)),
                      node.size);
            return true;
        }
        return out.set(node.size, node.bytes);
    }

    static bool intList(const wire::Node& node, IntList& out) {
        if (node.kind != wire::Node::ARRAY) {
            return false;
        }
        std::int64_t number = 0;
        for (const wire::Node& element : node.children) {
            if (!integer(element, INT_MIN, INT_MAX, number)) {
                return false;
            }
            out.push_back(static_cast<int>(number));
        }
        return true;
    }

    bool tupleList(const wire::Node& node, std::size_t depth, TupleList& out) const {
        if (node.kind != wire::Node::ARRAY) {
            return false;
        }
        for (const wire::Node& element : node.children) {
            Tuple decoded;
            if (!tuple(element, depth + 1, decoded)) {
                return false;
            }
            out.push_back(Tuple());
            out.back().splice(decoded);
        }
        return true;
    }

    const std::shared_ptr<void>& keeper_;
    const DecodeLimits& limits_;
};

// Parses the message and checks the outer array and its version. Fills `id` when present.
int openMessage(std::byte* bytes, std::size_t size, const DecodeLimits& limits, std::size_t fields,
                wire::Node& root, std::uint64_t& id) {
    // Each tuple level takes three containers (tuple, map, entry), plus the outer array.
    const std::size_t maxDepth = 3 * (limits.max_tuple_depth + 2) + 2;
    if (!wire::parse_message(reinterpret_cast<const char*>(bytes), size, limits.max_elements,
                             maxDepth, root) ||
        root.kind != wire::Node::ARRAY || root.children.size() < 2) {
        return STATUS_MALFORMED;
    }
    const wire::Node& version = root.children[0];
    const wire::Node& idNode = root.children[1];
    if (idNode.kind == wire::Node::UINT) {
        id = idNode.unsignedValue;
    }
    if (version.kind != wire::Node::UINT) {
        return STATUS_MALFORMED;
    }
    if (version.unsignedValue != PROTOCOL_VERSION) {
        return STATUS_UNSUPPORTED_VERSION;
    }
    return idNode.kind == wire::Node::UINT && root.children.size() == fields ? 0 : STATUS_MALFORMED;
}

}  // namespace

std::size_t encoded_size(const RequestHead& head, const Tuple& arguments) {
    return headerFits(head) && encodable(arguments) ? sizeOf(RequestParts{head, arguments})
                                                    : SIZE_MAX;
}

std::size_t encoded_size(const Request& request) {
    return encoded_size(request, request.arguments);
}

std::size_t encoded_size(const Reply& reply) {
    return encodable(reply.results) ? sizeOf(reply) : SIZE_MAX;
}

void encode_request(const RequestHead& head, const Tuple& arguments, std::byte* out, std::size_t) {
    encodeInto(RequestParts{head, arguments}, out);
}

void encode_request(const Request& request, std::byte* out, std::size_t capacity) {
    encode_request(request, request.arguments, out, capacity);
}

void encode_reply(const Reply& reply, std::byte* out, std::size_t) {
    encodeInto(reply, out);
}

std::string encode_to_string(const Request& request) {
    return encodeToString(RequestParts{request, request.arguments});
}

std::string encode_to_string(const Reply& reply) {
    return encodeToString(reply);
}

int decode_request(std::byte* bytes, std::size_t size, std::shared_ptr<void> keeper,
                   Request& request, const DecodeLimits& limits) {
    request = Request();
    wire::Node root;
    if (int status = openMessage(bytes, size, limits, 7, root, request.id); status != 0) {
        return status;
    }
    Reader reader(keeper, limits);
    const auto& fields = root.children;
    const bool wellFormed =
        reader.text(fields[2], request.service) && reader.text(fields[3], request.instance) &&
        reader.text(fields[4], request.interface) && reader.text(fields[5], request.method) &&
        reader.tuple(fields[6], 0, request.arguments);
    return wellFormed ? 0 : STATUS_MALFORMED;
}

int decode_reply(std::byte* bytes, std::size_t size, std::shared_ptr<void> keeper, Reply& reply,
                 const DecodeLimits& limits) {
    reply = Reply();
    wire::Node root;
    if (int status = openMessage(bytes, size, limits, 4, root, reply.id); status != 0) {
        return status;
    }
    std::int64_t status = 0;
    Reader reader(keeper, limits);
    if (!Reader::integer(root.children[2], INT_MIN, INT_MAX, status) ||
        !reader.tuple(root.children[3], 0, reply.results)) {
        return STATUS_MALFORMED;
    }
    reply.status = static_cast<int>(status);
    return 0;
}

}  // namespace tuplink
