#include "sc_api/sc_raw_import.h"

#include <cmath>
#include <vector>

#include "raw/foreign_raw_reader.h"
#include "raw/foreign_rpl_header.h"
#include "sc_api/sc_file_builder.h"
#include "sc_api/sc_raw_io.h"
#include "sc_api/scd.h"
#include "tools/file_access.h"
#include "tools/staged_output.h"

namespace {

const char* typeText(SCForeignRawLayout::DataType type) {
    switch (type) {
        case SCForeignRawLayout::SIGNED:
            return "signed";
        case SCForeignRawLayout::UNSIGNED:
            return "unsigned";
        case SCForeignRawLayout::FLOAT:
            return "float";
    }
    return "";
}

// Turns values into counts, counting (and, when clipping, clipping) those outside 0 ... 65535.
class CountConverter {
  public:
    CountConverter(SCRawImportReport& report, bool clip) : report_(report), clip_(clip) {}

    void convert(const std::vector<double>& values, std::vector<unsigned short>& counts) {
        counts.resize(values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            counts[i] = toCount(values[i]);
        }
        report_.values += values.size();
    }

  private:
    unsigned short toCount(double value) {
        if (std::isnan(value)) {
            ++report_.fractional;
            return 0;
        }
        if (value < 0.0) {
            ++report_.negative;
            return 0;
        }
        if (value > 65535.0) {
            ++report_.tooLarge;
            return 65535;
        }
        if (value != std::floor(value)) {
            ++report_.fractional;
            return static_cast<unsigned short>(clip_ ? std::lround(value) : 0);
        }
        return static_cast<unsigned short>(value);
    }

    SCRawImportReport& report_;
    bool clip_;
};

std::string rangeDetail(const SCRawImportReport& report) {
    return std::to_string(report.negative) + " negative, " + std::to_string(report.fractional) +
           " fractional, " + std::to_string(report.tooLarge) +
           " above 65535; use --clip to clip them";
}

SharedPtr<SCFileBuilder, SCDeleteFileBuilder> makeBuilder(const std::string& base,
                                                          const SCForeignRawLayout& layout,
                                                          SCCubeForm to) {
    if (to == SCCubeForm::SCD) {
        return SCD::getBuilder(base, layout.width, layout.height, layout.depth, 1.0f);
    }
    return SCRawIO::getBuilder(
        base, SCRawHeader(layout.width, layout.height, layout.depth,
                          to == SCCubeForm::RAW_IMAGE ? SCRawHeader::RECORD_BY_IMAGE
                                                      : SCRawHeader::RECORD_BY_VECTOR));
}

std::string stripRplExtension(const std::string& path) {
    const std::string extension = fileExtension(path);
    return extension == ".rpl" || extension == ".raw"
               ? path.substr(0, path.size() - extension.size())
               : path;
}

// One import: reads the foreign lines, converts them and feeds the builder of the staged cube.
class Import {
  public:
    Import(const std::string& base, SCRawImportReport& report, bool clip, SCProgress* progress)
        : base_(base),
          report_(report),
          clip_(clip),
          progress_(progress),
          converter_(report, clip) {}

    SCStatus run(SCCubeForm to, bool replace, const std::string& outputBase) {
        const SCForeignRawLayout& layout = report_.layout;
        ForeignRawReader reader(base_ + ".raw", layout);
        if (SCStatus opened = reader.open(); !opened.ok()) {
            return opened;
        }
        StagedOutput output(outputBase, to);
        if (SCStatus prepared = output.prepare({base_ + ".rpl", base_ + ".raw"}, replace);
            !prepared.ok()) {
            return prepared;
        }
        SharedPtr<SCFileBuilder, SCDeleteFileBuilder> builder =
            makeBuilder(output.stagingBase(), layout, to);
        if (!builder) {
            return {SCProblem::WRITE_FAILED, SCCubeProbe::outputFiles(outputBase, to).front()};
        }
        SCStatus status = copyLines(reader, *builder);
        if (!status.ok() || (report_.outOfRange() != 0 && !clip_)) {
            builder->cancel();
            return status.ok() ? SCStatus{SCProblem::VALUES_OUT_OF_RANGE, base_ + ".raw",
                                          rangeDetail(report_)}
                               : status;
        }
        report_.clipped = report_.outOfRange() != 0;
        const SCErrorCode closed = builder->close();
        builder.release();
        status = closed == SC_OK ? output.verify()
                                 : SCStatus{SCProblem::WRITE_FAILED, outputBase,
                                            writeFailureDetail(outputBase)};
        if (status.ok() && layout.calibrated) {
            status = layout.calibration.write(output.stagingBase());
        }
        return status.ok() ? output.commit() : status;
    }

  private:
    // Every line into the builder; once a value is refused (no clipping), the rest is only read
    // and counted.
    SCStatus copyLines(ForeignRawReader& reader, SCFileBuilder& builder) {
        const unsigned height = report_.layout.height;
        std::vector<double> values;
        std::vector<unsigned short> counts;
        for (unsigned y = 0; y < height; ++y) {
            if (!reader.readLine(y, values)) {
                return {SCProblem::DAMAGED_DATA, base_ + ".raw", "cannot be read"};
            }
            converter_.convert(values, counts);
            const bool refused = report_.outOfRange() != 0 && !clip_;
            if (!refused && builder.addSpectrumLine(counts.data()) != SC_OK) {
                return {SCProblem::WRITE_FAILED, {}, writeFailureDetail(base_)};
            }
            if (progress_ != nullptr && !progress_->advance(y + 1, height)) {
                return {SCProblem::INTERRUPTED, {}};
            }
        }
        return {};
    }

    std::string base_;  // the foreign cube's name: base.rpl and base.raw
    SCRawImportReport& report_;
    bool clip_;
    SCProgress* progress_;
    CountConverter converter_;
};

}  // namespace

std::string SCForeignRawLayout::describe() const {
    std::string text = std::string(typeText(dataType)) + " " + std::to_string(dataLength) +
                       "-byte " + (bigEndian ? "big-endian" : "little-endian") + " values by " +
                       (format == SCRawHeader::RECORD_BY_IMAGE ? "image" : "vector");
    if (offset != 0) {
        text += ", offset " + std::to_string(offset);
    }
    return text;
}

SCStatus SCRawImport::readLayout(const std::string& rplPath, SCForeignRawLayout& layout) {
    return readForeignRplHeader(rplPath, layout);
}

SCStatus SCRawImport::importCube(const std::string& rplPath, const std::string& outputBase,
                                 SCCubeForm to, bool clip, bool replace, SCRawImportReport& report,
                                 SCProgress* progress) {
    report = SCRawImportReport();
    if (to == SCCubeForm::FRAGMENTED_SCD) {
        return {SCProblem::INVALID_ARGUMENT, outputBase, "fragmented cubes are only acquired"};
    }
    const std::string base = stripRplExtension(rplPath);
    if (SCStatus status = readLayout(base + ".rpl", report.layout); !status.ok()) {
        return status;
    }
    SCStatus status = Import(base, report, clip, progress).run(to, replace, outputBase);
    if (status.problem == SCProblem::WRITE_FAILED && status.file.empty()) {
        status.file = SCCubeProbe::outputFiles(outputBase, to).front();
    }
    return status;
}
