#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sc_api/rect.h"
#include "sc_api/sc_cube_probe.h"

// Parsers of the option values of sccube. Each returns nothing when the text is not of its form.

// "A,B,..." of exactly `count` unsigned decimal numbers.
std::optional<std::vector<unsigned>> parseUnsignedList(const std::string& text, std::size_t count);

// "X,Y,W,H".
std::optional<Rect> parseRect(const std::string& text);

// "FIRST" (count 1) or "FIRST:COUNT".
std::optional<std::pair<unsigned, unsigned>> parseChannels(const std::string& text);

// "LO:HI", two real numbers.
std::optional<std::pair<double, double>> parseInterval(const std::string& text);

// The --to values: "scd", "raw-vector", "raw-image".
std::optional<SCCubeForm> parseForm(const std::string& text);

// Where a convert or import writes: the name given without its extension (".scdh", ".rpl" or
// ".raw"), and the form: --to when given, else the extension's (".scdh": scd; ".rpl", ".raw":
// raw-vector), else scd. Nothing, with `error` set, when --to contradicts the extension.
struct OutputTarget {
    std::string base;
    SCCubeForm form = SCCubeForm::SCD;
};
std::optional<OutputTarget> resolveOutput(const std::string& name, const std::string& to,
                                          std::string& error);
