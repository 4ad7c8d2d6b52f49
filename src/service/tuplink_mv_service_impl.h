#pragma once

#include "service/mv_svc.h"

// The service object of "com.tarn.brix.mv.mv_svc": one per service instance, made by the
// service factory and given the instance's name. It holds nothing itself; the state of the
// service lives in its interface objects (TuplinkSCBuilderImpl, TuplinkSCCubeImpl).
class TuplinkMvServiceImpl : public com::tarn::brix::mv::mv_svc {
  public:
    TuplinkMvServiceImpl();

  protected:
    ~TuplinkMvServiceImpl() override;
};
