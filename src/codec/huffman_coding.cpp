#include "codec/huffman_coding.h"

#include <memory>
#include <utility>

namespace {

using Node = HuffmanNode<SCSymbol>;
using Leaf = HuffmanLeaf<SCSymbol>;
using InnerNode = HuffmanInnerNode<SCSymbol>;

// Nodes waiting to be merged, first by weight, then by creation number.
using PrioritySet = std::map<std::pair<std::uint32_t, std::uint64_t>, std::unique_ptr<Node>>;

std::unique_ptr<Node> takeFirst(PrioritySet& nodes) {
    return std::move(nodes.extract(nodes.begin()).mapped());
}

// Adds one code's path below root. False when the table must be refused; innerNodesLeft is the
// number of inner nodes that may still be created.
bool addCode(InnerNode& root, const SCSymbol& symbol, const BitVector& code,
             std::size_t& innerNodesLeft) {
    if (code.bitCount() == 0) {
        return false;
    }
    HuffmanTreeBuilder<SCSymbol> builder(&root);
    BitCursor cursor(code);
    while (cursor.remaining() > 1) {
        bool bit = cursor.next();
        InnerNode* current = builder.current();
        if (current->child(bit) == nullptr) {
            if (innerNodesLeft == 0) {
                return false;
            }
            --innerNodesLeft;
            current->setChild(bit, std::make_unique<InnerNode>());
        }
        current->child(bit)->acceptChild(builder);
        if (builder.current() == current) {
            return false;  // the child is another code's leaf
        }
    }
    bool last = cursor.next();
    InnerNode* current = builder.current();
    if (current->child(last) != nullptr) {
        return false;
    }
    current->setChild(last, std::make_unique<Leaf>(symbol, 0));
    return true;
}

}  // namespace

HuffmanTree buildHuffmanTree(const SCSymbolCounts& counts) {
    PrioritySet nodes;
    std::uint64_t creation = 0;
    for (const auto& [symbol, count] : counts) {
        nodes.emplace(std::pair(count, creation++), std::make_unique<Leaf>(symbol, count));
    }
    if (nodes.empty()) {
        return HuffmanTree();
    }
    while (nodes.size() > 1) {
        auto merged = std::make_unique<InnerNode>();
        merged->setLeft(takeFirst(nodes));
        merged->setRight(takeFirst(nodes));
        std::uint32_t weight = merged->weight();
        nodes.emplace(std::pair(weight, creation++), std::move(merged));
    }
    return HuffmanTree(takeFirst(nodes).release());
}

void computeHuffmanCodes(const HuffmanTree& tree, SCCodeTable& codes) {
    if (tree) {
        HuffmanCodesProcessor<SCSymbol> processor(codes);
        tree->accept(processor);
    }
}

HuffmanTree buildHuffmanTreeFromCodes(const SCCodeTable& codes) {
    if (codes.empty()) {
        return HuffmanTree();
    }
    if (codes.size() == 1) {
        return HuffmanTree(new Leaf(codes.begin()->first, 0));
    }
    auto root = std::make_unique<InnerNode>();
    std::size_t innerNodesLeft = maxInnerNodes(codes.size()) - 1;
    for (const auto& [symbol, code] : codes) {
        if (!addCode(*root, symbol, code, innerNodesLeft)) {
            return HuffmanTree();
        }
    }
    return HuffmanTree(root.release());
}
