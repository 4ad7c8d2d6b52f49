#include "raw/foreign_rpl_header.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>

#include "api/sample_buffer.h"

namespace {

constexpr std::size_t kMaxHeaderBytes = 1 << 20;

using Pairs = std::map<std::string, std::string>;

std::string lowered(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// The words of every line that is not a comment, taken in pairs as key (lower-cased) and value;
// a line's last key without a word after it gets an empty value.
Pairs readPairs(std::istream& in, bool& tooLong) {
    std::string text(kMaxHeaderBytes + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<std::size_t>(in.gcount()));
    tooLong = text.size() > kMaxHeaderBytes;
    Pairs pairs;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string key;
        while (words >> key && key[0] != ';' && key[0] != '#') {
            std::string value;
            words >> value;
            pairs[lowered(key)] = value;
        }
    }
    return pairs;
}

std::optional<std::uint64_t> parseCount(const std::string& text) {
    if (text.empty() || text.size() > 19) {
        return std::nullopt;
    }
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value;
}

std::optional<double> parseReal(const std::string& text) {
    try {
        std::size_t used = 0;
        const double value = std::stod(text, &used);
        if (used == text.size() && std::isfinite(value)) {
            return value;
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

class HeaderReader {
  public:
    HeaderReader(const std::string& path, Pairs pairs) : path_(path), pairs_(std::move(pairs)) {}

    SCStatus read(SCForeignRawLayout& layout) {
        SCStatus status = readDimensions(layout);
        if (status.ok()) {
            status = readValueType(layout);
        }
        if (status.ok()) {
            status = readOrder(layout);
        }
        if (status.ok()) {
            readCalibration(layout);
        }
        return status;
    }

  private:
    bool has(const char* key) const { return pairs_.count(key) != 0; }
    std::string value(const char* key) const { return has(key) ? pairs_.at(key) : std::string(); }

    SCStatus damaged(const std::string& detail) const {
        return {SCProblem::DAMAGED_HEADER, path_, detail};
    }
    SCStatus unsupported(const std::string& detail) const {
        return {SCProblem::UNSUPPORTED_LAYOUT, path_, detail};
    }

    SCStatus readCount(const char* key, std::uint64_t limit, std::uint64_t& out) const {
        if (!has(key)) {
            return damaged(std::string("no \"") + key + "\" key");
        }
        const std::optional<std::uint64_t> parsed = parseCount(value(key));
        if (!parsed || *parsed > limit) {
            return damaged(std::string(key) + " \"" + value(key) + "\" is not a valid number");
        }
        out = *parsed;
        return {};
    }

    SCStatus readDimensions(SCForeignRawLayout& layout) const {
        std::uint64_t width = 0;
        std::uint64_t height = 0;
        std::uint64_t depth = 0;
        SCStatus status = readCount("width", 0xFFFFFFFFu, width);
        if (status.ok()) {
            status = readCount("height", 0xFFFFFFFFu, height);
        }
        if (status.ok()) {
            status = readCount("depth", 0xFFFFFFFFu, depth);
        }
        if (status.ok() && has("offset") && !value("offset").empty()) {
            status = readCount("offset", ~std::uint64_t{0}, layout.offset);
        }
        if (!status.ok()) {
            return status;
        }
        if (!checkedProduct(width, height, depth * 8)) {
            return damaged("width x height x depth is too large");
        }
        layout.width = static_cast<unsigned>(width);
        layout.height = static_cast<unsigned>(height);
        layout.depth = static_cast<unsigned>(depth);
        return {};
    }

    SCStatus readValueType(SCForeignRawLayout& layout) const {
        std::uint64_t length = 0;
        if (SCStatus status = readCount("data-length", 64, length); !status.ok()) {
            return status;
        }
        if (!has("data-type")) {
            return damaged("no \"data-type\" key");
        }
        const std::string type = lowered(value("data-type"));
        if (type == "signed") {
            layout.dataType = SCForeignRawLayout::SIGNED;
        } else if (type == "unsigned") {
            layout.dataType = SCForeignRawLayout::UNSIGNED;
        } else if (type == "float") {
            layout.dataType = SCForeignRawLayout::FLOAT;
        } else {
            return unsupported("data-type \"" + value("data-type") + "\"");
        }
        const bool integerLength = length == 1 || length == 2 || length == 4 || length == 8;
        const bool floatLength = length == 4 || length == 8;
        if (layout.dataType == SCForeignRawLayout::FLOAT ? !floatLength : !integerLength) {
            return unsupported("data-type " + type + " with data-length " + std::to_string(length));
        }
        layout.dataLength = static_cast<unsigned>(length);
        const std::string order = lowered(value("byte-order"));
        if (order == "little-endian" || (length == 1 && (order.empty() || order == "dont-care"))) {
            layout.bigEndian = false;
        } else if (order == "big-endian") {
            layout.bigEndian = true;
        } else if (!has("byte-order")) {
            return damaged("no \"byte-order\" key");
        } else {
            return unsupported("byte-order \"" + value("byte-order") + "\"");
        }
        return {};
    }

    SCStatus readOrder(SCForeignRawLayout& layout) const {
        const std::string order = lowered(value("record-by"));
        if (order == "vector") {
            layout.format = SCRawHeader::RECORD_BY_VECTOR;
        } else if (order == "image") {
            layout.format = SCRawHeader::RECORD_BY_IMAGE;
        } else if (layout.depth <= 1 && (order.empty() || order == "dont-care")) {
            layout.format = SCRawHeader::RECORD_BY_VECTOR;
        } else if (!has("record-by")) {
            return damaged("no \"record-by\" key");
        } else {
            return unsupported("record-by \"" + value("record-by") + "\"");
        }
        return {};
    }

    // "depth-scale"/"depth-origin" in "depth-units" (eV by default, or keV), else "ev-per-chan".
    void readCalibration(SCForeignRawLayout& layout) const {
        SCEnergyCalibration calibration;
        if (const std::optional<double> scale = parseReal(value("depth-scale"))) {
            const std::string units = lowered(value("depth-units"));
            const double toEv = units == "kev" ? 1000.0 : 1.0;
            if (!units.empty() && units != "ev" && units != "kev") {
                return;
            }
            calibration.evPerChannel = *scale * toEv;
            calibration.offsetEv = parseReal(value("depth-origin")).value_or(0.0) * toEv;
        } else if (const std::optional<double> evPerChannel = parseReal(value("ev-per-chan"))) {
            calibration.evPerChannel = *evPerChannel;
        }
        if (calibration.isValid()) {
            layout.calibrated = true;
            layout.calibration = calibration;
        }
    }

    std::string path_;
    Pairs pairs_;  // lower-cased key -> first word of its value
};

}  // namespace

SCStatus readForeignRplHeader(const std::string& rplPath, SCForeignRawLayout& layout) {
    std::ifstream in(rplPath);
    if (!in.is_open()) {
        const int error = errno;
        return {error == EACCES || error == EPERM ? SCProblem::PERMISSION_DENIED
                                                  : SCProblem::MISSING_FILE,
                rplPath};
    }
    bool tooLong = false;
    Pairs pairs = readPairs(in, tooLong);
    if (tooLong) {
        return {SCProblem::DAMAGED_HEADER, rplPath, "longer than 1 MiB"};
    }
    SCForeignRawLayout read;
    const SCStatus status = HeaderReader(rplPath, std::move(pairs)).read(read);
    if (status.ok()) {
        layout = read;
    }
    return status;
}
