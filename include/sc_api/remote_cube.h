#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sc_api/rect.h"
#include "tuplink/client.h"

// Cube-level access to the cube service ("com.tarn.brix.mv.mv_svc") of a running host, over a
// connected tuplink::Client (library sc_api_remote). Both classes call through the client they
// are given, which must outlive them and is used by one thread at a time.
//
// Every operation returns the call's status: 1 on success, -1 when the service refused, or a
// middleware status of tuplink/status.h (unreachable host, time-out, reply too large, ...).
// Outputs are written only on 1. Images are 16-bit values, row-major, image after image.

// A cube opened on the host by path, read through its handle.
class RemoteCube {
  public:
    explicit RemoteCube(tuplink::Client& client, std::string instance = "default");
    // Releases the handle when the cube is open.
    ~RemoteCube();
    RemoteCube(const RemoteCube&) = delete;
    RemoteCube& operator=(const RemoteCube&) = delete;

    // Opens the compressed cube `path` (a name without extension, relative to the host's
    // root or absolute inside it) and reads its dimensions. REQUIRES: !isOpen().
    int open(const std::string& path);
    // Releases the handle; the cube is closed afterwards whatever the answer.
    int close();
    bool isOpen() const { return handle_ >= 0; }

    int handle() const { return handle_; }
    unsigned width() const { return width_; }
    unsigned height() const { return height_; }
    unsigned depth() const { return depth_; }

    // The spectrum of pixel (x, y): depth() values times the cube's factor.
    int spectrum(unsigned x, unsigned y, std::vector<float>& out);
    // Images of channel z, and of channels z .. z+count-1.
    int image(unsigned z, std::vector<std::uint16_t>& out);
    int images(unsigned z, unsigned count, std::vector<std::uint16_t>& out);
    // The ROI image of channels z .. z+count-1, of the whole cube or of `area`.
    int roi(unsigned z, unsigned count, std::vector<std::uint16_t>& out);
    int roi(unsigned z, unsigned count, const Rect& area, std::vector<std::uint16_t>& out);

  private:
    int call(const char* method, const tuplink::Tuple& arguments, tuplink::Tuple& results);
    int callForImage(const char* method, tuplink::Tuple& arguments,
                     std::vector<std::uint16_t>& out);

    tuplink::Client& client_;  // the connection to the host
    std::string instance_;     // the service instance called
    int handle_ = -1;          // the cube's handle; -1 when not open
    unsigned width_ = 0;
    unsigned height_ = 0;
    unsigned depth_ = 0;
};

// A fragmented cube built on the host while it is acquired: start it, announce each area, send
// its lines, ask for ROI images, terminate it and release the handle.
class RemoteCubeBuilder {
  public:
    explicit RemoteCubeBuilder(tuplink::Client& client, std::string instance = "default");
    // Releases the handle when it is still held (which closes the cube on the host).
    ~RemoteCubeBuilder();
    RemoteCubeBuilder(const RemoteCubeBuilder&) = delete;
    RemoteCubeBuilder& operator=(const RemoteCubeBuilder&) = delete;

    // Starts the cube `name` (a name without extension). REQUIRES: no handle is held.
    int start(const std::string& name, unsigned width, unsigned height, unsigned depth,
              float factor);
    int handle() const { return handle_; }

    // Starts the next area, in cube coordinates.
    int newArea(const Rect& area);
    // Sends the next line of the current area: its width x depth values, pixel after pixel.
    int addLine(const std::uint16_t* spectra, std::size_t valueCount);
    int addLine(const std::vector<std::uint16_t>& spectra) {
        return addLine(spectra.data(), spectra.size());
    }
    // The ROI image of channels z .. z+count-1 of everything received so far.
    int roi(unsigned z, unsigned count, std::vector<std::uint16_t>& out);
    // Finishes the cube on the host; its files are complete afterwards.
    int terminate();
    // Gives the handle back (closing the cube on the host when it was not terminated).
    int release();

  private:
    int call(const char* method, const tuplink::Tuple& arguments, tuplink::Tuple& results);

    tuplink::Client& client_;  // the connection to the host
    std::string instance_;     // the service instance called
    int handle_ = -1;          // the builder's handle; -1 when none is held
};
