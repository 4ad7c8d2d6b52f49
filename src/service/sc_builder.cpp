#include "service/sc_builder.h"

#include "service/service_names.h"

namespace com::tarn::brix::mv::sc {

sc_builder::sc_builder() : tuplink::Interface(service_names::kBuilderInterface) {}

sc_builder::~sc_builder() = default;

int sc_builder::start(const tuplink::AString*, int, int, int, double, int*) {
    return kMethodNotImplemented;
}
int sc_builder::terminate(int) {
    return kMethodNotImplemented;
}
int sc_builder::getStatus(int, int*) {
    return kMethodNotImplemented;
}
int sc_builder::release(int) {
    return kMethodNotImplemented;
}
int sc_builder::abort(int) {
    return kMethodNotImplemented;
}
int sc_builder::addSpectrumLine(int, const tuplink::Blob*) {
    return kMethodNotImplemented;
}
int sc_builder::startNewArea(int, const tuplink::Tuple*) {
    return kMethodNotImplemented;
}
int sc_builder::numAreas(int, int*) {
    return kMethodNotImplemented;
}
int sc_builder::width(int, int*) {
    return kMethodNotImplemented;
}
int sc_builder::height(int, int*) {
    return kMethodNotImplemented;
}
int sc_builder::depth(int, int*) {
    return kMethodNotImplemented;
}
int sc_builder::computeRoiImage(int, int, int, tuplink::Blob*) {
    return kMethodNotImplemented;
}

}  // namespace com::tarn::brix::mv::sc
