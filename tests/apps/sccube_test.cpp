#include <gtest/gtest.h>
#include <png.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "sc_api/fragmented_scd_header.h"
#include "sc_api/sc_energy_calibration.h"
#include "sc_api/sc_integrity_check.h"
#include "sc_api/sc_spectrum.h"
#include "support/cube_fixtures.h"
#include "support/raw_cube_files.h"
#include "support/reference_scd_writer.h"

namespace {

using namespace test_support;

struct ProgramRun {
    int status = -1;
    std::string out;
    std::string err;
};

std::string quoted(const std::string& text) {
    std::string q = "'";
    for (char c : text) {
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return q + "'";
}

// Runs sccube with `arguments` in `dir`, its standard output and error captured (neither is a
// terminal). `shellPrefix` runs before it in the same shell (e.g. a ulimit).
ProgramRun sccube(const TempDir& dir, const std::vector<std::string>& arguments,
                  const std::string& shellPrefix = "") {
    std::string command =
        shellPrefix + " cd " + quoted(dir.path()) + " && exec " + quoted(SCCUBE_PROGRAM);
    for (const std::string& argument : arguments) {
        command += " " + quoted(argument);
    }
    const std::string out = dir.file(".stdout");
    const std::string err = dir.file(".stderr");
    command += " >" + quoted(out) + " 2>" + quoted(err) + " </dev/null";
    const int status = std::system(command.c_str());
    ProgramRun run;
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readFileText(out);
    run.err = readFileText(err);
    std::filesystem::remove(out);
    std::filesystem::remove(err);
    return run;
}

// The files of `dir` that sccube left (captures excluded).
std::set<std::string> cubeFiles(const TempDir& dir) {
    std::set<std::string> names = filesIn(dir.path());
    names.erase(".stdout");
    names.erase(".stderr");
    return names;
}

// A failure: the given status and exactly one line on the standard error naming `file`.
::testing::AssertionResult failsWith(const ProgramRun& run, int status, const std::string& file) {
    if (run.status != status) {
        return ::testing::AssertionFailure() << "status " << run.status << ", stderr: " << run.err;
    }
    if (std::count(run.err.begin(), run.err.end(), '\n') != 1 ||
        run.err.rfind("sccube: ", 0) != 0 || run.err.find(file) == std::string::npos) {
        return ::testing::AssertionFailure() << "stderr: " << run.err;
    }
    return ::testing::AssertionSuccess();
}

// CSV rows of numbers after a header line.
std::vector<std::vector<double>> parseCsv(const std::string& text, std::string& header) {
    std::istringstream in(text);
    std::getline(in, header);
    std::vector<std::vector<double>> rows;
    for (std::string line; std::getline(in, line);) {
        std::vector<double> row;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');) {
            row.push_back(std::stod(cell));
        }
        rows.push_back(row);
    }
    return rows;
}

struct DecodedPng {
    unsigned width = 0;
    unsigned height = 0;
    int bitDepth = 0;
    int colorType = 0;
    std::vector<unsigned> samples;  // every sample of every pixel, row-major
};

// Decodes an open PNG file; an empty result when libpng refuses it.
DecodedPng decodePngFile(std::FILE* file) {
    DecodedPng png;
    png_structp reader = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(reader);
    if (setjmp(png_jmpbuf(reader))) {
        png_destroy_read_struct(&reader, &info, nullptr);
        return DecodedPng{};
    }
    png_init_io(reader, file);
    png_read_info(reader, info);
    png.width = png_get_image_width(reader, info);
    png.height = png_get_image_height(reader, info);
    png.bitDepth = png_get_bit_depth(reader, info);
    png.colorType = png_get_color_type(reader, info);
    const std::size_t rowBytes = png_get_rowbytes(reader, info);
    std::vector<png_byte> row(rowBytes);
    const unsigned bytesPerSample = png.bitDepth == 16 ? 2 : 1;
    for (unsigned y = 0; y < png.height; ++y) {
        png_read_row(reader, row.data(), nullptr);
        for (std::size_t i = 0; i < rowBytes; i += bytesPerSample) {
            png.samples.push_back(bytesPerSample == 2 ? row[i] << 8 | row[i + 1] : row[i]);
        }
    }
    png_destroy_read_struct(&reader, &info, nullptr);
    return png;
}

DecodedPng decodePng(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return DecodedPng{};
    }
    DecodedPng png = decodePngFile(file);
    std::fclose(file);
    return png;
}

void writeMaskPng(const std::string& path, unsigned width, unsigned height,
                  const std::vector<std::uint8_t>& grey) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = width;
    image.height = height;
    image.format = PNG_FORMAT_GRAY;
    ASSERT_NE(png_image_write_to_file(&image, path.c_str(), 0, grey.data(), 0, nullptr), 0);
}

TEST(SccubeInfo, DescribesEachFormAsTextAndJson) {
    TempDir dir;
    writeSmallCube(dir.file("raw"), SCCubeForm::RAW_IMAGE);
    writeSmallCube(dir.file("tiled"), SCCubeForm::FRAGMENTED_SCD);
    SCEnergyCalibration{10.0, 5.0}.write(dir.file("raw"));
    ProgramRun run = sccube(dir, {"info", "raw.rpl"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("raw by image, version 0"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("6 x 4 pixels, 9 channels"), std::string::npos);
    EXPECT_NE(run.out.find("10 eV per channel, channel 0 at 5 eV"), std::string::npos);
    EXPECT_NE(run.out.find(" x against 16-bit raw, "), std::string::npos);
    run = sccube(dir, {"info", "--json", "tiled"});
    ASSERT_EQ(run.status, 0) << run.err;
    for (const char* field :
         {"\"format\": \"fragmented-scd\"", "\"width\": 20", "\"height\": 5", "\"depth\": 40",
          "\"acquired_pixels\": 100", "{\"x\": 10, \"y\": 0, \"width\": 10, \"height\": 5}"}) {
        EXPECT_NE(run.out.find(field), std::string::npos) << field << "\n" << run.out;
    }
    EXPECT_TRUE(run.err.empty());
}

TEST(SccubeConvert, WritesEveryFormAndOnlyWholeCubes) {
    TempDir dir;
    writeSmallCube(dir.file("raw"), SCCubeForm::RAW_VECTOR);
    ProgramRun run = sccube(dir, {"convert", "raw.raw", "packed.scdh"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.err.empty()) << "no progress bar on a pipe";
    EXPECT_TRUE(sameSpectra(dir.file("raw"), dir.file("packed.scdh")));
    run = sccube(dir, {"convert", "packed", "back", "--to", "raw-image", "-q"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.empty());
    EXPECT_TRUE(sameSpectra(dir.file("raw"), dir.file("back.rpl")));

    const std::set<std::string> before = cubeFiles(dir);
    EXPECT_TRUE(failsWith(sccube(dir, {"convert", "raw", "packed"}), 5, "packed.scdh"));
    EXPECT_TRUE(failsWith(sccube(dir, {"convert", "raw", "raw.rpl", "--force"}), 5, "raw.rpl"));
    EXPECT_TRUE(failsWith(sccube(dir, {"convert", "absent", "x"}), 3, "absent"));
    writeFileText(dir.file("notes.txt"), "hello");
    EXPECT_TRUE(failsWith(sccube(dir, {"convert", "notes.txt", "x"}), 4, "notes.txt"));
    EXPECT_TRUE(
        failsWith(sccube(dir, {"convert", "raw", "x.scdh", "--to", "raw-image"}), 2, "x.scdh"));
    EXPECT_EQ(sccube(dir, {"convert", "raw"}).status, 2);
    // A disk that fills up: writes beyond 4 KiB fail.
    writeRawCube(dir.file("large"), 32, 32, 64, SCRawHeader::RECORD_BY_IMAGE, smallCubeValue);
    for (const char* form : {"raw-vector", "scd"}) {
        const ProgramRun full =
            sccube(dir, {"convert", "large", "big", "--to", form}, "ulimit -f 8 &&");
        EXPECT_TRUE(failsWith(full, 5, "big.")) << form;
        EXPECT_NE(full.err.find("write failed"), std::string::npos) << full.err;
    }
    std::filesystem::remove(dir.file("large.rpl"));
    std::filesystem::remove(dir.file("large.raw"));
    std::filesystem::remove(dir.file("notes.txt"));
    EXPECT_EQ(cubeFiles(dir), before);
    run = sccube(dir, {"convert", "raw", "packed", "--force"});
    EXPECT_EQ(run.status, 0) << run.err;
}

TEST(SccubeSpectrum, PrintsCsvThatParsesBackToTheCubesSpectra) {
    TempDir dir;
    writeSmallCube(dir.file("cube"), SCCubeForm::SCD);
    std::string header;
    ProgramRun run = sccube(dir, {"spectrum", "cube", "--at", "2,1"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::vector<std::vector<double>> rows = parseCsv(run.out, header);
    EXPECT_EQ(header, "channel,value");
    ASSERT_EQ(rows.size(), kSmallDepth);
    for (unsigned c = 0; c < kSmallDepth; ++c) {
        EXPECT_EQ(rows[c], (std::vector<double>{double(c), double(smallCubeValue(2, 1, c))}));
    }

    run = sccube(dir, {"spectrum", "cube", "--region", "1,1,2,3", "--ev-per-channel", "20",
                       "--offset-ev", "-100"});
    ASSERT_EQ(run.status, 0) << run.err;
    rows = parseCsv(run.out, header);
    EXPECT_EQ(header, "channel,energy_kev,value");
    for (unsigned c = 0; c < kSmallDepth; ++c) {
        double sum = 0;
        for (unsigned y = 1; y < 4; ++y) {
            for (unsigned x = 1; x < 3; ++x) {
                sum += smallCubeValue(x, y, c);
            }
        }
        EXPECT_EQ(rows[c], (std::vector<double>{double(c), (-100.0 + 20.0 * c) / 1000, sum}));
    }

    // A mask selecting pixels (0, 0) and (3, 2).
    std::vector<std::uint8_t> mask(kSmallWidth * kSmallHeight, 0);
    mask[0] = 255;
    mask[2 * kSmallWidth + 3] = 1;
    writeMaskPng(dir.file("mask.png"), kSmallWidth, kSmallHeight, mask);
    run = sccube(dir, {"spectrum", "cube", "--mask", "mask.png", "-o", "sum.csv"});
    ASSERT_EQ(run.status, 0) << run.err;
    rows = parseCsv(readFileText(dir.file("sum.csv")), header);
    ASSERT_EQ(rows.size(), kSmallDepth);
    EXPECT_EQ(rows[4][1], double(smallCubeValue(0, 0, 4) + smallCubeValue(3, 2, 4)));

    run = sccube(dir, {"spectrum", "cube", "--at", "0,0", "--svg", "plot.svg", "--log",
                       "--ev-per-channel", "10"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string svg = readFileText(dir.file("plot.svg"));
    for (const char* part : {"<svg", "Energy (keV)", "Counts (log scale)", "<polyline", "</svg>"}) {
        EXPECT_NE(svg.find(part), std::string::npos) << part;
    }
    EXPECT_TRUE(failsWith(sccube(dir, {"spectrum", "cube", "--at", "6,0"}), 2, "cube"));
    EXPECT_TRUE(failsWith(sccube(dir, {"spectrum", "cube", "--region", "5,0,2,1"}), 2, "cube"));
    EXPECT_EQ(sccube(dir, {"spectrum", "cube", "--at", "1,1", "--region", "0,0,1,1"}).status, 2);
    EXPECT_EQ(sccube(dir, {"spectrum", "cube"}).status, 2);
}

TEST(SccubeImage, WritesPngsThatDecodeBackToTheRoiImage) {
    TempDir dir;
    writeSmallCube(dir.file("cube"), SCCubeForm::RAW_VECTOR);
    SCEnergyCalibration{10.0, 5.0}.write(dir.file("cube"));
    const auto roi = [](unsigned x, unsigned y, unsigned first, unsigned count) {
        unsigned sum = 0;
        for (unsigned c = first; c < first + count; ++c) {
            sum += smallCubeValue(x, y, c);
        }
        return sum;
    };
    ProgramRun run = sccube(dir, {"image", "cube", "--channels", "2:3", "-o", "roi.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    DecodedPng png = decodePng(dir.file("roi.png"));
    ASSERT_EQ(png.bitDepth, 16);
    ASSERT_EQ(png.colorType, PNG_COLOR_TYPE_GRAY);
    ASSERT_EQ(png.samples.size(), std::size_t{kSmallWidth} * kSmallHeight);
    for (unsigned y = 0; y < kSmallHeight; ++y) {
        for (unsigned x = 0; x < kSmallWidth; ++x) {
            EXPECT_EQ(png.samples[y * kSmallWidth + x], roi(x, y, 2, 3)) << x << ", " << y;
        }
    }
    // Channels 3 and 4 are centred on 35 and 45 eV.
    run = sccube(
        dir, {"image", "cube.raw", "--energy", "0.03:0.05", "--area", "1,1,3,2", "-o", "sub.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    png = decodePng(dir.file("sub.png"));
    ASSERT_EQ(png.width, 3u);
    ASSERT_EQ(png.height, 2u);
    EXPECT_EQ(png.samples[0], roi(1, 1, 3, 2));
    EXPECT_EQ(png.samples[5], roi(3, 2, 3, 2));

    run = sccube(dir, {"image", "cube", "--channels", "0", "--8bit", "--percentiles", "0:100", "-o",
                       "stretched.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    png = decodePng(dir.file("stretched.png"));
    ASSERT_EQ(png.bitDepth, 8);
    EXPECT_EQ(png.samples.front(), 0u);   // the smallest value, pixel (0, 0)
    EXPECT_EQ(png.samples.back(), 255u);  // the largest, the last pixel
    run = sccube(dir, {"image", "cube", "--channels", "0", "--colormap", "hot", "-o", "hot.png"});
    ASSERT_EQ(run.status, 0) << run.err;
    png = decodePng(dir.file("hot.png"));
    EXPECT_EQ(png.colorType, PNG_COLOR_TYPE_RGB);
    ASSERT_EQ(png.samples.size(), 3u * kSmallWidth * kSmallHeight);
    EXPECT_EQ((std::vector<unsigned>(png.samples.end() - 3, png.samples.end())),
              (std::vector<unsigned>{255, 255, 255}));

    const std::set<std::string> before = cubeFiles(dir);
    EXPECT_TRUE(
        failsWith(sccube(dir, {"image", "cube", "--channels", "8:2", "-o", "x.png"}), 2, "cube"));
    EXPECT_TRUE(
        failsWith(sccube(dir, {"image", "cube", "--energy", "5:6", "-o", "x.png"}), 2, "cube"));
    EXPECT_TRUE(failsWith(sccube(dir, {"image", "cube", "--channels", "0", "-o", "no/x.png"}), 5,
                          "no/x.png"));
    EXPECT_EQ(cubeFiles(dir), before);
}

TEST(SccubeCheck, ExitsZeroOnlyWhenSpectraAndImagesAgree) {
    TempDir dir;
    writeSmallCube(dir.file("good"), SCCubeForm::SCD);
    ProgramRun run = sccube(dir, {"check", "good.scdh"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("spectra and images agree"), std::string::npos);
    const ReferenceCube cube =
        makeReferenceCube(3, 2, 4, 2, [](unsigned x, unsigned y, unsigned c) {
            return static_cast<unsigned short>(5 + x + y + c);
        });
    const auto layout = writeReferenceSCD(dir.file("bad"), cube);
    ASSERT_TRUE(layout);
    {
        std::fstream images(dir.file("bad.scdi"), std::ios::in | std::ios::out | std::ios::binary);
        images.seekp(static_cast<std::streamoff>(layout->images[1].offset));
        images.write("\xff\xff\xff\xff", 4);
    }
    run = sccube(dir, {"check", "bad", "-q"});
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.out.find("pixel 0, 0 channel 1: spectrum 6, image 0"), std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("6 of 24 values differ"), std::string::npos) << run.out;
    EXPECT_TRUE(failsWith(sccube(dir, {"check", "nothing"}), 3, "nothing"));
}

// A fragmented cube without pixels may claim any number of lines and channels; every command
// answers at once, and those that need a pixel say that there is none.
TEST(SccubeEmptyCube, EveryCommandAnswersAtOnceWhateverTheClaims) {
    TempDir dir;
    {
        std::ofstream header(dir.file("empty.scdh"), std::ios::binary);
        ASSERT_EQ(FragmentedSCDHeader(0, 800'000'000u, 4'000'000'000u, 1.0f).write(header), SC_OK);
    }
    ProgramRun run = sccube(dir, {"info", "empty"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("0 x 800000000 pixels, 4000000000 channels"), std::string::npos)
        << run.out;
    run = sccube(dir, {"check", "empty"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(failsWith(sccube(dir, {"spectrum", "empty", "--at", "0,0"}), 2, "no pixel"));
    EXPECT_TRUE(
        failsWith(sccube(dir, {"image", "empty", "--channels", "0:10", "--output", "roi.png"}), 2,
                  "an image of 0 x 800000000 pixels cannot be written"));
    EXPECT_TRUE(failsWith(sccube(dir, {"convert", "empty", "raw", "--to", "raw-vector"}), 4,
                          "a raw cube cannot have a zero dimension"));
    EXPECT_EQ(cubeFiles(dir), std::set<std::string>{"empty.scdh"});
}

// A 74-byte PNG whose header claims 200000 x 200000 pixels: no file that small can hold them,
// so the mask is refused before its pixels are allocated (gigabytes, before this was checked).
TEST(SccubeSpectrum, AMaskClaimingMorePixelsThanItsFileCanHoldIsRefused) {
    TempDir dir;
    writeSmallCube(dir.file("cube"), SCCubeForm::SCD);
    const char* hex =
        "89504e470d0a1a0a0000000d4948445200030d4000030d400100000000d140b5a70000001149444154789c"
        "63601805a360140c77000003e80001b3a6d3460000000049454e44ae426082";
    std::string png;
    for (const char* p = hex; p[0] != '\0' && p[1] != '\0'; p += 2) {
        png += static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16));
    }
    writeFileText(dir.file("huge.png"), png);
    EXPECT_TRUE(failsWith(sccube(dir, {"spectrum", "cube", "--mask", "huge.png"}), 4,
                          "200000 x 200000 pixels cannot be stored in 74 bytes"));
}

TEST(SccubeRm, RemovesEveryFileOfTheCubeAndNothingElse) {
    TempDir dir;
    writeSmallCube(dir.file("tiled"), SCCubeForm::FRAGMENTED_SCD);
    writeSmallCube(dir.file("raw"), SCCubeForm::RAW_VECTOR);
    SCEnergyCalibration{10.0, 0.0}.write(dir.file("tiled"));
    EXPECT_EQ(sccube(dir, {"rm", "tiled.scdh"}).status, 0);
    EXPECT_EQ(cubeFiles(dir), (std::set<std::string>{"raw.rpl", "raw.raw"}));
    EXPECT_TRUE(failsWith(sccube(dir, {"rm", "tiled"}), 3, "tiled"));
    EXPECT_EQ(sccube(dir, {"rm", "raw"}).status, 0);
    EXPECT_TRUE(cubeFiles(dir).empty());
}

TEST(SccubeImport, ReadsForeignCubesRefusesWrongValuesAndPointsTheStrictReaderAtIt) {
    TempDir dir;
    const std::string foreign = std::string(SC_API_TEST_DATA_DIR) + "/foreign/";
    ProgramRun run = sccube(dir, {"info", foreign + "unsigned2_big_vector.rpl"});
    EXPECT_TRUE(failsWith(run, 4, "unsigned2_big_vector.rpl"));
    EXPECT_NE(run.err.find("big-endian"), std::string::npos);
    EXPECT_NE(run.err.find("sccube import"), std::string::npos);

    run = sccube(dir, {"import", foreign + "unsigned2_big_vector.rpl", "imported"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("unsigned 2-byte big-endian values by vector"), std::string::npos);
    run = sccube(dir, {"spectrum", "imported", "--at", "2,1"});
    ASSERT_EQ(run.status, 0) << run.err;
    std::string header;
    const auto rows = parseCsv(run.out, header);
    ASSERT_EQ(rows.size(), 5u);
    for (unsigned c = 0; c < 5; ++c) {
        EXPECT_EQ(rows[c].back(), 1 + 2 + 3 * 1 + 6 * c);
    }
    run = sccube(dir, {"info", "imported", "--json"});
    EXPECT_NE(run.out.find("\"calibration\": {\"ev_per_channel\": 10, \"offset_ev\": 0}"),
              std::string::npos)
        << run.out;

    const std::set<std::string> before = cubeFiles(dir);
    run = sccube(dir, {"import", foreign + "out_of_range_signed2.rpl", "clipped.rpl"});
    EXPECT_TRUE(failsWith(run, 6, "out_of_range_signed2.raw"));
    EXPECT_NE(run.err.find("1 negative"), std::string::npos);
    EXPECT_EQ(cubeFiles(dir), before);
    run = sccube(dir, {"import", foreign + "out_of_range_signed2.rpl", "clipped.rpl", "--clip"});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("clipped 1 values"), std::string::npos);
    EXPECT_TRUE(failsWith(sccube(dir, {"import", dir.file("absent.rpl"), "x"}), 3, "absent.rpl"));
}

TEST(SccubeProgress, ShowsABarOnlyOnATerminalAndNotWithQuiet) {
    if (std::system("script -qec true /dev/null >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "needs script(1) and a pseudo-terminal to run the program on a terminal";
    }
    TempDir dir;
    writeSmallCube(dir.file("raw"), SCCubeForm::RAW_VECTOR);
    const auto onTerminal = [&](const std::string& arguments) {
        const std::string command = "cd " + quoted(dir.path()) + " && script -qec " +
                                    quoted(quoted(SCCUBE_PROGRAM) + " " + arguments) +
                                    " /dev/null > " + quoted(dir.file(".tty"));
        EXPECT_EQ(std::system(command.c_str()), 0) << arguments;
        const std::string shown = readFileText(dir.file(".tty"));
        std::filesystem::remove(dir.file(".tty"));
        return shown;
    };
    const std::string shown = onTerminal("convert raw a");
    EXPECT_NE(shown.find("converting ["), std::string::npos) << shown;
    EXPECT_NE(shown.find("100%"), std::string::npos) << shown;
    EXPECT_EQ(onTerminal("convert raw b -q").find('['), std::string::npos);
}

}  // namespace
