#include "service/tuplink_sc_cube_impl.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <utility>

#include "sc_api/sc_service.h"
#include "sc_api/scd.h"
#include "service/array_float_as_sc_spectrum.h"
#include "service/cube_path.h"
#include "service/refusal_log.h"
#include "service/reply_size.h"
#include "service/service_names.h"
#include "service/service_tuples.h"
#include "service/tuplink_mask_as_pixmap_mask.h"
#include "tuplink/status.h"

namespace {

// Bytes a Spectrum tuple of `depth` values adds to a reply, its keys and class name included.
constexpr std::uint64_t kSpectrumTupleOverhead = 96;

std::vector<unsigned> channelsOf(const tuplink::IntList& list) {
    std::vector<unsigned> channels;
    channels.reserve(list.size());
    for (int channel : list) {
        channels.push_back(static_cast<unsigned>(channel));
    }
    return channels;
}

std::uint64_t planeOf(const SCCube& cube) {
    return std::uint64_t{cube.width()} * cube.height();
}

std::uint64_t planeOf(const Rect& area) {
    return std::uint64_t{area.width} * area.height;
}

unsigned short* samplesOf(tuplink::Blob& buffer) {
    return reinterpret_cast<unsigned short*>(buffer.data());
}

}  // namespace

TuplinkSCCubeImpl::TuplinkSCCubeImpl() = default;

TuplinkSCCubeImpl::~TuplinkSCCubeImpl() = default;

TuplinkSCCubeImpl::CubeReference TuplinkSCCubeImpl::open(const std::string& name) {
    return CubeReference(SCD::openSCD(name), [](SCFile* cube) { SCDeleteFile::free(cube); });
}

TuplinkSCCubeImpl::CubeReference TuplinkSCCubeImpl::cubeOf(int handle) {
    std::lock_guard guard(lock_);
    if (handle < 0 || static_cast<std::size_t>(handle) >= cubeTable_.size() ||
        cubeTable_[handle].holders == 0) {
        return nullptr;
    }
    return cubeTable_[handle].cube;
}

int TuplinkSCCubeImpl::getCube(const tuplink::AString* path, int* handle) {
    if (path == nullptr) {
        return -1;
    }
    const std::string root = SCService::root();
    const std::string name = cube_path::canonical(path->str(), root);
    if (!cube_path::insideRoot(name, root)) {
        refusal_log::write("sc_cube.getCube: \"" + path->str() + "\" lies outside the root " +
                           root);
        return -1;
    }
    const tuplink::AString key(name.c_str());
    std::lock_guard guard(lock_);
    const auto known = pathTable_.find(key);
    if (known == pathTable_.end()) {
        CubeReference cube = open(name);
        if (!cube) {
            return -1;
        }
        const auto index = static_cast<unsigned>(cubeTable_.size());
        cubeTable_.push_back(CubeEntry{std::move(cube), 1});
        pathTable_.emplace(key, index);
        *handle = static_cast<int>(index);
        return 1;
    }
    CubeEntry& entry = cubeTable_[known->second];
    if (entry.holders == 0) {
        entry.cube = open(name);
        if (!entry.cube) {
            return -1;
        }
    }
    ++entry.holders;
    *handle = static_cast<int>(known->second);
    return 1;
}

int TuplinkSCCubeImpl::releaseCube(int handle) {
    CubeReference released;  // destroyed once the lock is left
    std::lock_guard guard(lock_);
    if (handle < 0 || static_cast<std::size_t>(handle) >= cubeTable_.size() ||
        cubeTable_[handle].holders == 0) {
        return -1;
    }
    CubeEntry& entry = cubeTable_[handle];
    if (--entry.holders == 0) {
        released = std::move(entry.cube);
    }
    return 1;
}

int TuplinkSCCubeImpl::getVersion(int handle, int* v) {
    const CubeReference cube = cubeOf(handle);
    if (!cube) {
        return -1;
    }
    *v = static_cast<int>(cube->version());
    return 1;
}

int TuplinkSCCubeImpl::width(int handle, int* w) {
    const CubeReference cube = cubeOf(handle);
    if (!cube) {
        return -1;
    }
    *w = static_cast<int>(cube->width());
    return 1;
}

int TuplinkSCCubeImpl::height(int handle, int* h) {
    const CubeReference cube = cubeOf(handle);
    if (!cube) {
        return -1;
    }
    *h = static_cast<int>(cube->height());
    return 1;
}

int TuplinkSCCubeImpl::depth(int handle, int* d) {
    const CubeReference cube = cubeOf(handle);
    if (!cube) {
        return -1;
    }
    *d = static_cast<int>(cube->depth());
    return 1;
}

int TuplinkSCCubeImpl::isAcquired(int handle, int x, int y, bool* isAcquired) {
    const CubeReference cube = cubeOf(handle);
    if (!cube) {
        return -1;
    }
    *isAcquired = cube->isAcquired(static_cast<unsigned>(x), static_cast<unsigned>(y));
    return 1;
}

void TuplinkSCCubeImpl::fillSpectrum(tuplink::Tuple& spectrum, tuplink::Array<float>& values) {
    spectrum.set_int(tuplink::Symbol("nbChannels"), static_cast<int>(values.size()));
    spectrum.set_value(tuplink::Symbol("values"), tuplink::TYPE_ARRAY_FLOAT, &values, false, true);
}

int TuplinkSCCubeImpl::getSpectrum(int handle, int x, int y, tuplink::Tuple* spectrum) {
    const CubeReference cube = cubeOf(handle);
    if (!cube) {
        return -1;
    }
    const unsigned depth = cube->depth();
    if (!reply_size::fits(reply_size::product(depth, sizeof(float)) + kSpectrumTupleOverhead)) {
        return tuplink::STATUS_TOO_LARGE;
    }
    ArrayFloatAsSCSpectrum values(depth);
    if (values.size() != depth ||
        cube->getSpectrum(static_cast<unsigned>(x), static_cast<unsigned>(y), values) != SC_OK) {
        return -1;
    }
    fillSpectrum(*spectrum, values.array());
    return 1;
}

int TuplinkSCCubeImpl::getSpectrums(int handle, int x, int y, int count,
                                    tuplink::TupleList* spectrums) {
    const CubeReference cube = cubeOf(handle);
    if (!cube) {
        return -1;
    }
    const unsigned depth = cube->depth();
    const std::uint64_t perSpectrum =
        reply_size::product(depth, sizeof(float)) + kSpectrumTupleOverhead;
    if (!reply_size::fits(reply_size::product(static_cast<unsigned>(count), perSpectrum))) {
        return tuplink::STATUS_TOO_LARGE;
    }
    std::vector<std::unique_ptr<ArrayFloatAsSCSpectrum>> values;
    std::vector<SCSpectrum*> outs;
    values.reserve(static_cast<unsigned>(count));
    outs.reserve(static_cast<unsigned>(count));
    for (unsigned k = 0; k < static_cast<unsigned>(count); ++k) {
        values.push_back(std::make_unique<ArrayFloatAsSCSpectrum>(depth));
        if (values.back()->size() != depth) {
            return -1;
        }
        outs.push_back(values.back().get());
    }
    if (cube->getSpectrums(static_cast<unsigned>(x), static_cast<unsigned>(y),
                           static_cast<unsigned>(count), outs) != SC_OK) {
        return -1;
    }
    for (auto& spectrum : values) {
        tuplink::Tuple tuple(service_names::kSpectrumClass);
        fillSpectrum(tuple, spectrum->array());
        spectrums->push_back(std::move(tuple));
    }
    return 1;
}

int TuplinkSCCubeImpl::getRegionSpectrum(int handle, int maskOffsetX, int maskOffsetY,
                                         const tuplink::Tuple* mask, tuplink::Tuple* spectrum,
                                         int* numSpectrums) {
    const CubeReference cube = cubeOf(handle);
    if (!cube || mask == nullptr) {
        return -1;
    }
    const TuplinkMaskAsPixmapMask pixmap(*mask);
    if (!pixmap.complete()) {
        return -1;
    }
    const unsigned depth = cube->depth();
    if (!reply_size::fits(reply_size::product(depth, sizeof(float)) + kSpectrumTupleOverhead)) {
        return tuplink::STATUS_TOO_LARGE;
    }
    ArrayFloatAsSCSpectrum values(depth);
    std::int64_t pixelCount = 0;
    if (values.size() != depth || cube->computeRegionSpectrum(maskOffsetX, maskOffsetY, pixmap,
                                                              values, pixelCount) != SC_OK) {
        return -1;
    }
    *numSpectrums = static_cast<int>(static_cast<std::uint32_t>(pixelCount));
    fillSpectrum(*spectrum, values.array());
    return 1;
}

int TuplinkSCCubeImpl::getImage(int handle, int z, tuplink::Blob* buffer) {
    const CubeReference cube = cubeOf(handle);
    if (!cube) {
        return -1;
    }
    const int sized = reply_size::sizeImageBuffer(*buffer, planeOf(*cube));
    if (sized == 1) {
        cube->getImage(static_cast<unsigned>(z), samplesOf(*buffer));
    }
    return sized;
}

int TuplinkSCCubeImpl::getSubImage(int handle, int z, const tuplink::Tuple* area,
                                   tuplink::Blob* buffer) {
    const CubeReference cube = cubeOf(handle);
    if (!cube || area == nullptr) {
        return -1;
    }
    const Rect r = service_tuples::rectOf(*area);
    const int sized = reply_size::sizeImageBuffer(*buffer, planeOf(r));
    if (sized == 1) {
        cube->getSubImage(static_cast<unsigned>(z), r, samplesOf(*buffer));
    }
    return sized;
}

int TuplinkSCCubeImpl::getImages(int handle, int z, int count, tuplink::Blob* buffer) {
    const CubeReference cube = cubeOf(handle);
    if (!cube) {
        return -1;
    }
    const int sized = reply_size::sizeImageBuffer(
        *buffer, reply_size::product(planeOf(*cube), static_cast<unsigned>(count)));
    if (sized == 1) {
        cube->getImages(static_cast<unsigned>(z), static_cast<unsigned>(count), samplesOf(*buffer));
    }
    return sized;
}

int TuplinkSCCubeImpl::getSubImages(int handle, int z, int count, const tuplink::Tuple* area,
                                    tuplink::Blob* buffer) {
    const CubeReference cube = cubeOf(handle);
    if (!cube || area == nullptr) {
        return -1;
    }
    const Rect r = service_tuples::rectOf(*area);
    const int sized = reply_size::sizeImageBuffer(
        *buffer, reply_size::product(planeOf(r), static_cast<unsigned>(count)));
    if (sized == 1) {
        cube->getSubImages(static_cast<unsigned>(z), static_cast<unsigned>(count), r,
                           samplesOf(*buffer));
    }
    return sized;
}

int TuplinkSCCubeImpl::getImagesAtChannels(int handle, const tuplink::IntList* channels,
                                           tuplink::Blob* buffer) {
    const CubeReference cube = cubeOf(handle);
    if (!cube || channels == nullptr) {
        return -1;
    }
    const int sized =
        reply_size::sizeImageBuffer(*buffer, reply_size::product(planeOf(*cube), channels->size()));
    if (sized == 1) {
        cube->getImages(channelsOf(*channels), samplesOf(*buffer));
    }
    return sized;
}

int TuplinkSCCubeImpl::getSubImagesAtChannels(int handle, const tuplink::IntList* channels,
                                              const tuplink::Tuple* area, tuplink::Blob* buffer) {
    const CubeReference cube = cubeOf(handle);
    if (!cube || channels == nullptr || area == nullptr) {
        return -1;
    }
    const Rect r = service_tuples::rectOf(*area);
    const int sized =
        reply_size::sizeImageBuffer(*buffer, reply_size::product(planeOf(r), channels->size()));
    if (sized == 1) {
        cube->getSubImages(channelsOf(*channels), r, samplesOf(*buffer));
    }
    return sized;
}

int TuplinkSCCubeImpl::computeRoiImage(int handle, int z, int count, tuplink::Blob* buffer) {
    const CubeReference cube = cubeOf(handle);
    if (!cube) {
        return -1;
    }
    const int sized = reply_size::sizeImageBuffer(*buffer, planeOf(*cube));
    if (sized == 1) {
        cube->computeRoiImage(static_cast<unsigned>(z), static_cast<unsigned>(count),
                              samplesOf(*buffer));
    }
    return sized;
}

int TuplinkSCCubeImpl::computeSubRoiImage(int handle, int z, int count, const tuplink::Tuple* area,
                                          tuplink::Blob* buffer) {
    const CubeReference cube = cubeOf(handle);
    if (!cube || area == nullptr) {
        return -1;
    }
    const Rect r = service_tuples::rectOf(*area);
    const int sized = reply_size::sizeImageBuffer(*buffer, planeOf(r));
    if (sized == 1) {
        cube->computeSubRoiImage(static_cast<unsigned>(z), static_cast<unsigned>(count), r,
                                 samplesOf(*buffer));
    }
    return sized;
}
