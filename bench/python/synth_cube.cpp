// Writes the demonstration's synthetic spectrum image as the cubes the Python benchmark reads:
// DIR/eds.raw (+ .rpl, raw, stored by vector) and DIR/eds.scdh (+ .scds, .scdi, compressed),
// both built line by line through the library from the same lines.
//
// Usage: synth_cube DIR [WIDTH HEIGHT CHANNELS]   (default 256 256 2048)
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "sc_api/sc_api.h"
#include "synth/eds_synthesizer.h"

int main(int argc, char** argv) {
    if (argc != 2 && argc != 5) {
        std::fprintf(stderr, "usage: synth_cube DIR [WIDTH HEIGHT CHANNELS]\n");
        return 2;
    }
    eds::SynthesisOptions options;
    options.width = argc == 5 ? static_cast<unsigned>(std::atoi(argv[2])) : 256;
    options.height = argc == 5 ? static_cast<unsigned>(std::atoi(argv[3])) : 256;
    options.channels = argc == 5 ? static_cast<unsigned>(std::atoi(argv[4])) : 2048;
    const eds::SpectrumImageSynthesizer synthesizer(options);
    const std::string dir = argv[1];
    const SCRawHeader header(options.width, options.height, options.channels,
                             SCRawHeader::RECORD_BY_VECTOR);
    auto raw = SCRawIO::getBuilder(dir + "/eds", header);
    auto compressed =
        SCD::getBuilder(dir + "/eds", options.width, options.height, options.channels, 1.0f);
    if (!raw || !compressed) {
        std::fprintf(stderr, "synth_cube: cannot create the cubes in %s\n", dir.c_str());
        return 1;
    }
    std::vector<std::uint16_t> line(std::size_t{options.width} * options.channels);
    for (unsigned y = 0; y < options.height; ++y) {
        synthesizer.synthesizeLine(y, line.data());
        if (raw->addSpectrumLine(line.data()) != SC_OK ||
            compressed->addSpectrumLine(line.data()) != SC_OK) {
            std::fprintf(stderr, "synth_cube: cannot write line %u\n", y);
            return 1;
        }
    }
    return raw->close() == SC_OK && compressed->close() == SC_OK ? 0 : 1;
}
