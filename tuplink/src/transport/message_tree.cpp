#include "message_tree.h"

#include <msgpack.hpp>

namespace tuplink::wire {

namespace {

// Builds the tree from the parser's events: a stack of the open containers, every new
// object appended to the innermost one.
class TreeBuilder : public msgpack::null_visitor {
  public:
    TreeBuilder(Node& root, std::size_t maxNodes, std::size_t maxDepth)
        : root_(root), maxNodes_(maxNodes), maxDepth_(maxDepth) {}

    bool visit_nil() { return add(Node::NIL) != nullptr; }
    bool visit_boolean(bool value) { return set(add(Node::BOOL), &Node::boolean, value); }
    bool visit_positive_integer(std::uint64_t value) {
        return set(add(Node::UINT), &Node::unsignedValue, value);
    }
    bool visit_negative_integer(std::int64_t value) {
        return set(add(Node::INT), &Node::signedValue, value);
    }
    bool visit_float32(float value) { return set(add(Node::FLOAT32), &Node::floating, value); }
    bool visit_float64(double value) { return set(add(Node::FLOAT64), &Node::floating, value); }
    bool visit_str(const char* bytes, std::uint32_t size) { return span(Node::STR, bytes, size); }
    bool visit_bin(const char* bytes, std::uint32_t size) { return span(Node::BIN, bytes, size); }
    bool visit_ext(const char* bytes, std::uint32_t size) { return span(Node::EXT, bytes, size); }
    bool start_array(std::uint32_t) { return open(Node::ARRAY); }
    bool end_array() { return close(); }
    bool start_map(std::uint32_t) { return open(Node::MAP); }
    bool end_map() { return close(); }

  private:
    Node* add(Node::Kind kind) {
        if (++nodes_ > maxNodes_) {
            return nullptr;
        }
        Node* node = &root_;
        if (!open_.empty()) {
            node = &open_.back()->children.emplace_back();
        } else if (rootTaken_) {
            return nullptr;
        }
        rootTaken_ = true;
        node->kind = kind;
        return node;
    }
    template <class T, class V>
    static bool set(Node* node, T Node::*field, V value) {
        if (node == nullptr) {
            return false;
        }
        node->*field = value;
        return true;
    }
    bool span(Node::Kind kind, const char* bytes, std::uint32_t size) {
        Node* node = add(kind);
        if (node == nullptr) {
            return false;
        }
        node->bytes = bytes;
        node->size = size;
        return true;
    }
    bool open(Node::Kind kind) {
        if (open_.size() >= maxDepth_) {
            return false;
        }
        Node* node = add(kind);
        if (node == nullptr) {
            return false;
        }
        open_.push_back(node);
        return true;
    }
    bool close() {
        open_.pop_back();
        return true;
    }

    Node& root_;
    const std::size_t maxNodes_;
    const std::size_t maxDepth_;
    std::size_t nodes_ = 0;    // objects seen so far
    bool rootTaken_ = false;   // the top-level object has started
    std::vector<Node*> open_;  // containers not yet closed, outermost first; each is the last
                               // child of the one before, so appending never moves it
};

}  // namespace

bool parse_message(const char* bytes, std::size_t size, std::size_t maxNodes, std::size_t maxDepth,
                   Node& root) {
    root = Node();
    TreeBuilder builder(root, maxNodes, maxDepth);
    std::size_t offset = 0;
    try {
        return msgpack::parse(bytes, size, offset, builder) && offset == size;
    } catch (...) {  // size overflows reported by the parser, std::bad_alloc
        return false;
    }
}

}  // namespace tuplink::wire
