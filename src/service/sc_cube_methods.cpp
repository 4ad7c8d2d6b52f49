#include "service/sc_cube_methods.h"

#include "service/service_names.h"

int __sc_cube_getCube::call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
                            tuplink::Tuple& results) {
    int handle = 0;
    const int status = cube.getCube(in.string("path"), &handle);
    call_results::storeInt(results, "handle", handle);
    return status;
}

int __sc_cube_releaseCube::call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
                                tuplink::Tuple& /*results*/) {
    return cube.releaseCube(in.integer("handle"));
}

int __sc_cube_getVersion::call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
                               tuplink::Tuple& results) {
    int v = 0;
    const int status = cube.getVersion(in.integer("handle"), &v);
    call_results::storeInt(results, "v", v);
    return status;
}

int __sc_cube_width::call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
                          tuplink::Tuple& results) {
    int w = 0;
    const int status = cube.width(in.integer("handle"), &w);
    call_results::storeInt(results, "w", w);
    return status;
}

int __sc_cube_height::call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
                           tuplink::Tuple& results) {
    int h = 0;
    const int status = cube.height(in.integer("handle"), &h);
    call_results::storeInt(results, "h", h);
    return status;
}

int __sc_cube_depth::call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
                          tuplink::Tuple& results) {
    int d = 0;
    const int status = cube.depth(in.integer("handle"), &d);
    call_results::storeInt(results, "d", d);
    return status;
}

int __sc_cube_isAcquired::call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
                               tuplink::Tuple& results) {
    bool acquired = false;
    const int status =
        cube.isAcquired(in.integer("handle"), in.integer("x"), in.integer("y"), &acquired);
    call_results::storeBool(results, "isAcquired", acquired);
    return status;
}

int __sc_cube_getSpectrum::call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
                                tuplink::Tuple& results) {
    tuplink::Tuple spectrum(service_names::kSpectrumClass);
    const int status =
        cube.getSpectrum(in.integer("handle"), in.integer("x"), in.integer("y"), &spectrum);
    call_results::storeTuple(results, "spectrum", spectrum);
    return status;
}

int __sc_cube_getSpectrums::call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
                                 tuplink::Tuple& results) {
    tuplink::TupleList spectrums;
    const int status = cube.getSpectrums(in.integer("handle"), in.integer("x"), in.integer("y"),
                                         in.integer("count"), &spectrums);
    call_results::storeTupleList(results, "spectrums", spectrums);
    return status;
}

int __sc_cube_getRegionSpectrum::call(com::tarn::brix::mv::sc::sc_cube& cube,
                                      const CallArguments& in, tuplink::Tuple& results) {
    tuplink::Tuple spectrum(service_names::kSpectrumClass);
    int numSpectrums = 0;
    const int status = cube.getRegionSpectrum(in.integer("handle"), in.integer("maskOffsetX"),
                                              in.integer("maskOffsetY"), in.tuple("mask"),
                                              &spectrum, &numSpectrums);
    call_results::storeTuple(results, "spectrum", spectrum);
    call_results::storeInt(results, "numSpectrums", numSpectrums);
    return status;
}

int __sc_cube_getImage::call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
                             tuplink::Tuple& results) {
    tuplink::Blob buffer;
    const int status = cube.getImage(in.integer("handle"), in.integer("z"), &buffer);
    call_results::storeBlob(results, "buffer", buffer);
    return status;
}

int __sc_cube_getSubImage::call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
                                tuplink::Tuple& results) {
    tuplink::Blob buffer;
    const int status =
        cube.getSubImage(in.integer("handle"), in.integer("z"), in.tuple("area"), &buffer);
    call_results::storeBlob(results, "buffer", buffer);
    return status;
}

int __sc_cube_getImages::call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
                              tuplink::Tuple& results) {
    tuplink::Blob buffer;
    const int status =
        cube.getImages(in.integer("handle"), in.integer("z"), in.integer("count"), &buffer);
    call_results::storeBlob(results, "buffer", buffer);
    return status;
}

int __sc_cube_getSubImages::call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
                                 tuplink::Tuple& results) {
    tuplink::Blob buffer;
    const int status = cube.getSubImages(in.integer("handle"), in.integer("z"), in.integer("count"),
                                         in.tuple("area"), &buffer);
    call_results::storeBlob(results, "buffer", buffer);
    return status;
}

int __sc_cube_getImagesAtChannels::call(com::tarn::brix::mv::sc::sc_cube& cube,
                                        const CallArguments& in, tuplink::Tuple& results) {
    tuplink::Blob buffer;
    const int status =
        cube.getImagesAtChannels(in.integer("handle"), in.intList("channels"), &buffer);
    call_results::storeBlob(results, "buffer", buffer);
    return status;
}

int __sc_cube_getSubImagesAtChannels::call(com::tarn::brix::mv::sc::sc_cube& cube,
                                           const CallArguments& in, tuplink::Tuple& results) {
    tuplink::Blob buffer;
    const int status = cube.getSubImagesAtChannels(in.integer("handle"), in.intList("channels"),
                                                   in.tuple("area"), &buffer);
    call_results::storeBlob(results, "buffer", buffer);
    return status;
}

int __sc_cube_computeRoiImage::call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
                                    tuplink::Tuple& results) {
    tuplink::Blob buffer;
    const int status =
        cube.computeRoiImage(in.integer("handle"), in.integer("z"), in.integer("count"), &buffer);
    call_results::storeBlob(results, "buffer", buffer);
    return status;
}

int __sc_cube_computeSubRoiImage::call(com::tarn::brix::mv::sc::sc_cube& cube,
                                       const CallArguments& in, tuplink::Tuple& results) {
    tuplink::Blob buffer;
    const int status = cube.computeSubRoiImage(in.integer("handle"), in.integer("z"),
                                               in.integer("count"), in.tuple("area"), &buffer);
    call_results::storeBlob(results, "buffer", buffer);
    return status;
}
