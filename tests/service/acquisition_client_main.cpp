// An acquisition program for the service tests, run as a process of its own:
//   service_acquisition_client ENDPOINT INSTANCE NAME LINES
// starts the cube NAME of acquisition_pattern.h, announces one area covering it, sends its
// first LINES lines, prints "acquiring HANDLE" and then waits to be killed, leaving its
// builder open on the host.
#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "acquisition_pattern.h"
#include "sc_api/remote_cube.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        return 2;
    }
    tuplink::Client client;
    if (client.connect(argv[1]) != 0) {
        return 2;
    }
    RemoteCubeBuilder builder(client, argv[2]);
    using namespace service_test;
    if (builder.start(argv[3], kPatternWidth, kPatternHeight, kPatternDepth, kPatternFactor) != 1 ||
        builder.newArea(Rect{0, 0, kPatternWidth, kPatternHeight}) != 1) {
        return 1;
    }
    const unsigned lines = static_cast<unsigned>(std::atoi(argv[4]));
    for (unsigned y = 0; y < lines; ++y) {
        if (builder.addLine(patternLine(y)) != 1) {
            return 1;
        }
    }
    std::cout << "acquiring " << builder.handle() << std::endl;
    for (;;) {
        ::pause();
    }
}
