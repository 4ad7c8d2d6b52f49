#include "cli_arguments.h"

#include <cmath>
#include <sstream>

namespace {

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::string part;
    std::istringstream in(text);
    while (std::getline(in, part, separator)) {
        parts.push_back(part);
    }
    if (!text.empty() && text.back() == separator) {
        parts.emplace_back();
    }
    return parts;
}

std::optional<unsigned> parseUnsigned(const std::string& text) {
    if (text.empty() || text.size() > 10 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const unsigned long long value = std::stoull(text);
    if (value > 0xFFFFFFFFull) {
        return std::nullopt;
    }
    return static_cast<unsigned>(value);
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

std::string extensionOf(const std::string& name) {
    const std::size_t slash = name.rfind('/');
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
        return {};
    }
    return name.substr(dot);
}

}  // namespace

std::optional<std::vector<unsigned>> parseUnsignedList(const std::string& text, std::size_t count) {
    const std::vector<std::string> parts = split(text, ',');
    if (parts.size() != count) {
        return std::nullopt;
    }
    std::vector<unsigned> values;
    for (const std::string& part : parts) {
        const std::optional<unsigned> value = parseUnsigned(part);
        if (!value) {
            return std::nullopt;
        }
        values.push_back(*value);
    }
    return values;
}

std::optional<Rect> parseRect(const std::string& text) {
    const auto values = parseUnsignedList(text, 4);
    if (!values) {
        return std::nullopt;
    }
    return Rect{(*values)[0], (*values)[1], (*values)[2], (*values)[3]};
}

std::optional<std::pair<unsigned, unsigned>> parseChannels(const std::string& text) {
    const std::vector<std::string> parts = split(text, ':');
    if (parts.empty() || parts.size() > 2) {
        return std::nullopt;
    }
    const std::optional<unsigned> first = parseUnsigned(parts[0]);
    const std::optional<unsigned> count = parts.size() == 2 ? parseUnsigned(parts[1]) : 1u;
    if (!first || !count || *count == 0) {
        return std::nullopt;
    }
    return std::make_pair(*first, *count);
}

std::optional<std::pair<double, double>> parseInterval(const std::string& text) {
    const std::vector<std::string> parts = split(text, ':');
    if (parts.size() != 2) {
        return std::nullopt;
    }
    const std::optional<double> low = parseReal(parts[0]);
    const std::optional<double> high = parseReal(parts[1]);
    if (!low || !high || *low > *high) {
        return std::nullopt;
    }
    return std::make_pair(*low, *high);
}

std::optional<SCCubeForm> parseForm(const std::string& text) {
    if (text == "scd") {
        return SCCubeForm::SCD;
    }
    if (text == "raw-vector") {
        return SCCubeForm::RAW_VECTOR;
    }
    if (text == "raw-image") {
        return SCCubeForm::RAW_IMAGE;
    }
    return std::nullopt;
}

std::optional<OutputTarget> resolveOutput(const std::string& name, const std::string& to,
                                          std::string& error) {
    const std::string extension = extensionOf(name);
    const bool scdName = extension == ".scdh";
    const bool rawName = extension == ".rpl" || extension == ".raw";
    OutputTarget target;
    target.base = scdName || rawName ? name.substr(0, name.size() - extension.size()) : name;
    if (to.empty()) {
        target.form = rawName ? SCCubeForm::RAW_VECTOR : SCCubeForm::SCD;
        return target;
    }
    const std::optional<SCCubeForm> form = parseForm(to);
    if (!form) {
        error = "--to must be scd, raw-vector or raw-image";
        return std::nullopt;
    }
    const bool rawForm = *form != SCCubeForm::SCD;
    if ((scdName && rawForm) || (rawName && !rawForm)) {
        error = name + ": the extension does not match --to " + to;
        return std::nullopt;
    }
    target.form = *form;
    return target;
}
