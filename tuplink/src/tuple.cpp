#include "tuplink/tuple.h"

#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

namespace tuplink {

namespace {

Tuple::Value::Storage emptyStorage(Types type) {
    switch (type) {
        case TYPE_BOOL:
            return false;
        case TYPE_INT:
            return 0;
        case TYPE_FLOAT:
            return 0.0;
        case TYPE_STRING:
            return AString();
        case TYPE_BLOB:
            return Blob();
        case TYPE_ARRAY_FLOAT:
            return Array<float>();
        case TYPE_TUPLE:
            return Tuple();
        case TYPE_LIST_INT:
            return IntList();
        case TYPE_LIST_TUPLE:
            return TupleList();
    }
    return false;
}

// Fills `target` from the object at `source`, of the C++ type of `target`'s alternative.
template <class T>
void fill(T& target, const void* source, bool move) {
    T& object = *const_cast<T*>(static_cast<const T*>(source));
    if constexpr (std::is_same_v<T, Blob> || std::is_same_v<T, Tuple> ||
                  std::is_same_v<T, IntList> || std::is_same_v<T, TupleList>) {
        if (move) {
            target.splice(object);
        } else {
            target = object;
        }
    } else if constexpr (std::is_arithmetic_v<T>) {
        target = object;
    } else if (move) {
        target = std::move(object);
        object = T();
    } else {
        target = object;
    }
}

bool sameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

}  // namespace

bool is_type_code(int code) {
    switch (code) {
        case TYPE_BOOL:
        case TYPE_INT:
        case TYPE_FLOAT:
        case TYPE_STRING:
        case TYPE_BLOB:
        case TYPE_ARRAY_FLOAT:
        case TYPE_TUPLE:
        case TYPE_LIST_INT:
        case TYPE_LIST_TUPLE:
            return true;
    }
    return false;
}

Tuple::Value::Value(Types type) : type_(type), storage_(emptyStorage(type)) {}

void* Tuple::Value::get_pvalue() {
    return std::visit([](auto& object) -> void* { return &object; }, storage_);
}

const void* Tuple::Value::get_pvalue() const {
    return std::visit([](const auto& object) -> const void* { return &object; }, storage_);
}

bool operator==(const Tuple::Value& a, const Tuple::Value& b) {
    if (a.type_ != b.type_) {
        return false;
    }
    if (a.type_ == TYPE_FLOAT) {
        return sameBits(std::get<double>(a.storage_), std::get<double>(b.storage_));
    }
    return a.storage_ == b.storage_;
}

Tuple::Tuple() = default;
Tuple::Tuple(const char* class_name) : className_(class_name) {}
Tuple::Tuple(Tuple&& other) noexcept = default;
Tuple& Tuple::operator=(Tuple&& other) noexcept = default;
Tuple::~Tuple() = default;

Tuple::Tuple(const Tuple& other) : className_(other.className_) {
    for (const auto& [key, value] : other.values_) {
        values_.emplace(key, std::make_unique<Value>(*value));
    }
}

Tuple& Tuple::operator=(const Tuple& other) {
    if (this != &other) {
        Tuple copy(other);
        *this = std::move(copy);
    }
    return *this;
}

Tuple::Value* Tuple::get_value(const Symbol& key, Types type) {
    auto found = values_.find(key.str());
    return found != values_.end() && found->second->type() == type ? found->second.get() : nullptr;
}

const Tuple::Value* Tuple::get_value(const Symbol& key, Types type) const {
    return const_cast<Tuple*>(this)->get_value(key, type);
}

void* Tuple::get_pvalue(const Symbol& key, Types type, bool create) {
    Value* value = create ? set_value(key, type, nullptr, true) : get_value(key, type);
    return value != nullptr ? value->get_pvalue() : nullptr;
}

Tuple::Value* Tuple::set_value(const Symbol& key, Types type, const void* value, bool keep_existing,
                               bool move_from_value) {
    if (!is_type_code(type)) {
        return nullptr;
    }
    if (keep_existing) {
        if (Value* existing = get_value(key, type)) {
            return existing;
        }
    }
    try {
        auto stored = std::make_unique<Value>(type);
        if (value != nullptr) {
            std::visit([&](auto& target) { fill(target, value, move_from_value); },
                       stored->storage_);
        }
        Value* result = stored.get();
        values_.insert_or_assign(key.str(), std::move(stored));
        return result;
    } catch (...) {  // std::bad_alloc while copying
        return nullptr;
    }
}

void Tuple::set_bool(const Symbol& key, bool value) {
    set_value(key, TYPE_BOOL, &value);
}

void Tuple::set_int(const Symbol& key, int value) {
    set_value(key, TYPE_INT, &value);
}

void Tuple::set_float(const Symbol& key, double value) {
    set_value(key, TYPE_FLOAT, &value);
}

void Tuple::set_string(const Symbol& key, const char* text) {
    AString value(text);
    set_value(key, TYPE_STRING, &value, false, true);
}

bool Tuple::set_array_float(const Symbol& key, const float* values, std::size_t count) {
    Value* stored = set_value(key, TYPE_ARRAY_FLOAT);
    return stored != nullptr && stored->as<Array<float>>().assign_bytes(values, count);
}

void Tuple::set_array_float(const Symbol& key, const Array<float>& values) {
    set_value(key, TYPE_ARRAY_FLOAT, &values);
}

bool Tuple::get_bool(const Symbol& key, bool fallback) const {
    const Value* value = get_value(key, TYPE_BOOL);
    return value != nullptr ? value->as<bool>() : fallback;
}

int Tuple::get_int(const Symbol& key, int fallback) const {
    const Value* value = get_value(key, TYPE_INT);
    return value != nullptr ? value->as<int>() : fallback;
}

double Tuple::get_float(const Symbol& key, double fallback) const {
    const Value* value = get_value(key, TYPE_FLOAT);
    return value != nullptr ? value->as<double>() : fallback;
}

bool Tuple::erase(const Symbol& key) {
    auto found = values_.find(key.str());
    if (found == values_.end()) {
        return false;
    }
    values_.erase(found);
    return true;
}

void Tuple::clear() {
    className_.clear();
    values_.clear();
}

void Tuple::splice(Tuple& source) noexcept {
    className_ = std::move(source.className_);
    values_ = std::move(source.values_);
    source.className_.clear();
    source.values_.clear();
}

bool operator==(const Tuple& a, const Tuple& b) {
    if (a.className_ != b.className_ || a.values_.size() != b.values_.size()) {
        return false;
    }
    for (auto left = a.values_.begin(), right = b.values_.begin(); left != a.values_.end();
         ++left, ++right) {
        if (left->first != right->first || !(*left->second == *right->second)) {
            return false;
        }
    }
    return true;
}

}  // namespace tuplink
