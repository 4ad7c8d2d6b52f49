#include "service/sc_builder_methods.h"

int __sc_builder_start::call(com::tarn::brix::mv::sc::sc_builder& builder, const CallArguments& in,
                             tuplink::Tuple& results) {
    int handle = -1;
    const int status = builder.start(in.string("name"), in.integer("width"), in.integer("height"),
                                     in.integer("depth"), in.real("factor"), &handle);
    call_results::storeInt(results, "handle", handle);
    return status;
}

int __sc_builder_terminate::call(com::tarn::brix::mv::sc::sc_builder& builder,
                                 const CallArguments& in, tuplink::Tuple& /*results*/) {
    return builder.terminate(in.integer("handle"));
}

int __sc_builder_getStatus::call(com::tarn::brix::mv::sc::sc_builder& builder,
                                 const CallArguments& in, tuplink::Tuple& results) {
    int status = 0;
    const int answer = builder.getStatus(in.integer("handle"), &status);
    call_results::storeInt(results, "status", status);
    return answer;
}

int __sc_builder_release::call(com::tarn::brix::mv::sc::sc_builder& builder,
                               const CallArguments& in, tuplink::Tuple& /*results*/) {
    return builder.release(in.integer("handle"));
}

int __sc_builder_abort::call(com::tarn::brix::mv::sc::sc_builder& builder, const CallArguments& in,
                             tuplink::Tuple& /*results*/) {
    return builder.abort(in.integer("handle"));
}

int __sc_builder_addSpectrumLine::call(com::tarn::brix::mv::sc::sc_builder& builder,
                                       const CallArguments& in, tuplink::Tuple& /*results*/) {
    return builder.addSpectrumLine(in.integer("handle"), in.blob("spectrums"));
}

int __sc_builder_startNewArea::call(com::tarn::brix::mv::sc::sc_builder& builder,
                                    const CallArguments& in, tuplink::Tuple& /*results*/) {
    return builder.startNewArea(in.integer("handle"), in.tuple("area"));
}

int __sc_builder_numAreas::call(com::tarn::brix::mv::sc::sc_builder& builder,
                                const CallArguments& in, tuplink::Tuple& results) {
    int n = 0;
    const int status = builder.numAreas(in.integer("handle"), &n);
    call_results::storeInt(results, "n", n);
    return status;
}

int __sc_builder_width::call(com::tarn::brix::mv::sc::sc_builder& builder, const CallArguments& in,
                             tuplink::Tuple& results) {
    int w = 0;
    const int status = builder.width(in.integer("handle"), &w);
    call_results::storeInt(results, "w", w);
    return status;
}

int __sc_builder_height::call(com::tarn::brix::mv::sc::sc_builder& builder, const CallArguments& in,
                              tuplink::Tuple& results) {
    int h = 0;
    const int status = builder.height(in.integer("handle"), &h);
    call_results::storeInt(results, "h", h);
    return status;
}

int __sc_builder_depth::call(com::tarn::brix::mv::sc::sc_builder& builder, const CallArguments& in,
                             tuplink::Tuple& results) {
    int d = 0;
    const int status = builder.depth(in.integer("handle"), &d);
    call_results::storeInt(results, "d", d);
    return status;
}

int __sc_builder_computeRoiImage::call(com::tarn::brix::mv::sc::sc_builder& builder,
                                       const CallArguments& in, tuplink::Tuple& results) {
    tuplink::Blob buffer;
    const int status = builder.computeRoiImage(in.integer("handle"), in.integer("z"),
                                               in.integer("count"), &buffer);
    call_results::storeBlob(results, "buffer", buffer);
    return status;
}
