#pragma once

#include "service/method_object.h"
#include "service/sc_cube.h"

// The method objects of the cube interface "com.tarn.brix.mv.sc.sc_cube", one per method, in the
// order they are registered. Each reads its arguments, calls the method of the same name on the
// interface object and writes its results, by the pattern of MethodObject.

using SCCubeMethod = MethodObject<com::tarn::brix::mv::sc::sc_cube>;

class __sc_cube_getCube final : public SCCubeMethod {
  public:
    using SCCubeMethod::SCCubeMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_cube_releaseCube final : public SCCubeMethod {
  public:
    using SCCubeMethod::SCCubeMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_cube_getVersion final : public SCCubeMethod {
  public:
    using SCCubeMethod::SCCubeMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_cube_width final : public SCCubeMethod {
  public:
    using SCCubeMethod::SCCubeMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_cube_height final : public SCCubeMethod {
  public:
    using SCCubeMethod::SCCubeMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_cube_depth final : public SCCubeMethod {
  public:
    using SCCubeMethod::SCCubeMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_cube_isAcquired final : public SCCubeMethod {
  public:
    using SCCubeMethod::SCCubeMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_cube_getSpectrum final : public SCCubeMethod {
  public:
    using SCCubeMethod::SCCubeMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_cube_getSpectrums final : public SCCubeMethod {
  public:
    using SCCubeMethod::SCCubeMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_cube_getRegionSpectrum final : public SCCubeMethod {
  public:
    using SCCubeMethod::SCCubeMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_cube_getImage final : public SCCubeMethod {
  public:
    using SCCubeMethod::SCCubeMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_cube_getSubImage final : public SCCubeMethod {
  public:
    using SCCubeMethod::SCCubeMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_cube_getImages final : public SCCubeMethod {
  public:
    using SCCubeMethod::SCCubeMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_cube_getSubImages final : public SCCubeMethod {
  public:
    using SCCubeMethod::SCCubeMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_cube_getImagesAtChannels final : public SCCubeMethod {
  public:
    using SCCubeMethod::SCCubeMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_cube_getSubImagesAtChannels final : public SCCubeMethod {
  public:
    using SCCubeMethod::SCCubeMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_cube_computeRoiImage final : public SCCubeMethod {
  public:
    using SCCubeMethod::SCCubeMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
             tuplink::Tuple& results) override;
};

class __sc_cube_computeSubRoiImage final : public SCCubeMethod {
  public:
    using SCCubeMethod::SCCubeMethod;

  protected:
    int call(com::tarn::brix::mv::sc::sc_cube& cube, const CallArguments& in,
             tuplink::Tuple& results) override;
};
