#include "raw/raw_header_io.h"

#include <array>
#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <utility>

#include "io/file_stream.h"

namespace {

// The keys a header must hold, in the order their absence is reported.
constexpr std::array<const char*, 7> kRequiredKeys = {
    "width", "height", "depth", "record-by", "data-type", "data-length", "byte-order"};

// Longest word kept whole. Every accepted value is far shorter; a longer word is kept cut to
// one character more than this, so it still compares unequal to every accepted value while a
// damaged file cannot make the reader hold more than a few words of this size.
constexpr std::size_t kMaxWordLength = 64;

// Longest header read. Headers are a few hundred bytes; the limit keeps a damaged name (one
// that leads to a device or a huge file) from holding the reader.
constexpr std::size_t kMaxHeaderBytes = 1 << 20;

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Splits a text into whitespace-separated words, cutting each to kMaxWordLength + 1
// characters, and stops after kMaxHeaderBytes characters.
class WordReader {
  public:
    explicit WordReader(std::istream& in) : next_(in), end_() {}

    // The next word, or nothing at the end of the text.
    std::optional<std::string> next() {
        while (!atEnd() && isSpace(*next_)) {
            advance();
        }
        if (atEnd()) {
            return std::nullopt;
        }
        std::string word;
        for (; !atEnd() && !isSpace(*next_); advance()) {
            if (word.size() <= kMaxWordLength) {
                word.push_back(*next_);
            }
        }
        return word;
    }

    // Whether the text goes on beyond kMaxHeaderBytes.
    bool tooLong() const { return consumed_ == kMaxHeaderBytes && next_ != end_; }

  private:
    bool atEnd() const { return next_ == end_ || consumed_ == kMaxHeaderBytes; }
    void advance() {
        ++next_;
        ++consumed_;
    }

    std::istreambuf_iterator<char> next_;
    std::istreambuf_iterator<char> end_;
    std::size_t consumed_ = 0;  // characters taken so far
};

// The one optional key that is examined.
constexpr const char* kOffsetKey = "offset";

bool isExaminedKey(const std::string& word) {
    for (const char* key : kRequiredKeys) {
        if (word == key) {
            return true;
        }
    }
    return word == kOffsetKey;
}

// The last value of every required key, and of "offset", found in the text. A trailing key without
// a value gets an empty one. Nothing when the text is longer than kMaxHeaderBytes.
std::optional<std::map<std::string, std::string>> readRequiredPairs(std::istream& in) {
    std::map<std::string, std::string> pairs;
    WordReader words(in);
    while (std::optional<std::string> key = words.next()) {
        std::string value = words.next().value_or(std::string());
        if (isExaminedKey(*key)) {
            pairs[*key] = std::move(value);
        }
    }
    if (words.tooLong()) {
        return std::nullopt;
    }
    return pairs;
}

// A plain unsigned decimal number (digits only) that fits in 32 bits.
std::optional<unsigned> parseUnsigned(const std::string& text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 0xFFFFFFFFu) {
            return std::nullopt;
        }
    }
    return static_cast<unsigned>(value);
}

// Whether the data start at byte 0 of the data file: no "offset" key, or an offset of 0.
bool startsAtFirstByte(const std::map<std::string, std::string>& pairs) {
    const auto offset = pairs.find(kOffsetKey);
    return offset == pairs.end() || parseUnsigned(offset->second) == 0u;
}

const char* recordByText(SCRawHeader::StorageFormat format) {
    switch (format) {
        case SCRawHeader::RECORD_BY_VECTOR:
            return "vector";
        case SCRawHeader::RECORD_BY_IMAGE:
            return "image";
    }
    return "";
}

}  // namespace

SCErrorCode readRplHeader(const std::string& rplPath, SCRawHeader& header) {
    if (!isRegularFile(rplPath)) {
        return SC_FILE_ERROR;
    }
    std::ifstream in(rplPath);
    if (!in.is_open()) {
        return SC_FILE_ERROR;
    }
    const std::optional<std::map<std::string, std::string>> found = readRequiredPairs(in);
    if (!found) {
        return SC_FORMAT_ERROR;
    }
    const std::map<std::string, std::string>& pairs = *found;
    for (const char* key : kRequiredKeys) {
        if (pairs.count(key) == 0) {
            return SC_FORMAT_ERROR;
        }
    }
    const std::optional<unsigned> width = parseUnsigned(pairs.at("width"));
    const std::optional<unsigned> height = parseUnsigned(pairs.at("height"));
    const std::optional<unsigned> depth = parseUnsigned(pairs.at("depth"));
    const std::optional<unsigned> dataLength = parseUnsigned(pairs.at("data-length"));
    if (!width || !height || !depth || !dataLength) {
        return SC_FORMAT_ERROR;
    }
    header.width() = *width;
    header.height() = *height;
    header.depth() = *depth;
    if (*dataLength != 4 || pairs.at("data-type") != "unsigned" ||
        pairs.at("byte-order") != "little-endian" || !startsAtFirstByte(pairs)) {
        return SC_FORMAT_ERROR;
    }
    const std::string& recordBy = pairs.at("record-by");
    if (recordBy == "vector") {
        header.format() = SCRawHeader::RECORD_BY_VECTOR;
    } else if (recordBy == "image") {
        header.format() = SCRawHeader::RECORD_BY_IMAGE;
    } else {
        return SC_FORMAT_ERROR;
    }
    return SC_OK;
}

SCErrorCode writeSCRawHeader(const std::string& rplPath, const SCRawHeader& header) {
    std::ostringstream out;
    out << "key\tvalue\n"
        << "width\t" << header.width() << '\n'
        << "height\t" << header.height() << '\n'
        << "depth\t" << header.depth() << '\n'
        << "offset\t0\n"
        << "data-length\t4\n"
        << "data-type\tunsigned\n"
        << "byte-order\tlittle-endian\n"
        << "record-by\t" << recordByText(header.format()) << '\n';
    const std::string text = std::move(out).str();
    return publishFile(rplPath, text.data(), text.size());
}
