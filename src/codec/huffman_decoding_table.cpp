#include "codec/huffman_decoding_table.h"

#include <utility>

namespace {

// Tells a node's kind through the visitor calls, which is how the tree shows it.
class NodeClassifier : public HuffmanVisitor<SCSymbol> {
  public:
    void visitLeaf(HuffmanLeaf<SCSymbol>& leaf) override { leaf_ = &leaf; }
    void visitInnerNode(HuffmanInnerNode<SCSymbol>& node) override { inner_ = &node; }

    // Classifies node; afterwards exactly one of leaf() and inner() is set.
    void classify(HuffmanNode<SCSymbol>& node) {
        leaf_ = nullptr;
        inner_ = nullptr;
        node.accept(*this);
    }
    HuffmanLeaf<SCSymbol>* leaf() const { return leaf_; }
    HuffmanInnerNode<SCSymbol>* inner() const { return inner_; }

  private:
    HuffmanLeaf<SCSymbol>* leaf_ = nullptr;        // the node, when it is a leaf
    HuffmanInnerNode<SCSymbol>* inner_ = nullptr;  // the node, when it is an inner node
};

}  // namespace

HuffmanDecodingTable::HuffmanDecodingTable(HuffmanNode<SCSymbol>* root) {
    if (root == nullptr) {
        return;
    }
    NodeClassifier classifier;
    classifier.classify(*root);
    if (classifier.leaf() != nullptr) {
        shape_ = Shape::kSingleLeaf;
        leaves_.push_back(classifier.leaf()->symbol());
        return;
    }
    // Inner nodes whose children are still to be flattened, with their index.
    std::vector<std::pair<HuffmanInnerNode<SCSymbol>*, std::uint32_t>> pending;
    children_.push_back({kMissing, kMissing});
    pending.emplace_back(classifier.inner(), 0);
    while (!pending.empty()) {
        auto [node, index] = pending.back();
        pending.pop_back();
        for (int branch = 0; branch < 2; ++branch) {
            HuffmanNode<SCSymbol>* child = node->child(branch != 0);
            if (child == nullptr) {
                continue;
            }
            if (children_.size() >= kLeaf - 1 || leaves_.size() >= kLeaf - 1) {
                // Beyond what the indexes can address; such a tree is treated as empty.
                *this = HuffmanDecodingTable();
                return;
            }
            classifier.classify(*child);
            if (classifier.leaf() != nullptr) {
                children_[index][branch] = kLeaf | static_cast<std::uint32_t>(leaves_.size());
                leaves_.push_back(classifier.leaf()->symbol());
            } else {
                auto childIndex = static_cast<std::uint32_t>(children_.size());
                children_[index][branch] = childIndex;
                children_.push_back({kMissing, kMissing});
                pending.emplace_back(classifier.inner(), childIndex);
            }
        }
    }
    shape_ = Shape::kInnerRoot;
    buildRootSteps();
}

void HuffmanDecodingTable::buildRootSteps() {
    rootSteps_.resize(std::size_t{1} << kRootBits);
    for (std::uint32_t bits = 0; bits < rootSteps_.size(); ++bits) {
        RootStep step{0, 0, SCSymbol(0, 0), SCSymbol(0, 0), 0};
        while (step.bitCount < kRootBits && (step.target & kLeaf) == 0) {
            step.target = children_[step.target][(bits >> step.bitCount) & 1];
            ++step.bitCount;
        }
        if ((step.target & kLeaf) != 0 && step.target != kMissing) {
            step.symbol = leaves_[step.target & ~kLeaf];
        }
        rootSteps_[bits] = step;
    }
    // Second codes, from the first steps of the bits that follow a first code.
    for (std::uint32_t bits = 0; bits < rootSteps_.size(); ++bits) {
        RootStep& step = rootSteps_[bits];
        if ((step.target & kLeaf) == 0 || step.target == kMissing || step.bitCount == kRootBits) {
            continue;
        }
        const std::uint32_t rest = bits >> step.bitCount;
        const std::uint32_t restBits = kRootBits - step.bitCount;
        // The steps of `rest` padded with any bits: valid as far as they stay within restBits.
        const RootStep& next = rootSteps_[rest];
        if ((next.target & kLeaf) != 0 && next.target != kMissing && next.bitCount <= restBits) {
            step.second = next.symbol;
            step.secondBits = next.bitCount;
        }
    }
}

bool HuffmanDecodingTable::decode(const BitVector& bits, std::vector<SCSymbol>& output) const {
    return decode(bits, [&output](const SCSymbol& symbol) {
        output.push_back(symbol);
        return true;
    });
}
