#include "eds_synthesizer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>

namespace eds {

namespace {

std::vector<Phase> specimenPhases() {
    return {
        {"magnetite",
         {{"Fe Ka", 6.404, 1.0},
          {"Fe Kb", 7.058, 0.13},
          {"Fe La", 0.705, 0.15},
          {"O Ka", 0.525, 0.45}},
         0.35,
         1.3},
        {"quartz",
         {{"Si Ka", 1.740, 1.0}, {"Si Kb", 1.836, 0.03}, {"O Ka", 0.525, 0.45}},
         0.30,
         0.9},
        {"calcite",
         {{"Ca Ka", 3.692, 1.0},
          {"Ca Kb", 4.013, 0.13},
          {"C Ka", 0.277, 0.08},
          {"O Ka", 0.525, 0.40}},
         0.35,
         1.0},
        {"aluminium-copper alloy",
         {{"Al Ka", 1.487, 1.0},
          {"Cu Ka", 8.048, 0.6},
          {"Cu Kb", 8.905, 0.08},
          {"Cu La", 0.930, 0.25}},
         0.40,
         1.2},
    };
}

// Probability that a normal variable of mean `mean` and deviation `sigma` lies below x.
double normalCdf(double x, double mean, double sigma) {
    return 0.5 * std::erfc(-(x - mean) / (sigma * std::sqrt(2.0)));
}

// Bremsstrahlung intensity at energy e (Kramers) seen through the detector's entrance window,
// which absorbs the softest photons.
double continuumIntensity(double e, double beamEnergy) {
    if (e <= 0.0 || e >= beamEnergy) {
        return 0.0;
    }
    const double windowTransmission = 1.0 - std::exp(-std::pow(e / 0.9, 3.0));
    return (beamEnergy - e) / e * windowTransmission;
}

std::uint64_t mix(std::uint64_t value) {
    value += 0x9e3779b97f4a7c15ULL;
    value = (value ^ (value >> 30)) * 0xbf58476d1ce4e5b9ULL;
    value = (value ^ (value >> 27)) * 0x94d049bb133111ebULL;
    return value ^ (value >> 31);
}

}  // namespace

double SpectrumImageSynthesizer::peakWidthKeV(double keV) {
    const double electronicNoise = 0.060;  // keV
    const double fano = 0.115;
    const double pairEnergy = 0.00364;  // keV per electron-hole pair in silicon
    const double statistical = 2.3548 * 2.3548 * fano * pairEnergy * keV;
    return std::sqrt(electronicNoise * electronicNoise + statistical);
}

SpectrumImageSynthesizer::SpectrumImageSynthesizer(const SynthesisOptions& options)
    : options_(options), phases_(specimenPhases()) {
    for (const Phase& phase : phases_) {
        cumulative_.push_back(phaseDistribution(phase));
    }
    std::mt19937_64 random(mix(options_.seed));
    const unsigned grainCount = 6 + (options_.width * options_.height) / 700;
    std::uniform_real_distribution<double> across(0.0, std::max(1u, options_.width));
    std::uniform_real_distribution<double> down(0.0, std::max(1u, options_.height));
    for (unsigned i = 0; i < grainCount; ++i) {
        grains_.push_back(
            {across(random), down(random), static_cast<unsigned>(i % phases_.size())});
    }
}

unsigned SpectrumImageSynthesizer::channelOf(double keV) const {
    const double channel = std::floor(keV / options_.channelWidthKeV);
    if (channel <= 0.0) {
        return 0;
    }
    return std::min(static_cast<unsigned>(channel), options_.channels - 1);
}

std::vector<double> SpectrumImageSynthesizer::phaseDistribution(const Phase& phase) const {
    const unsigned n = options_.channels;
    const double step = options_.channelWidthKeV;
    std::vector<double> continuum(n, 0.0);
    std::vector<double> peaks(n, 0.0);
    for (unsigned c = 0; c < n; ++c) {
        continuum[c] = continuumIntensity((c + 0.5) * step, options_.beamEnergyKeV);
    }
    for (const XRayLine& line : phase.lines) {
        const double sigma = peakWidthKeV(line.energyKeV) / 2.3548;
        for (unsigned c = 0; c < n; ++c) {
            const double p = normalCdf((c + 1) * step, line.energyKeV, sigma) -
                             normalCdf(c * step, line.energyKeV, sigma);
            peaks[c] += line.weight * p;
        }
    }
    double continuumSum = 0.0;
    double peakSum = 0.0;
    for (unsigned c = 0; c < n; ++c) {
        continuumSum += continuum[c];
        peakSum += peaks[c];
    }
    std::vector<double> cumulative(n, 0.0);
    double running = 0.0;
    for (unsigned c = 0; c < n; ++c) {
        double p = 0.0;
        if (continuumSum > 0.0) {
            p += phase.continuumFraction * continuum[c] / continuumSum;
        }
        if (peakSum > 0.0) {
            p += (1.0 - phase.continuumFraction) * peaks[c] / peakSum;
        }
        running += p;
        cumulative[c] = running;
    }
    for (double& value : cumulative) {
        value /= running > 0.0 ? running : 1.0;
    }
    return cumulative;
}

std::vector<double> SpectrumImageSynthesizer::phaseShares(unsigned x, unsigned y) const {
    // Soft-edged grains: every grain attracts the pixel with a weight that falls off with the
    // distance beyond the nearest grain's, so boundaries blur over about two pixels.
    const double softness = 1.5;
    std::vector<double> distances;
    distances.reserve(grains_.size());
    double nearest = std::numeric_limits<double>::max();
    for (const Grain& grain : grains_) {
        const double d = std::hypot(x + 0.5 - grain.x, y + 0.5 - grain.y);
        distances.push_back(d);
        nearest = std::min(nearest, d);
    }
    std::vector<double> shares(phases_.size(), 0.0);
    double total = 0.0;
    for (std::size_t i = 0; i < grains_.size(); ++i) {
        const double weight = std::exp(-(distances[i] - nearest) / softness);
        shares[grains_[i].phase] += weight;
        total += weight;
    }
    for (double& share : shares) {
        share /= total;
    }
    return shares;
}

double SpectrumImageSynthesizer::phaseShare(unsigned p, unsigned x, unsigned y) const {
    return phaseShares(x, y)[p];
}

void SpectrumImageSynthesizer::synthesizeLine(unsigned y, std::uint16_t* line) const {
    const unsigned depth = options_.channels;
    std::fill(line, line + static_cast<std::size_t>(options_.width) * depth, 0);
    if (depth == 0) {
        return;
    }
    std::mt19937_64 random(mix(options_.seed ^ mix(y + 1)));
    std::uniform_real_distribution<double> uniform(0.0, 1.0);
    for (unsigned x = 0; x < options_.width; ++x) {
        const std::vector<double> shares = phaseShares(x, y);
        double brightness = 0.0;
        for (std::size_t p = 0; p < phases_.size(); ++p) {
            brightness += shares[p] * phases_[p].brightness;
        }
        std::poisson_distribution<unsigned> events(options_.meanCountsPerPixel * brightness);
        const unsigned count = events(random);
        std::uint16_t* spectrum = line + static_cast<std::size_t>(x) * depth;
        for (unsigned e = 0; e < count; ++e) {
            double pick = uniform(random);
            std::size_t phase = 0;
            while (phase + 1 < shares.size() && pick >= shares[phase]) {
                pick -= shares[phase];
                ++phase;
            }
            const std::vector<double>& cumulative = cumulative_[phase];
            const auto at = std::upper_bound(cumulative.begin(), cumulative.end(), uniform(random));
            const auto channel = std::min<std::size_t>(at - cumulative.begin(), depth - 1);
            if (spectrum[channel] < std::numeric_limits<std::uint16_t>::max()) {
                ++spectrum[channel];
            }
        }
    }
}

std::vector<std::uint16_t> SpectrumImageSynthesizer::synthesizeCube() const {
    const std::size_t lineValues = static_cast<std::size_t>(options_.width) * options_.channels;
    std::vector<std::uint16_t> cube(lineValues * options_.height);
    for (unsigned y = 0; y < options_.height; ++y) {
        synthesizeLine(y, cube.data() + lineValues * y);
    }
    return cube;
}

}  // namespace eds
