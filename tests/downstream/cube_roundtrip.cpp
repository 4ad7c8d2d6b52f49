// A program of someone who uses sc_api from outside its source tree: it builds a small raw
// cube, compresses it, opens it by file name and checks a ROI image. Exit status 0 on success.
#include <sc_api/sc_api.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const std::string base = argc > 1 ? argv[1] : "downstream_cube";
    if (std::strcmp(scApiVersion(), SC_API_VERSION_STRING) != 0) {
        std::printf("headers %s, library %s\n", SC_API_VERSION_STRING, scApiVersion());
        return 1;
    }
    const unsigned width = 8, height = 4, depth = 16;
    SharedPtr<SCFileBuilder, SCDeleteFileBuilder> builder =
        SCRawIO::getBuilder(base, SCRawHeader(width, height, depth, SCRawHeader::RECORD_BY_VECTOR));
    if (!builder) {
        return 1;
    }
    std::vector<unsigned short> line(width * depth);
    for (unsigned y = 0; y < height; ++y) {
        for (unsigned i = 0; i < line.size(); ++i) {
            line[i] = static_cast<unsigned short>(y + i % depth);
        }
        builder->addSpectrumLine(line.data());
    }
    builder->close();
    if (RawToSCD::encode(base, base + "_packed") != SC_OK) {
        return 1;
    }
    SCOpenedCube opened = SCCubeProbe::open(base + "_packed.scdh");
    if (!opened.status.ok()) {
        std::printf("%s\n", opened.status.message().c_str());
        return 1;
    }
    std::vector<unsigned short> roi(width * height);
    opened.cube->computeRoiImage(2, 3, roi.data());
    // Pixel (x, y) holds y + c in channel c: channels 2, 3, 4 sum to 3y + 9.
    for (unsigned y = 0; y < height; ++y) {
        if (roi[y * width] != 3 * y + 9) {
            return 1;
        }
    }
    std::printf("sc_api %s: cube built, compressed and read back\n", scApiVersion());
    return 0;
}
