// The msgpack wire format: exact round trips, the documented bytes, and refusal of every kind
// of malformed message, including random and mutated ones.
#include <gtest/gtest.h>

#include <msgpack.hpp>
#include <random>

#include "sample_values.h"
#include "tuplink/status.h"
#include "tuplink/wire.h"

namespace {

using tuplink::Request;
using tuplink::Symbol;
using tuplink::Tuple;

Request sampleRequest(Tuple arguments) {
    Request request;
    request.id = 0x1234567890ull;
    request.service = "tuplink.test.svc";
    request.instance = "default";
    request.interface = "tuplink.test.probe";
    request.method = "echo";
    request.arguments = std::move(arguments);
    return request;
}

int decode(std::string bytes, Request& request) {
    return tuplink::decode_request(reinterpret_cast<std::byte*>(bytes.data()), bytes.size(),
                                   nullptr, request);
}

int decode(std::string bytes) {
    Request request;
    return decode(std::move(bytes), request);
}

// A request whose arguments are written by `arguments` straight with msgpack, to make
// messages that the encoder never would.
template <class WriteArguments>
std::string handMade(WriteArguments arguments, unsigned version = 1, std::size_t fields = 7) {
    msgpack::sbuffer buffer;
    msgpack::packer<msgpack::sbuffer> out(buffer);
    out.pack_array(static_cast<std::uint32_t>(fields));
    out.pack(version);
    out.pack(77u);
    for (const char* name : {"s", "i", "f", "m"}) {
        out.pack(std::string(name));
    }
    if (fields == 7) {
        arguments(out);
    }
    return std::string(buffer.data(), buffer.size());
}

// Arguments with one entry: key "k", type code `code`, value written by `value`.
template <class WriteValue>
std::string withEntry(int code, WriteValue value) {
    return handMade([&](msgpack::packer<msgpack::sbuffer>& out) {
        out.pack_array(2);
        out.pack(std::string("C"));
        out.pack_map(1);
        out.pack(std::string("k"));
        out.pack_array(2);
        out.pack(code);
        value(out);
    });
}

TEST(Wire, EveryTypeCodeRoundTripsExactly) {
    const Request original = sampleRequest(probe::every_type_sample());
    const std::string bytes = tuplink::encode_to_string(original);
    ASSERT_FALSE(bytes.empty());
    EXPECT_EQ(bytes.size(), tuplink::encoded_size(original));
    Request decoded;
    ASSERT_EQ(decode(bytes, decoded), 0);
    EXPECT_EQ(decoded.id, original.id);
    EXPECT_EQ(decoded.service, original.service);
    EXPECT_EQ(decoded.method, original.method);
    EXPECT_EQ(decoded.arguments, original.arguments);

    tuplink::Reply reply;
    reply.id = 9;
    reply.status = -1000014;
    reply.results = probe::every_type_sample();
    std::string replyBytes = tuplink::encode_to_string(reply);
    tuplink::Reply back;
    ASSERT_EQ(tuplink::decode_reply(reinterpret_cast<std::byte*>(replyBytes.data()),
                                    replyBytes.size(), nullptr, back),
              0);
    EXPECT_EQ(back.status, -1000014);
    EXPECT_EQ(back.results, reply.results);
}

TEST(Wire, RequestsHaveTheDocumentedBytes) {
    Request request;
    request.id = 1;
    request.service = "s";
    request.instance = "i";
    request.interface = "f";
    request.method = "m";
    request.arguments.set_class_name("C");
    request.arguments.set_int(Symbol("n"), 5);
    const float half[] = {0.5f};
    request.arguments.set_array_float(Symbol("v"), half, 1);
    const unsigned char expected[] = {
        0x97, 0x01, 0x01, 0xa1, 's',  0xa1, 'i',  0xa1, 'f',  0xa1, 'm',  // head
        0x92, 0xa1, 'C',  0x82,                                           // tuple "C", 2 keys
        0xa1, 'n',  0x92, 0x03, 0x05,                                     // "n": int 5
        0xa1, 'v',  0x92, 0x0e, 0xc4, 0x04, 0x00, 0x00, 0x00, 0x3f};      // "v": floats 0.5
    EXPECT_EQ(tuplink::encode_to_string(request),
              std::string(reinterpret_cast<const char*>(expected), sizeof expected));
}

TEST(Wire, BlobsViewTheMessageWhenAKeeperIsGiven) {
    Tuple arguments;
    arguments.set_value(Symbol("b"), tuplink::TYPE_BLOB);
    static_cast<tuplink::Blob*>(arguments.get_pvalue(Symbol("b"), tuplink::TYPE_BLOB))
        ->set(4096, nullptr);
    auto message =
        std::make_shared<std::string>(tuplink::encode_to_string(sampleRequest(arguments)));
    auto* bytes = reinterpret_cast<std::byte*>(message->data());
    Request request;
    ASSERT_EQ(tuplink::decode_request(bytes, message->size(), message, request), 0);
    const auto* blob =
        static_cast<tuplink::Blob*>(request.arguments.get_pvalue(Symbol("b"), tuplink::TYPE_BLOB));
    EXPECT_GE(blob->data(), bytes);
    EXPECT_LT(blob->data(), bytes + message->size()) << "no copy of the bytes";
    EXPECT_EQ(message.use_count(), 2);
}

TEST(Wire, MalformedMessagesOfEveryKindAreRefused) {
    using Packer = msgpack::packer<msgpack::sbuffer>;
    const std::string valid = tuplink::encode_to_string(sampleRequest(probe::every_type_sample()));
    const int malformed = tuplink::STATUS_MALFORMED;
    EXPECT_EQ(decode("\xc1"), malformed) << "not msgpack";
    EXPECT_EQ(decode(""), malformed);
    EXPECT_EQ(decode(valid.substr(0, valid.size() - 1)), malformed) << "truncated";
    EXPECT_EQ(decode(valid + '\0'), malformed) << "trailing bytes";
    EXPECT_EQ(decode(handMade([](Packer&) {}, 1, 6)), malformed) << "too few fields";
    EXPECT_EQ(decode(handMade([](Packer& out) { out.pack(1); })), malformed) << "not a tuple";
    EXPECT_EQ(decode(withEntry(4, [](Packer& out) { out.pack(1); })), malformed)
        << "unknown type code";
    EXPECT_EQ(decode(withEntry(3, [](Packer& out) { out.pack(std::string("1")); })), malformed);
    EXPECT_EQ(decode(withEntry(3, [](Packer& out) { out.pack(2147483648ll); })), malformed)
        << "int out of range";
    EXPECT_EQ(decode(withEntry(2, [](Packer& out) { out.pack(1); })), malformed);
    EXPECT_EQ(decode(withEntry(5, [](Packer& out) { out.pack(std::string("1")); })), malformed);
    Request lenient;
    ASSERT_EQ(decode(withEntry(5, [](Packer& out) { out.pack(-3); }), lenient), 0)
        << "an integral float written as an integer is taken";
    EXPECT_EQ(lenient.arguments.get_float(Symbol("k"), 1.0), -3.0);
    EXPECT_EQ(decode(withEntry(9, [](Packer& out) { out.pack(std::string("bytes")); })), malformed);
    EXPECT_EQ(decode(withEntry(14,
                               [](Packer& out) {
                                   out.pack_bin(3);
                                   out.pack_bin_body("abc", 3);
                               })),
              malformed)
        << "float array of 3 bytes";
    EXPECT_EQ(decode(withEntry(18,
                               [](Packer& out) {
                                   out.pack_array(1);
                                   out.pack(1.5);
                               })),
              malformed);
    EXPECT_EQ(decode(withEntry(7, [](Packer& out) { out.pack(std::string("a\0b", 3)); })),
              malformed)
        << "NUL in a string";
    EXPECT_EQ(decode(withEntry(7, [](Packer& out) { out.pack(std::string("\xc3\x28")); })),
              malformed)
        << "invalid UTF-8";
    EXPECT_EQ(decode(handMade([](Packer& out) {
                  out.pack_array(2);
                  out.pack(std::string("C"));
                  out.pack_map(2);
                  for (int twice = 0; twice < 2; ++twice) {
                      out.pack(std::string("k"));
                      out.pack_array(2);
                      out.pack(3);
                      out.pack(twice);
                  }
              })),
              malformed)
        << "a key given twice";
    Request request;
    EXPECT_EQ(decode(handMade([](Packer& out) { out.pack(1); }, 2), request),
              tuplink::STATUS_UNSUPPORTED_VERSION);
    EXPECT_EQ(request.id, 77u) << "the id is known for the error reply";
}

TEST(Wire, DeclaredCountsAndDepthAreBoundedBeforeAnyAllocation) {
    // An array header that claims 4 billion elements, then nothing.
    EXPECT_EQ(decode(std::string("\xdd\xff\xff\xff\xff", 5)), tuplink::STATUS_MALFORMED);
    EXPECT_EQ(decode(std::string("\xc6\xff\xff\xff\xff", 5)), tuplink::STATUS_MALFORMED);
    Tuple nested("Level");
    for (int level = 0; level < 40; ++level) {
        Tuple outer("Level");
        outer.set_value(Symbol("inner"), tuplink::TYPE_TUPLE, &nested, false, true);
        nested = std::move(outer);
    }
    EXPECT_EQ(decode(tuplink::encode_to_string(sampleRequest(nested))), tuplink::STATUS_MALFORMED)
        << "deeper than the limit";
    Tuple arguments;
    auto* ints = static_cast<tuplink::IntList*>(
        arguments.get_pvalue(Symbol("channels"), tuplink::TYPE_LIST_INT, true));
    for (int channel = 0; channel < 2000; ++channel) {
        ints->push_back(channel);
    }
    std::string bytes = tuplink::encode_to_string(sampleRequest(arguments));
    Request request;
    tuplink::DecodeLimits limits;
    EXPECT_EQ(tuplink::decode_request(reinterpret_cast<std::byte*>(bytes.data()), bytes.size(),
                                      nullptr, request, limits),
              0);
    limits.max_elements = 1000;
    EXPECT_EQ(tuplink::decode_request(reinterpret_cast<std::byte*>(bytes.data()), bytes.size(),
                                      nullptr, request, limits),
              tuplink::STATUS_MALFORMED)
        << "more objects than the limit";
}

TEST(Wire, RandomAndMutatedMessagesNeverBreakTheDecoder) {
    std::mt19937 random(12345);
    const std::string valid = tuplink::encode_to_string(sampleRequest(probe::every_type_sample()));
    int accepted = 0;
    for (int round = 0; round < 4000; ++round) {
        std::string bytes;
        if (round % 4 == 0) {
            bytes.resize(random() % 64);
            for (char& byte : bytes) {
                byte = static_cast<char>(random());
            }
        } else {
            bytes = valid;
            for (unsigned flips = 1 + random() % 4; flips > 0; --flips) {
                bytes[random() % bytes.size()] = static_cast<char>(random());
            }
            if (round % 3 == 0) {
                bytes.resize(random() % bytes.size());
            }
        }
        Request request;
        const int status = decode(bytes, request);
        ASSERT_TRUE(status == 0 || status == tuplink::STATUS_MALFORMED ||
                    status == tuplink::STATUS_UNSUPPORTED_VERSION);
        if (status == 0) {
            ++accepted;  // whatever was accepted encodes and decodes to itself
            Request again;
            ASSERT_EQ(decode(tuplink::encode_to_string(request), again), 0);
            EXPECT_EQ(again.arguments, request.arguments);
        }
    }
    EXPECT_LT(accepted, 4000);
}

}  // namespace
