#include "service/method_object.h"

#include <string>

#include "service/refusal_log.h"
#include "tuplink/status.h"

namespace {

template <class T>
const T* stored(tuplink::Tuple& arguments, const char* key, tuplink::Types type) {
    return static_cast<const T*>(arguments.get_pvalue(tuplink::Symbol(key), type));
}

}  // namespace

int CallArguments::integer(const char* key) const {
    return arguments_.get_int(tuplink::Symbol(key));
}

double CallArguments::real(const char* key) const {
    // A whole number sent where a real is expected (1 for 1.0) is taken at its exact value.
    const tuplink::Symbol symbol(key);
    if (arguments_.get_value(symbol, tuplink::TYPE_FLOAT) == nullptr &&
        arguments_.get_value(symbol, tuplink::TYPE_INT) != nullptr) {
        return arguments_.get_int(symbol);
    }
    return arguments_.get_float(symbol);
}

const tuplink::AString* CallArguments::string(const char* key) const {
    return stored<tuplink::AString>(arguments_, key, tuplink::TYPE_STRING);
}

const tuplink::Tuple* CallArguments::tuple(const char* key) const {
    return stored<tuplink::Tuple>(arguments_, key, tuplink::TYPE_TUPLE);
}

const tuplink::Blob* CallArguments::blob(const char* key) const {
    return stored<tuplink::Blob>(arguments_, key, tuplink::TYPE_BLOB);
}

const tuplink::IntList* CallArguments::intList(const char* key) const {
    return stored<tuplink::IntList>(arguments_, key, tuplink::TYPE_LIST_INT);
}

namespace call_results {

void storeInt(tuplink::Tuple& results, const char* key, int value) {
    results.set_int(tuplink::Symbol(key), value);
}

void storeBool(tuplink::Tuple& results, const char* key, bool value) {
    results.set_bool(tuplink::Symbol(key), value);
}

void storeBlob(tuplink::Tuple& results, const char* key, tuplink::Blob& value) {
    results.set_value(tuplink::Symbol(key), tuplink::TYPE_BLOB, &value, false, true);
}

void storeTuple(tuplink::Tuple& results, const char* key, tuplink::Tuple& value) {
    results.set_value(tuplink::Symbol(key), tuplink::TYPE_TUPLE, &value, false, true);
}

void storeTupleList(tuplink::Tuple& results, const char* key, tuplink::TupleList& value) {
    results.set_value(tuplink::Symbol(key), tuplink::TYPE_LIST_TUPLE, &value, false, true);
}

}  // namespace call_results

void reportRefusal(const char* methodName, int status) {
    if (!refusal_log::enabled()) {
        return;
    }
    std::string line = std::string("refused ") + methodName + ": status " + std::to_string(status);
    if (status != -1) {
        line += std::string(" (") + tuplink::status_text(status) + ")";
    }
    refusal_log::write(line);
}
