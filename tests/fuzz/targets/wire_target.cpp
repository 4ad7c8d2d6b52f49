#include <memory>
#include <string>
#include <utility>

#include "fuzz/fuzz_targets.h"
#include "fuzz/targets/fuzz_input.h"
#include "tuplink/wire.h"

namespace fuzz {

namespace {

bool same(const tuplink::Request& a, const tuplink::Request& b) {
    return a.id == b.id && a.service == b.service && a.instance == b.instance &&
           a.interface == b.interface && a.method == b.method && a.arguments == b.arguments;
}

bool same(const tuplink::Reply& a, const tuplink::Reply& b) {
    return a.id == b.id && a.status == b.status && a.results == b.results;
}

int decode(std::string& bytes, std::shared_ptr<void> keeper, tuplink::Request& request) {
    return tuplink::decode_request(reinterpret_cast<std::byte*>(bytes.data()), bytes.size(),
                                   std::move(keeper), request);
}

int decode(std::string& bytes, std::shared_ptr<void> keeper, tuplink::Reply& reply) {
    return tuplink::decode_reply(reinterpret_cast<std::byte*>(bytes.data()), bytes.size(),
                                 std::move(keeper), reply);
}

// Decodes `bytes` as a Message (a request or a reply) with and without a keeper for its blobs;
// both decodings agree. When the message is well formed, coding it again gives a message that
// decodes to the same value.
template <class Message>
void roundTrip(std::string bytes) {
    std::string copy = bytes;
    Message viewed;
    const int viewedStatus = decode(bytes, std::make_shared<int>(0), viewed);
    Message copied;
    const int copiedStatus = decode(copy, nullptr, copied);
    check(viewedStatus == copiedStatus);
    if (viewedStatus != 0) {
        return;
    }
    check(same(viewed, copied));
    std::string again = tuplink::encode_to_string(copied);
    check(!again.empty());
    Message decoded;
    check(decode(again, nullptr, decoded) == 0 && same(decoded, copied));
}

}  // namespace

int wireMessage(const std::uint8_t* data, std::size_t size) {
    // The whole input as a request and as a reply, each decoded from a buffer of its own: a
    // decoder may not read or write outside the message.
    const std::string message(reinterpret_cast<const char*>(data), size);
    roundTrip<tuplink::Request>(message);
    roundTrip<tuplink::Reply>(message);
    return 0;
}

}  // namespace fuzz
