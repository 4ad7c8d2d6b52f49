#include "service/mv_svc.h"

#include "service/service_names.h"

namespace com::tarn::brix::mv {

mv_svc::mv_svc()
    : tuplink::Service(service_names::kService), tuplink::Interface(service_names::kService) {}

mv_svc::~mv_svc() = default;

}  // namespace com::tarn::brix::mv
