#include <cstdio>
#include <iostream>
#include <memory>
#include <sstream>

#include "commands.h"
#include "exit_status.h"
#include "sc_api/sc_cube_info.h"

namespace {

struct InfoOptions {
    std::string cube;
    bool json = false;
};

std::string jsonString(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (static_cast<unsigned char>(c) < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

const char* formKey(SCCubeForm form) {
    switch (form) {
        case SCCubeForm::RAW_VECTOR:
            return "raw-vector";
        case SCCubeForm::RAW_IMAGE:
            return "raw-image";
        case SCCubeForm::SCD:
            return "scd";
        case SCCubeForm::FRAGMENTED_SCD:
            return "fragmented-scd";
    }
    return "";
}

std::string bytesText(std::uint64_t bytes) {
    char text[32];
    if (bytes < 1024) {
        std::snprintf(text, sizeof text, "%llu B", static_cast<unsigned long long>(bytes));
    } else if (bytes < 1024 * 1024) {
        std::snprintf(text, sizeof text, "%.1f KiB", static_cast<double>(bytes) / 1024.0);
    } else {
        std::snprintf(text, sizeof text, "%.1f MiB", static_cast<double>(bytes) / 1048576.0);
    }
    return text;
}

void printJson(const SCCubeInfo& info) {
    std::ostringstream out;
    out.precision(10);
    out << "{\n  \"base\": " << jsonString(info.base) << ",\n  \"format\": \"" << formKey(info.form)
        << "\",\n  \"width\": " << info.width << ",\n  \"height\": " << info.height
        << ",\n  \"depth\": " << info.depth << ",\n  \"version\": " << info.version
        << ",\n  \"factor\": " << info.factor << ",\n  \"acquired_pixels\": " << info.acquiredPixels
        << ",\n  \"files\": [";
    for (std::size_t i = 0; i < info.files.size(); ++i) {
        out << (i == 0 ? "\n" : ",\n") << "    {\"path\": " << jsonString(info.files[i].path)
            << ", \"bytes\": " << info.files[i].bytes << "}";
    }
    out << "\n  ],\n  \"total_bytes\": " << info.totalBytes()
        << ",\n  \"ratio_to_16bit_raw\": " << info.ratioTo16Bit()
        << ",\n  \"ratio_to_32bit_raw\": " << info.ratioTo32Bit();
    if (info.form == SCCubeForm::FRAGMENTED_SCD) {
        out << ",\n  \"areas\": [";
        for (std::size_t i = 0; i < info.areas.size(); ++i) {
            const Rect& r = info.areas[i];
            out << (i == 0 ? "\n" : ",\n") << "    {\"x\": " << r.x << ", \"y\": " << r.y
                << ", \"width\": " << r.width << ", \"height\": " << r.height << "}";
        }
        out << "\n  ]";
    }
    if (info.calibrated) {
        out << ",\n  \"calibration\": {\"ev_per_channel\": " << info.calibration.evPerChannel
            << ", \"offset_ev\": " << info.calibration.offsetEv << "}";
    }
    out << "\n}\n";
    std::cout << out.str();
}

void printText(const SCCubeInfo& info) {
    const double acquired = info.width * std::uint64_t{info.height} == 0
                                ? 100.0
                                : 100.0 * static_cast<double>(info.acquiredPixels) /
                                      static_cast<double>(std::uint64_t{info.width} * info.height);
    std::printf("cube         %s\n", info.base.c_str());
    std::printf("format       %s, version %u\n", scCubeFormText(info.form), info.version);
    std::printf("size         %u x %u pixels, %u channels\n", info.width, info.height, info.depth);
    std::printf("factor       %g\n", static_cast<double>(info.factor));
    std::printf("acquired     %llu of %llu pixels (%.1f%%)\n",
                static_cast<unsigned long long>(info.acquiredPixels),
                static_cast<unsigned long long>(std::uint64_t{info.width} * info.height), acquired);
    if (info.calibrated) {
        std::printf("calibration  %g eV per channel, channel 0 at %g eV\n",
                    info.calibration.evPerChannel, info.calibration.offsetEv);
    } else {
        std::printf("calibration  none\n");
    }
    for (std::size_t i = 0; i < info.areas.size(); ++i) {
        const Rect& r = info.areas[i];
        std::printf("area %-7zu at (%u, %u), %u x %u pixels\n", i + 1, r.x, r.y, r.width, r.height);
    }
    for (const SCCubeFileSize& file : info.files) {
        std::printf("file         %s  %s\n", file.path.c_str(), bytesText(file.bytes).c_str());
    }
    std::printf("total        %s\n", bytesText(info.totalBytes()).c_str());
    std::printf("compression  %.2f x against 16-bit raw, %.2f x against 32-bit raw\n",
                info.ratioTo16Bit(), info.ratioTo32Bit());
}

int runInfo(const InfoOptions& options) {
    SCCubeInfo info;
    const SCStatus status = SCCubeInfo::inspect(options.cube, info);
    if (!status.ok()) {
        return reportFailure(status);
    }
    if (options.json) {
        printJson(info);
    } else {
        printText(info);
    }
    return EXIT_OK;
}

}  // namespace

void addInfoCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<InfoOptions>();
    CLI::App* command = app.add_subcommand(
        "info",
        "Describe a cube: its format (raw by vector or by image, compressed, fragmented with its "
        "areas), width, height, depth, scale factor, version, acquired pixels, energy "
        "calibration, files and sizes, and the compression ratio against 16- and 32-bit raw.");
    command
        ->add_option("CUBE", options->cube,
                     "the cube: NAME.scdh, NAME.rpl, NAME.raw, or NAME without extension")
        ->required();
    command->add_flag("--json", options->json, "print one JSON object, for scripts");
    command->footer(kExitStatusHelp);
    command->callback([options, &status] { status = runInfo(*options); });
}
