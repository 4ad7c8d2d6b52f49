// The registrations of the cube service, made when the library loads and undone, in reverse
// order, when it unloads: the service factory, the two interface factories, then the twelve
// builder methods and the eighteen cube methods. They live in this one file so that they are
// built in exactly this order.
#include "service/sc_builder_methods.h"
#include "service/sc_cube_methods.h"
#include "service/service_names.h"
#include "service/tuplink_mv_service_impl.h"
#include "service/tuplink_sc_builder_impl.h"
#include "service/tuplink_sc_cube_impl.h"
#include "tuplink/interface.h"
#include "tuplink/service.h"

namespace {

using service_names::kBuilderInterface;
using service_names::kCubeInterface;

tuplink::DefaultServiceFactory<TuplinkMvServiceImpl> serviceFactory(service_names::kService, false);
tuplink::DummyInterfaceFactory<TuplinkSCBuilderImpl> builderFactory(kBuilderInterface);
tuplink::DummyInterfaceFactory<TuplinkSCCubeImpl> cubeFactory(kCubeInterface);

#define BUILDER_METHOD(name) \
    __sc_builder_##name builder_##name(kBuilderInterface, "com.tarn.brix.mv.sc.sc_builder." #name)
#define CUBE_METHOD(name) \
    __sc_cube_##name cube_##name(kCubeInterface, "com.tarn.brix.mv.sc.sc_cube." #name)

BUILDER_METHOD(start);
BUILDER_METHOD(terminate);
BUILDER_METHOD(getStatus);
BUILDER_METHOD(release);
BUILDER_METHOD(abort);
BUILDER_METHOD(addSpectrumLine);
BUILDER_METHOD(startNewArea);
BUILDER_METHOD(numAreas);
BUILDER_METHOD(width);
BUILDER_METHOD(height);
BUILDER_METHOD(depth);
BUILDER_METHOD(computeRoiImage);

CUBE_METHOD(getCube);
CUBE_METHOD(releaseCube);
CUBE_METHOD(getVersion);
CUBE_METHOD(width);
CUBE_METHOD(height);
CUBE_METHOD(depth);
CUBE_METHOD(isAcquired);
CUBE_METHOD(getSpectrum);
CUBE_METHOD(getSpectrums);
CUBE_METHOD(getRegionSpectrum);
CUBE_METHOD(getImage);
CUBE_METHOD(getSubImage);
CUBE_METHOD(getImages);
CUBE_METHOD(getSubImages);
CUBE_METHOD(getImagesAtChannels);
CUBE_METHOD(getSubImagesAtChannels);
CUBE_METHOD(computeRoiImage);
CUBE_METHOD(computeSubRoiImage);

#undef BUILDER_METHOD
#undef CUBE_METHOD

}  // namespace

// Referenced by programs that link the library statically, so that the linker keeps this file
// (and with it the registrations) in the program.
extern "C" int sc_api_service_registered() {
    return 30;
}
