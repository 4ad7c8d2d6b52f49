#pragma once

#include <cstddef>
#include <list>

#include "tuplink/export.h"

namespace tuplink {

// A doubly linked list of values, oldest insertion first at the end it was appended to.
// Inserting copies the value into the list (for an AutoRef: attaches a reference); erasing an
// element or clearing the list destroys the copies (releases the references). Iterators stay
// valid until their element is erased. Not synchronised: callers guard a shared list.
template <class T>
class TUPLINK_EXPORT BaseList {
  public:
    using value_type = T;
    using iterator = typename std::list<T>::iterator;
    using const_iterator = typename std::list<T>::const_iterator;

    iterator begin() { return elements_.begin(); }
    iterator end() { return elements_.end(); }
    const_iterator begin() const { return elements_.begin(); }
    const_iterator end() const { return elements_.end(); }

    bool empty() const { return elements_.empty(); }
    std::size_t size() const { return elements_.size(); }
    // REQUIRES: !empty().
    T& front() { return elements_.front(); }
    const T& front() const { return elements_.front(); }
    T& back() { return elements_.back(); }
    const T& back() const { return elements_.back(); }

    // Inserts a copy of `value` before `position`; returns the new element.
    iterator insert(const_iterator position, const T& value) {
        return elements_.insert(position, value);
    }
    // Appends a copy of `value` at the end.
    void push_back(const T& value) { elements_.push_back(value); }
    // Destroys the element at `position`; returns the element that followed it.
    iterator erase(const_iterator position) { return elements_.erase(position); }
    // Destroys every element.
    void clear() { elements_.clear(); }
    // Moves the element at `position` of `source` to the end of this list, without copying or
    // destroying it. `source` may be this list.
    void splice_back(BaseList& source, const_iterator position) {
        elements_.splice(elements_.end(), source.elements_, position);
    }
    // Moves every element of `source` to the end of this list, in order, without copying;
    // `source` is left empty. REQUIRES: `source` is not this list.
    void splice(BaseList& source) { elements_.splice(elements_.end(), source.elements_); }

    friend bool operator==(const BaseList& a, const BaseList& b) {
        return a.elements_ == b.elements_;
    }

  private:
    std::list<T> elements_;  // the values, in list order
};

}  // namespace tuplink
