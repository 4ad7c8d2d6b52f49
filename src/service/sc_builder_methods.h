#pragma once

#include "service/method_object.h"
#include "service/sc_builder.h"

// The method objects of the builder interface "com.tarn.brix.mv.sc.sc_builder", one per method, in
// the order they are registered. Each reads its arguments, calls the method of the same name on the
// interface object and writes its results, by the pattern of MethodObject.

using SCBuilderMethod = MethodObject<com::tarn::brix::mv::sc::sc_builder>;

class __sc_builder_start final : public SCBuilderMethod {
  public:
    using SCBuilderMethod::SCBuilderMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_builder& builder, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_builder_terminate final : public SCBuilderMethod {
  public:
    using SCBuilderMethod::SCBuilderMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_builder& builder, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_builder_getStatus final : public SCBuilderMethod {
  public:
    using SCBuilderMethod::SCBuilderMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_builder& builder, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_builder_release final : public SCBuilderMethod {
  public:
    using SCBuilderMethod::SCBuilderMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_builder& builder, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_builder_abort final : public SCBuilderMethod {
  public:
    using SCBuilderMethod::SCBuilderMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_builder& builder, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_builder_addSpectrumLine final : public SCBuilderMethod {
  public:
    using SCBuilderMethod::SCBuilderMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_builder& builder, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_builder_startNewArea final : public SCBuilderMethod {
  public:
    using SCBuilderMethod::SCBuilderMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_builder& builder, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_builder_numAreas final : public SCBuilderMethod {
  public:
    using SCBuilderMethod::SCBuilderMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_builder& builder, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_builder_width final : public SCBuilderMethod {
  public:
    using SCBuilderMethod::SCBuilderMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_builder& builder, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_builder_height final : public SCBuilderMethod {
  public:
    using SCBuilderMethod::SCBuilderMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_builder& builder, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_builder_depth final : public SCBuilderMethod {
  public:
    using SCBuilderMethod::SCBuilderMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_builder& builder, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_builder_computeRoiImage final : public SCBuilderMethod {
  public:
    using SCBuilderMethod::SCBuilderMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_builder& builder, const CallArguments& in,
             tuplink::Tuple& results) override;
};
