#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace eds {

// One characteristic X-ray line of an element.
struct XRayLine {
    std::string label;  // element and line, e.g. "Fe Ka"
    double energyKeV;   // line energy
    double weight;      // relative intensity within its phase
};

// A material of the synthetic specimen: its characteristic lines over a continuum.
struct Phase {
    std::string name;
    std::vector<XRayLine> lines;
    double continuumFraction;  // share of the counts that belong to the continuum
    double brightness;         // relative count rate (denser phases emit more)
};

struct SynthesisOptions {
    unsigned width = 128;
    unsigned height = 128;
    unsigned channels = 2048;
    double channelWidthKeV = 0.010;     // 10 eV per channel
    double beamEnergyKeV = 15.0;        // end of the continuum
    double meanCountsPerPixel = 300.0;  // average total counts of a pixel
    std::uint64_t seed = 20261206;
};

// Synthesises a realistic energy-dispersive spectrum image: a specimen made of a few phases
// laid out as soft-edged grains, each pixel's spectrum a mix of its phases' characteristic
// lines (Gaussian peaks whose width grows with energy, as a silicon drift detector's do) over a
// bremsstrahlung continuum, sampled with Poisson statistics.
//
// Every line of the cube is drawn from its own random stream derived from the seed, so a line
// can be produced alone, in any order, and always comes out identical.
class SpectrumImageSynthesizer {
  public:
    explicit SpectrumImageSynthesizer(const SynthesisOptions& options = {});

    const SynthesisOptions& options() const { return options_; }
    const std::vector<Phase>& phases() const { return phases_; }

    // Fills `line` with row y: width spectra of `channels` counts, pixel after pixel.
    void synthesizeLine(unsigned y, std::uint16_t* line) const;
    // The whole cube, spectrum after spectrum in row-major pixel order.
    std::vector<std::uint16_t> synthesizeCube() const;

    // Share of phase p in pixel (x, y); the shares of a pixel add up to 1.
    double phaseShare(unsigned p, unsigned x, unsigned y) const;
    // Channel holding the energy `keV`.
    unsigned channelOf(double keV) const;
    // Full width at half maximum of a peak at `keV`, in keV.
    static double peakWidthKeV(double keV);

  private:
    // Channel probabilities of one phase's spectrum, as a cumulative distribution.
    std::vector<double> phaseDistribution(const Phase& phase) const;
    std::vector<double> phaseShares(unsigned x, unsigned y) const;

    struct Grain {
        double x, y;     // centre, in pixels
        unsigned phase;  // phase of the grain
    };

    SynthesisOptions options_;
    std::vector<Phase> phases_;
    std::vector<std::vector<double>> cumulative_;  // per phase, cumulative channel probability
    std::vector<Grain> grains_;                    // the specimen's microstructure
};

}  // namespace eds
