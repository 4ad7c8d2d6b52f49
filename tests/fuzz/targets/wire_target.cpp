#include <cstring>
#include <memory>
#include <string>

#include "fuzz/fuzz_targets.h"
#include "fuzz/targets/fuzz_input.h"
#include "tuplink/wire.h"

namespace fuzz {

namespace {

bool sameHead(const tuplink::Request& a, const tuplink::Request& b) {
    return a.id == b.id && a.service == b.service && a.instance == b.instance &&
           a.interface == b.interface && a.method == b.method;
}

// Decodes `bytes` as a request with and without a keeper for its blobs; both decodings agree.
// When the message is well formed, coding the request again gives a message that decodes to
// the same request.
void requestRoundTrip(std::string bytes) {
    std::string copy = bytes;
    tuplink::Request viewed;
    const int viewedStatus = tuplink::decode_request(
        reinterpret_cast<std::byte*>(bytes.data()), bytes.size(), std::make_shared<int>(0), viewed);
    tuplink::Request copied;
    const int copiedStatus = tuplink::decode_request(reinterpret_cast<std::byte*>(copy.data()),
                                                     copy.size(), nullptr, copied);
    check(viewedStatus == copiedStatus);
    if (viewedStatus != 0) {
        return;
    }
    check(sameHead(viewed, copied) && viewed.arguments == copied.arguments);
    std::string again = tuplink::encode_to_string(copied);
    check(!again.empty());
    tuplink::Request decoded;
    check(tuplink::decode_request(reinterpret_cast<std::byte*>(again.data()), again.size(), nullptr,
                                  decoded) == 0);
    check(sameHead(decoded, copied) && decoded.arguments == copied.arguments);
}

// The same for a reply.
void replyRoundTrip(std::string bytes) {
    std::string copy = bytes;
    tuplink::Reply viewed;
    const int viewedStatus = tuplink::decode_reply(reinterpret_cast<std::byte*>(bytes.data()),
                                                   bytes.size(), std::make_shared<int>(0), viewed);
    tuplink::Reply copied;
    const int copiedStatus = tuplink::decode_reply(reinterpret_cast<std::byte*>(copy.data()),
                                                   copy.size(), nullptr, copied);
    check(viewedStatus == copiedStatus);
    if (viewedStatus != 0) {
        return;
    }
    check(viewed.id == copied.id && viewed.status == copied.status &&
          viewed.results == copied.results);
    std::string again = tuplink::encode_to_string(copied);
    check(!again.empty());
    tuplink::Reply decoded;
    check(tuplink::decode_reply(reinterpret_cast<std::byte*>(again.data()), again.size(), nullptr,
                                decoded) == 0);
    check(decoded.id == copied.id && decoded.status == copied.status &&
          decoded.results == copied.results);
}

}  // namespace

int wireMessage(const std::uint8_t* data, std::size_t size) {
    // The whole input as a request and as a reply, each decoded from a buffer of its own: a
    // decoder may not read or write outside the message.
    const std::string message(reinterpret_cast<const char*>(data), size);
    requestRoundTrip(message);
    replyRoundTrip(message);
    return 0;
}

}  // namespace fuzz
