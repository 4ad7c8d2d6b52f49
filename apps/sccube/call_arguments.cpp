#include "call_arguments.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>

namespace {

bool parseInt(const std::string& text, int& value) {
    if (text.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long parsed = std::strtol(text.c_str(), &end, 10);
    if (*end != '\0' || errno != 0 || parsed < INT_MIN || parsed > INT_MAX) {
        return false;
    }
    value = static_cast<int>(parsed);
    return true;
}

bool parseFloat(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return *end == '\0';
}

bool parseInts(const std::string& text, tuplink::IntList& list) {
    std::istringstream items(text);
    std::string item;
    while (std::getline(items, item, ',')) {
        int value = 0;
        if (!parseInt(item, value)) {
            return false;
        }
        list.push_back(value);
    }
    return true;
}

bool readBlob(const std::string& value, tuplink::Blob& blob) {
    if (value.empty() || value.front() != '@') {
        return blob.set(value.size(), value.data());
    }
    std::ifstream file(value.substr(1), std::ios::binary);
    if (!file) {
        return false;
    }
    const std::string bytes((std::istreambuf_iterator<char>(file)), {});
    return blob.set(bytes.size(), bytes.data());
}

std::string inferredType(const std::string& value) {
    int integer = 0;
    double real = 0.0;
    tuplink::IntList list;
    if (value == "true" || value == "false") {
        return "bool";
    }
    if (parseInt(value, integer)) {
        return "int";
    }
    if (parseFloat(value, real)) {
        return "float";
    }
    if (value.find(',') != std::string::npos && parseInts(value, list)) {
        return "ints";
    }
    return "str";
}

// Stores `value` of `type` under `key` in `tuple`.
bool store(tuplink::Tuple& tuple, const std::string& key, const std::string& type,
           const std::string& value, std::string& error) {
    const tuplink::Symbol symbol(key);
    int integer = 0;
    double real = 0.0;
    if (type == "int" && parseInt(value, integer)) {
        tuple.set_int(symbol, integer);
    } else if (type == "float" && parseFloat(value, real)) {
        tuple.set_float(symbol, real);
    } else if (type == "bool" && (value == "true" || value == "false")) {
        tuple.set_bool(symbol, value == "true");
    } else if (type == "str" && value.find('\0') == std::string::npos) {
        tuple.set_string(symbol, value.c_str());
    } else if (type == "ints") {
        tuplink::IntList list;
        if (!parseInts(value, list)) {
            error = "not a list of integers: " + value;
            return false;
        }
        tuple.set_value(symbol, tuplink::TYPE_LIST_INT, &list, false, true);
    } else if (type == "blob") {
        tuplink::Blob blob;
        if (!readBlob(value, blob)) {
            error = "cannot read the blob " + value;
            return false;
        }
        tuple.set_value(symbol, tuplink::TYPE_BLOB, &blob, false, true);
    } else {
        error = "not a value of type " + type + ": " + value;
        return false;
    }
    return true;
}

}  // namespace

bool parseCallArguments(const std::vector<std::string>& arguments, tuplink::Tuple& tuple,
                        std::string& error) {
    for (const std::string& argument : arguments) {
        const auto equals = argument.find('=');
        if (equals == std::string::npos || equals == 0) {
            error = "expected KEY=VALUE or KEY:TYPE=VALUE, got " + argument;
            return false;
        }
        std::string key = argument.substr(0, equals);
        const std::string value = argument.substr(equals + 1);
        std::string type;
        if (const auto colon = key.find(':'); colon != std::string::npos) {
            type = key.substr(colon + 1);
            key.erase(colon);
        } else {
            type = inferredType(value);
        }
        tuplink::Tuple* target = &tuple;
        for (auto dot = key.find('.'); dot != std::string::npos; dot = key.find('.')) {
            const tuplink::Symbol parent(key.substr(0, dot));
            target =
                static_cast<tuplink::Tuple*>(target->get_pvalue(parent, tuplink::TYPE_TUPLE, true));
            key.erase(0, dot + 1);
            if (target == nullptr) {
                error = "cannot nest values under " + std::string(parent.str());
                return false;
            }
        }
        if (key.empty() || !store(*target, key, type, value, error)) {
            if (error.empty()) {
                error = "empty key in " + argument;
            }
            return false;
        }
    }
    return true;
}
