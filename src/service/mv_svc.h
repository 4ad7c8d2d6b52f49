#pragma once

#include "tuplink/interface.h"
#include "tuplink/service.h"

namespace com::tarn::brix::mv {

// The service class as the interface compiler generates it: a service object named
// "com.tarn.brix.mv.mv_svc" that is also an interface object of its own.
class mv_svc : public tuplink::Service, public tuplink::Interface {
  public:
    mv_svc();

  protected:
    ~mv_svc() override;
};

}  // namespace com::tarn::brix::mv
