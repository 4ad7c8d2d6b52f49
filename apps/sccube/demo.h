#pragma once

#include <string>

#include "synth/eds_synthesizer.h"

struct DemoOptions {
    std::string outputDirectory = "demo-output";
    eds::SynthesisOptions synthesis;
};

// The demonstration run by `sccube demo`: synthesises a spectrum image, stores it in every
// form the library writes, reads each back and checks it against the source, and renders ROI
// images of element lines. Prints what it does; returns the process exit status.
int runDemo(const DemoOptions& options);
