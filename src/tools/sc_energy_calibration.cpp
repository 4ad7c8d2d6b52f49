#include "sc_api/sc_energy_calibration.h"

#include <cerrno>
#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <string>

#include "tools/file_access.h"

namespace {

constexpr const char* kEvPerChannelKey = "ev-per-channel";
constexpr const char* kOffsetKey = "offset-ev";
constexpr std::size_t kMaxWords = 64;  // a calibration file holds four words

}  // namespace

bool SCEnergyCalibration::isValid() const {
    return std::isfinite(evPerChannel) && std::isfinite(offsetEv) && evPerChannel > 0.0;
}

bool SCEnergyCalibration::channelsBetween(double loEv, double hiEv, unsigned depth, unsigned& first,
                                          unsigned& count) const {
    if (!isValid() || !(loEv <= hiEv) || depth == 0) {
        return false;
    }
    const double lowest = std::ceil((loEv - offsetEv) / evPerChannel);
    const double highest = std::floor((hiEv - offsetEv) / evPerChannel);
    const double begin = std::max(lowest, 0.0);
    const double end = std::min(highest, static_cast<double>(depth) - 1.0);
    if (!(begin <= end)) {
        return false;
    }
    first = static_cast<unsigned>(begin);
    count = static_cast<unsigned>(end - begin) + 1;
    return true;
}

bool SCEnergyCalibration::read(const std::string& base, SCEnergyCalibration& out) {
    std::ifstream in(base + EXTENSION);
    std::map<std::string, double> values;
    std::string key;
    std::string value;
    for (std::size_t words = 0; words < kMaxWords && in >> key >> value; words += 2) {
        try {
            std::size_t used = 0;
            const double number = std::stod(value, &used);
            if (used == value.size()) {
                values[key] = number;
            }
        } catch (const std::exception&) {
            // A value that is not a number leaves its key unset.
        }
    }
    SCEnergyCalibration read;
    if (values.count(kEvPerChannelKey) == 0) {
        return false;
    }
    read.evPerChannel = values[kEvPerChannelKey];
    read.offsetEv = values.count(kOffsetKey) != 0 ? values[kOffsetKey] : 0.0;
    if (!read.isValid()) {
        return false;
    }
    out = read;
    return true;
}

SCStatus SCEnergyCalibration::write(const std::string& base) const {
    const std::string path = base + EXTENSION;
    std::ofstream out(path, std::ios::trunc);
    if (!out.is_open()) {
        return statusFromErrno(errno, path, SCProblem::WRITE_FAILED);
    }
    out.precision(std::numeric_limits<double>::max_digits10);
    out << kEvPerChannelKey << '\t' << evPerChannel << '\n'
        << kOffsetKey << '\t' << offsetEv << '\n';
    out.close();
    if (out.fail()) {
        return {SCProblem::WRITE_FAILED, path, writeFailureDetail(path)};
    }
    return {};
}
