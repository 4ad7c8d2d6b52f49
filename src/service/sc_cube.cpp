#include "service/sc_cube.h"

#include "service/sc_builder.h"
#include "service/service_names.h"

namespace com::tarn::brix::mv::sc {

sc_cube::sc_cube() : tuplink::Interface(service_names::kCubeInterface) {}

sc_cube::~sc_cube() = default;

int sc_cube::getCube(const tuplink::AString*, int*) {
    return kMethodNotImplemented;
}
int sc_cube::releaseCube(int) {
    return kMethodNotImplemented;
}
int sc_cube::getVersion(int, int*) {
    return kMethodNotImplemented;
}
int sc_cube::width(int, int*) {
    return kMethodNotImplemented;
}
int sc_cube::height(int, int*) {
    return kMethodNotImplemented;
}
int sc_cube::depth(int, int*) {
    return kMethodNotImplemented;
}
int sc_cube::isAcquired(int, int, int, bool*) {
    return kMethodNotImplemented;
}
int sc_cube::getSpectrum(int, int, int, tuplink::Tuple*) {
    return kMethodNotImplemented;
}
int sc_cube::getSpectrums(int, int, int, int, tuplink::TupleList*) {
    return kMethodNotImplemented;
}
int sc_cube::getRegionSpectrum(int, int, int, const tuplink::Tuple*, tuplink::Tuple*, int*) {
    return kMethodNotImplemented;
}
int sc_cube::getImage(int, int, tuplink::Blob*) {
    return kMethodNotImplemented;
}
int sc_cube::getSubImage(int, int, const tuplink::Tuple*, tuplink::Blob*) {
    return kMethodNotImplemented;
}
int sc_cube::getImages(int, int, int, tuplink::Blob*) {
    return kMethodNotImplemented;
}
int sc_cube::getSubImages(int, int, int, const tuplink::Tuple*, tuplink::Blob*) {
    return kMethodNotImplemented;
}
int sc_cube::getImagesAtChannels(int, const tuplink::IntList*, tuplink::Blob*) {
    return kMethodNotImplemented;
}
int sc_cube::getSubImagesAtChannels(int, const tuplink::IntList*, const tuplink::Tuple*,
                                    tuplink::Blob*) {
    return kMethodNotImplemented;
}
int sc_cube::computeRoiImage(int, int, int, tuplink::Blob*) {
    return kMethodNotImplemented;
}
int sc_cube::computeSubRoiImage(int, int, int, const tuplink::Tuple*, tuplink::Blob*) {
    return kMethodNotImplemented;
}

}  // namespace com::tarn::brix::mv::sc
