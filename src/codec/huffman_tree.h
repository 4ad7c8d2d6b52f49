#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

#include "codec/bit_vector.h"
#include "sc_api/shared_ptr.h"

// The Huffman tree of a cube and the walkers that visit it, over the symbol type T. A tree is
// built once and then only read: any number of walkers may visit one tree at the same time.

template <class T>
class HuffmanVisitor;

// A node of a Huffman tree. Nodes are visited through accept() when they are the root of a walk
// and through acceptChild() when they are reached from their parent.
template <class T>
class HuffmanNode {
  public:
    explicit HuffmanNode(std::uint32_t weight) noexcept : weight_(weight) {}
    HuffmanNode(const HuffmanNode&) = delete;
    HuffmanNode& operator=(const HuffmanNode&) = delete;
    virtual ~HuffmanNode() = default;

    virtual void accept(HuffmanVisitor<T>& visitor) = 0;
    virtual void acceptChild(HuffmanVisitor<T>& visitor) = 0;

    // The number of occurrences of the symbols below this node (unsigned 32-bit, wrapping).
    std::uint32_t weight() const noexcept { return weight_; }

  protected:
    std::uint32_t weight_;  // occurrences of the symbols below the node
};

template <class T>
class HuffmanLeaf : public HuffmanNode<T> {
  public:
    HuffmanLeaf(const T& symbol, std::uint32_t weight) : HuffmanNode<T>(weight), symbol_(symbol) {}

    void accept(HuffmanVisitor<T>& visitor) override { visitor.visitLeaf(*this); }
    void acceptChild(HuffmanVisitor<T>& visitor) override { visitor.visitChildLeaf(*this); }

    const T& symbol() const noexcept { return symbol_; }

  private:
    T symbol_;  // the symbol that the path to this leaf codes
};

// An inner node owns its two children; either may be missing in a tree rebuilt from a code
// table that is not complete. Its weight is the sum of its children's weights.
template <class T>
class HuffmanInnerNode : public HuffmanNode<T> {
  public:
    HuffmanInnerNode() noexcept : HuffmanNode<T>(0) {}
    // Destroys the whole subtree without recursion, so that a tree of any depth can be freed.
    ~HuffmanInnerNode() override;

    void accept(HuffmanVisitor<T>& visitor) override { visitor.visitInnerNode(*this); }
    void acceptChild(HuffmanVisitor<T>& visitor) override { visitor.visitChildInnerNode(*this); }

    // The child on the 0 branch, or null.
    HuffmanNode<T>* left() const noexcept { return left_.get(); }
    // The child on the 1 branch, or null.
    HuffmanNode<T>* right() const noexcept { return right_.get(); }
    // The child on the branch of bit, or null.
    HuffmanNode<T>* child(bool bit) const noexcept { return bit ? right() : left(); }

    // Replace a child (destroying the one replaced) and set the weight to the sum of the
    // children's weights, a missing child counting 0.
    void setLeft(std::unique_ptr<HuffmanNode<T>> child) noexcept;
    void setRight(std::unique_ptr<HuffmanNode<T>> child) noexcept;
    void setChild(bool bit, std::unique_ptr<HuffmanNode<T>> child) noexcept {
        if (bit) {
            setRight(std::move(child));
        } else {
            setLeft(std::move(child));
        }
    }

  private:
    using NodePtr = std::unique_ptr<HuffmanNode<T>>;

    void updateWeight() noexcept;
    // Moves node onto the list of inner nodes awaiting destruction, which is linked through
    // their left_ fields, each keeping its right child; a leaf on the way is destroyed at once.
    static void pushForDestruction(NodePtr node, NodePtr& pending) noexcept;

    NodePtr left_;   // child on the 0 branch
    NodePtr right_;  // child on the 1 branch
};

// Base of the tree walkers. The child visits fall back to the plain visits.
template <class T>
class HuffmanVisitor {
  public:
    virtual ~HuffmanVisitor() = default;
    virtual void visitLeaf(HuffmanLeaf<T>&) {}
    virtual void visitInnerNode(HuffmanInnerNode<T>&) {}
    virtual void visitChildLeaf(HuffmanLeaf<T>& leaf) { visitLeaf(leaf); }
    virtual void visitChildInnerNode(HuffmanInnerNode<T>& node) { visitInnerNode(node); }
};

// Frees a tree through its root; the deleter policy of the shared pointer that holds a tree.
template <class T>
struct DeleteHuffmanNode {
    static void free(HuffmanNode<T>* root) { delete root; }
};

// A tree is held by a shared pointer to its root; a null pointer is an empty tree.
template <class T>
using HuffmanTreePtr = SharedPtr<HuffmanNode<T>, DeleteHuffmanNode<T>>;

// Fills a code table with the code of every leaf of the tree it is accepted by: the branches
// from the root to the leaf, bit 0 first. A tree that is a single leaf gives that leaf the
// one-bit code 0. Existing entries of the table are replaced.
template <class T>
class HuffmanCodesProcessor : public HuffmanVisitor<T> {
  public:
    explicit HuffmanCodesProcessor(std::map<T, BitVector>& codes) : codes_(codes) {}

    void visitLeaf(HuffmanLeaf<T>& leaf) override;
    void visitInnerNode(HuffmanInnerNode<T>& node) override;

  private:
    void visitBranch(HuffmanNode<T>* child, bool bit);

    std::map<T, BitVector>& codes_;  // the table being filled
    std::vector<bool> path_;         // branches from the root to the node being visited
};

// Follows one code down a tree being rebuilt from its code table: accepting an inner child
// moves current() to it; accepting a leaf leaves current() where it was.
template <class T>
class HuffmanTreeBuilder : public HuffmanVisitor<T> {
  public:
    explicit HuffmanTreeBuilder(HuffmanInnerNode<T>* current) noexcept : current_(current) {}

    void visitChildInnerNode(HuffmanInnerNode<T>& node) override { current_ = &node; }

    HuffmanInnerNode<T>* current() const noexcept { return current_; }
    void setCurrent(HuffmanInnerNode<T>* node) noexcept { current_ = node; }

  private:
    HuffmanInnerNode<T>* current_;  // the inner node reached so far
};

// Decodes a bit string with a tree, one tree step per bit, appending the symbols to a vector.
// The bits, the output and the tree are not owned and must outlive the decoder.
template <class T>
class HuffmanVectorDecoder : public HuffmanVisitor<T> {
  public:
    // root may be null (an empty tree).
    HuffmanVectorDecoder(const BitVector& bits, std::vector<T>& output,
                         HuffmanNode<T>* root) noexcept
        : bits_(bits), output_(output), root_(root) {}

    // True when the whole bit string decodes into whole symbols, which are appended to the
    // output in order. An empty bit string decodes (to nothing) even with an empty tree. A
    // single-leaf tree decodes n zero bits into n copies of its symbol and refuses any 1 bit.
    // On false, the symbols decoded before the failure remain appended.
    bool decode();

    void visitLeaf(HuffmanLeaf<T>& leaf) override;
    void visitInnerNode(HuffmanInnerNode<T>& node) override { current_ = &node; }

  private:
    bool decodeWithSingleLeaf(BitCursor& cursor);
    bool decodeWithInnerRoot(BitCursor& cursor);

    const BitVector& bits_;                   // the string to decode
    std::vector<T>& output_;                  // where decoded symbols are appended
    HuffmanNode<T>* root_;                    // root of the tree, or null
    HuffmanInnerNode<T>* current_ = nullptr;  // inner node reached so far; null after a leaf
};

// ---------------------------------------------------------------------------------------------

template <class T>
HuffmanInnerNode<T>::~HuffmanInnerNode() {
    NodePtr pending;
    pushForDestruction(std::move(left_), pending);
    pushForDestruction(std::move(right_), pending);
    while (pending) {
        NodePtr node = std::move(pending);
        auto& inner = static_cast<HuffmanInnerNode<T>&>(*node);
        pending = std::move(inner.left_);
        NodePtr right = std::move(inner.right_);
        node.reset();
        pushForDestruction(std::move(right), pending);
    }
}

template <class T>
void HuffmanInnerNode<T>::pushForDestruction(NodePtr node, NodePtr& pending) noexcept {
    while (node) {
        auto* inner = dynamic_cast<HuffmanInnerNode<T>*>(node.get());
        if (inner == nullptr) {
            return;
        }
        NodePtr left = std::move(inner->left_);
        inner->left_ = std::move(pending);
        pending = std::move(node);
        node = std::move(left);
    }
}

template <class T>
void HuffmanInnerNode<T>::setLeft(std::unique_ptr<HuffmanNode<T>> child) noexcept {
    left_ = std::move(child);
    updateWeight();
}

template <class T>
void HuffmanInnerNode<T>::setRight(std::unique_ptr<HuffmanNode<T>> child) noexcept {
    right_ = std::move(child);
    updateWeight();
}

template <class T>
void HuffmanInnerNode<T>::updateWeight() noexcept {
    this->weight_ = (left_ ? left_->weight() : 0u) + (right_ ? right_->weight() : 0u);
}

template <class T>
void HuffmanCodesProcessor<T>::visitLeaf(HuffmanLeaf<T>& leaf) {
    BitVector code(path_.empty() ? 1 : static_cast<std::uint32_t>(path_.size()));
    for (std::size_t i = 0; i < path_.size(); ++i) {
        code.setBit(static_cast<std::uint32_t>(i), path_[i]);
    }
    codes_[leaf.symbol()] = std::move(code);
}

template <class T>
void HuffmanCodesProcessor<T>::visitInnerNode(HuffmanInnerNode<T>& node) {
    visitBranch(node.left(), false);
    visitBranch(node.right(), true);
}

template <class T>
void HuffmanCodesProcessor<T>::visitBranch(HuffmanNode<T>* child, bool bit) {
    if (child == nullptr) {
        return;
    }
    path_.push_back(bit);
    child->acceptChild(*this);
    path_.pop_back();
}

template <class T>
bool HuffmanVectorDecoder<T>::decode() {
    BitCursor cursor(bits_);
    if (cursor.atEnd()) {
        return true;
    }
    if (root_ == nullptr) {
        return false;
    }
    root_->accept(*this);
    return current_ == nullptr ? decodeWithSingleLeaf(cursor) : decodeWithInnerRoot(cursor);
}

template <class T>
void HuffmanVectorDecoder<T>::visitLeaf(HuffmanLeaf<T>& leaf) {
    output_.push_back(leaf.symbol());
    current_ = nullptr;
}

template <class T>
bool HuffmanVectorDecoder<T>::decodeWithSingleLeaf(BitCursor& cursor) {
    if (cursor.next()) {
        return false;
    }
    while (!cursor.atEnd()) {
        if (cursor.next()) {
            return false;
        }
        root_->accept(*this);
    }
    return true;
}

template <class T>
bool HuffmanVectorDecoder<T>::decodeWithInnerRoot(BitCursor& cursor) {
    HuffmanInnerNode<T>* root = current_;
    while (!cursor.atEnd()) {
        HuffmanNode<T>* child = current_->child(cursor.next());
        if (child == nullptr) {
            return false;
        }
        child->acceptChild(*this);
        if (current_ == nullptr) {
            root_->accept(*this);
        }
    }
    return current_ == root;
}
