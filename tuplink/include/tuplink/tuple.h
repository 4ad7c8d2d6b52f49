#pragma once

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <variant>

#include "tuplink/astring.h"
#include "tuplink/base_array.h"
#include "tuplink/base_list.h"
#include "tuplink/blob.h"
#include "tuplink/export.h"
#include "tuplink/symbol.h"

namespace tuplink {

// Type codes of tuple values; the same numbers travel on the wire.
enum Types : int {
    TYPE_BOOL = 2,          // bool
    TYPE_INT = 3,           // int (32 bits, signed)
    TYPE_FLOAT = 5,         // double
    TYPE_STRING = 7,        // AString
    TYPE_BLOB = 9,          // Blob
    TYPE_ARRAY_FLOAT = 14,  // Array<float>
    TYPE_TUPLE = 16,        // Tuple
    TYPE_LIST_INT = 18,     // IntList
    TYPE_LIST_TUPLE = 31,   // TupleList
};

// Whether `code` is one of the codes above.
TUPLINK_EXPORT bool is_type_code(int code);

class Tuple;
using IntList = BaseList<int>;
using TupleList = BaseList<Tuple>;

// A call's arguments or results: a class name plus at most one typed value per key. Copies
// are deep; moves and splice() move. Pointers to stored values stay valid until their key is
// set again, erased, or the tuple is cleared or destroyed. Not synchronised.
class TUPLINK_EXPORT Tuple {
  public:
    class Value;

    Tuple();
    explicit Tuple(const char* class_name);
    Tuple(const Tuple& other);
    Tuple& operator=(const Tuple& other);
    Tuple(Tuple&& other) noexcept;
    Tuple& operator=(Tuple&& other) noexcept;
    ~Tuple();

    const char* class_name() const { return className_.c_str(); }
    void set_class_name(const char* name) { className_ = name; }

    // The value stored under `key` when it has type `type`; null when the key is absent or
    // holds another type.
    Value* get_value(const Symbol& key, Types type);
    const Value* get_value(const Symbol& key, Types type) const;
    // The stored object (bool*, int*, double*, AString*, Blob*, Array<float>*, Tuple*,
    // IntList*, TupleList*, by type) under `key`; null when absent or of another type, unless
    // `create` is true, in which case an empty value of the type is stored first.
    void* get_pvalue(const Symbol& key, Types type, bool create = false);

    // Stores a value of `type` under `key`, replacing what the key held, and returns it.
    // `value` points to an object of the type's C++ type (see get_pvalue); null stores an
    // empty value (false, 0, 0.0, "", no bytes, no elements, an empty tuple). With
    // `keep_existing`, a value of the same type already under the key is returned unchanged.
    // With `move_from_value`, the content of *value is moved in (blobs: without copying
    // bytes) and *value is left empty instead of being copied. Returns null, storing nothing,
    // for an unknown type code or when memory cannot be had.
    Value* set_value(const Symbol& key, Types type, const void* value = nullptr,
                     bool keep_existing = false, bool move_from_value = false);

    void set_bool(const Symbol& key, bool value);
    void set_int(const Symbol& key, int value);
    void set_float(const Symbol& key, double value);
    void set_string(const Symbol& key, const char* text);
    // Copies `count` floats from `values`; false when memory cannot be had.
    bool set_array_float(const Symbol& key, const float* values, std::size_t count);
    void set_array_float(const Symbol& key, const Array<float>& values);

    // Stored scalars, or `fallback` when the key is absent or of another type.
    bool get_bool(const Symbol& key, bool fallback = false) const;
    int get_int(const Symbol& key, int fallback = 0) const;
    double get_float(const Symbol& key, double fallback = 0.0) const;

    // Whether the key holds a value of any type.
    bool contains(const Symbol& key) const { return values_.count(key.str()) != 0; }
    // Removes the key's value; false when there was none.
    bool erase(const Symbol& key);
    // Removes every value and the class name.
    void clear();
    // Replaces this tuple's class name and values with those of `source`, which is left
    // empty. Nothing is copied. REQUIRES: `source` is neither this tuple nor inside it.
    void splice(Tuple& source) noexcept;

    std::size_t size() const { return values_.size(); }
    bool empty() const { return values_.empty(); }
    // Calls `visit(key, value)` for every value, in key order.
    template <class Visit>
    void for_each(Visit&& visit) const {
        for (const auto& [key, value] : values_) {
            visit(key, *value);
        }
    }

    // Same class name and the same keys with equal values (floats and float arrays compare
    // by their bits).
    friend TUPLINK_EXPORT bool operator==(const Tuple& a, const Tuple& b);

  private:
    std::string className_;                                              // may be empty
    std::map<std::string, std::unique_ptr<Value>, std::less<>> values_;  // by key
};

// One typed value of a tuple.
class TUPLINK_EXPORT Tuple::Value {
  public:
    using Storage =
        std::variant<bool, int, double, AString, Blob, Array<float>, Tuple, IntList, TupleList>;

    // An empty value of `type`. REQUIRES: is_type_code(type).
    explicit Value(Types type);

    Types type() const { return type_; }
    // The stored object, of the C++ type that goes with type() (see Tuple::get_pvalue).
    void* get_pvalue();
    const void* get_pvalue() const;

    template <class T>
    T& as() {
        return std::get<T>(storage_);
    }
    template <class T>
    const T& as() const {
        return std::get<T>(storage_);
    }

    friend bool operator==(const Value& a, const Value& b);

  private:
    friend class Tuple;

    Types type_;       // the type code
    Storage storage_;  // the object of that type
};

}  // namespace tuplink
