#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "sc_api/rect.h"
#include "tuplink/client.h"
#include "tuplink/tuple.h"

namespace service_test {

// Raw calls to one instance of the cube service, for the cases that the cube-level clients do
// not cover (missing arguments, refusals, result keys).
class ServiceCalls {
  public:
    ServiceCalls(tuplink::Client& client, std::string instance)
        : client_(client), instance_(std::move(instance)) {}

    int cube(const char* method, const tuplink::Tuple& arguments, tuplink::Tuple& results) {
        return client_.call("com.tarn.brix.mv.mv_svc", instance_.c_str(),
                            "com.tarn.brix.mv.sc.sc_cube", method, arguments, results);
    }
    int builder(const char* method, const tuplink::Tuple& arguments, tuplink::Tuple& results) {
        return client_.call("com.tarn.brix.mv.mv_svc", instance_.c_str(),
                            "com.tarn.brix.mv.sc.sc_builder", method, arguments, results);
    }
    const std::string& instance() const { return instance_; }

  private:
    tuplink::Client& client_;
    std::string instance_;
};

// A tuple of int values, e.g. ints({{"handle", 0}, {"z", 3}}).
inline tuplink::Tuple ints(std::initializer_list<std::pair<const char*, int>> values) {
    tuplink::Tuple tuple;
    for (const auto& [key, value] : values) {
        tuple.set_int(tuplink::Symbol(key), value);
    }
    return tuple;
}

inline void setArea(tuplink::Tuple& arguments, const Rect& area) {
    tuplink::Tuple tuple = ints({{"x", int(area.x)},
                                 {"y", int(area.y)},
                                 {"width", int(area.width)},
                                 {"height", int(area.height)}});
    arguments.set_value(tuplink::Symbol("area"), tuplink::TYPE_TUPLE, &tuple, false, true);
}

// The "buffer" blob of `results` as 16-bit values; empty when there is none.
inline std::vector<std::uint16_t> bufferOf(tuplink::Tuple& results) {
    const auto* blob = static_cast<const tuplink::Blob*>(
        results.get_pvalue(tuplink::Symbol("buffer"), tuplink::TYPE_BLOB));
    std::vector<std::uint16_t> values;
    if (blob != nullptr) {
        values.resize(blob->size() / 2);
        if (!values.empty()) {
            std::memcpy(values.data(), blob->data(), values.size() * 2);
        }
    }
    return values;
}

inline std::size_t bufferBytes(tuplink::Tuple& results) {
    const auto* blob = static_cast<const tuplink::Blob*>(
        results.get_pvalue(tuplink::Symbol("buffer"), tuplink::TYPE_BLOB));
    return blob == nullptr ? ~std::size_t{0} : blob->size();
}

}  // namespace service_test
