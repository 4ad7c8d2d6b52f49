#pragma once

#include <climits>
#include <cmath>
#include <limits>

#include "tuplink/tuple.h"

namespace probe {

// A tuple holding every type code, with the edge values of each: empty blobs, arrays and
// lists, extreme ints, NaN and infinities, multi-byte UTF-8, tuples three levels deep.
inline tuplink::Tuple every_type_sample() {
    using tuplink::Symbol;
    tuplink::Tuple leaf("com::example::Leaf");
    leaf.set_int(Symbol("depth"), 3);
    tuplink::Tuple middle("com::example::Middle");
    middle.set_value(Symbol("leaf"), tuplink::TYPE_TUPLE, &leaf);
    tuplink::Tuple sample("com::example::Sample");
    sample.set_value(Symbol("middle"), tuplink::TYPE_TUPLE, &middle);
    sample.set_value(Symbol("empty tuple"), tuplink::TYPE_TUPLE);

    sample.set_bool(Symbol("yes"), true);
    sample.set_bool(Symbol("no"), false);
    sample.set_int(Symbol("min"), INT_MIN);
    sample.set_int(Symbol("max"), INT_MAX);
    sample.set_int(Symbol("minus one"), -1);
    sample.set_float(Symbol("pi"), 3.141592653589793);
    sample.set_float(Symbol("one"), 1.0);
    sample.set_float(Symbol("zero"), 0.0);
    sample.set_float(Symbol("minus zero"), -0.0);
    sample.set_float(Symbol("2^60"), 1152921504606846976.0);
    sample.set_float(Symbol("nan"), std::nan(""));
    sample.set_float(Symbol("-inf"), -std::numeric_limits<double>::infinity());
    sample.set_string(Symbol("text"), "Gr\u00fc\u00dfe, \u4e16\u754c \u2713 \U0001F600");
    sample.set_string(Symbol("empty text"), "");

    tuplink::Blob blob;
    blob.set(1000, nullptr);
    for (std::size_t index = 0; index < blob.size(); ++index) {
        blob.data()[index] = static_cast<std::byte>(index * 7);
    }
    sample.set_value(Symbol("blob"), tuplink::TYPE_BLOB, &blob, false, true);
    sample.set_value(Symbol("empty blob"), tuplink::TYPE_BLOB);

    const float channels[] = {std::numeric_limits<float>::quiet_NaN(),
                              std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(),
                              std::numeric_limits<float>::denorm_min(),
                              -0.0f,
                              12.5f};
    sample.set_array_float(Symbol("values"), channels, 6);
    sample.set_value(Symbol("empty values"), tuplink::TYPE_ARRAY_FLOAT);

    auto* ints = static_cast<tuplink::IntList*>(
        sample.get_pvalue(Symbol("channels"), tuplink::TYPE_LIST_INT, true));
    for (int value : {5, 2, INT_MIN, 0, INT_MAX, -1}) {
        ints->push_back(value);
    }
    sample.set_value(Symbol("no channels"), tuplink::TYPE_LIST_INT);
    auto* tuples = static_cast<tuplink::TupleList*>(
        sample.get_pvalue(Symbol("spectra"), tuplink::TYPE_LIST_TUPLE, true));
    tuples->push_back(middle);
    tuples->push_back(tuplink::Tuple("com::example::Empty"));
    sample.set_value(Symbol("no spectra"), tuplink::TYPE_LIST_TUPLE);
    return sample;
}

}  // namespace probe
