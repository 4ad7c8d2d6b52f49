// The registrations made when the library loads, and the calling pattern of the method objects,
// seen in-process through the middleware's registry.
#include <gtest/gtest.h>

#include <string>

#include "service/sc_builder.h"
#include "service/sc_cube.h"
#include "tuplink/ref_object.h"
#include "tuplink/registry.h"

extern "C" int sc_api_service_registered();

namespace {

using tuplink::Registry;
using tuplink::Symbol;
using tuplink::Tuple;

constexpr const char* kBuilder = "com.tarn.brix.mv.sc.sc_builder";
constexpr const char* kCube = "com.tarn.brix.mv.sc.sc_cube";

const char* const kBuilderMethods[] = {
    "start",        "terminate", "getStatus", "release", "abort", "addSpectrumLine",
    "startNewArea", "numAreas",  "width",     "height",  "depth", "computeRoiImage"};
const char* const kCubeMethods[] = {"getCube",
                                    "releaseCube",
                                    "getVersion",
                                    "width",
                                    "height",
                                    "depth",
                                    "isAcquired",
                                    "getSpectrum",
                                    "getSpectrums",
                                    "getRegionSpectrum",
                                    "getImage",
                                    "getSubImage",
                                    "getImages",
                                    "getSubImages",
                                    "getImagesAtChannels",
                                    "getSubImagesAtChannels",
                                    "computeRoiImage",
                                    "computeSubRoiImage"};

TEST(ServiceRegistration, TheServiceItsInterfacesAndThirtyMethodsAreRegisteredByName) {
    ASSERT_EQ(sc_api_service_registered(), 30);
    EXPECT_NE(Registry::service_factory("com.tarn.brix.mv.mv_svc"), nullptr);
    EXPECT_NE(Registry::interface_factory(kBuilder), nullptr);
    EXPECT_NE(Registry::interface_factory(kCube), nullptr);
    for (const char* method : kBuilderMethods) {
        const auto* registered = Registry::method(kBuilder, method);
        ASSERT_NE(registered, nullptr) << method;
        EXPECT_EQ(std::string(registered->method_name()), std::string(kBuilder) + "." + method);
        EXPECT_FALSE(registered->is_oneway());
    }
    for (const char* method : kCubeMethods) {
        ASSERT_NE(Registry::method(kCube, method), nullptr) << method;
    }
    EXPECT_EQ(Registry::method(kCube, "start"), nullptr);
}

TEST(ServiceRegistration, AMethodWithoutTargetAnswersZeroAndWritesNothing) {
    Tuple results;
    results.set_int(Symbol("untouched"), 7);
    const Tuple before = results;
    Tuple arguments;
    EXPECT_EQ(Registry::method(kCube, "getImage")->invoke(nullptr, arguments, results), 0);
    EXPECT_EQ(Registry::method(kBuilder, "start")->invoke(nullptr, arguments, results), 0);
    EXPECT_EQ(results, before);
}

TEST(ServiceRegistration, ResultsAreWrittenEvenWhenTheMethodRefuses) {
    const tuplink::AutoRef<tuplink::Interface> cube = Registry::interface_factory(kCube)->create();
    const tuplink::AutoRef<tuplink::Interface> builder =
        Registry::interface_factory(kBuilder)->create();
    Tuple arguments;  // no "handle": handle 0, which no cube has yet
    Tuple results;
    EXPECT_EQ(Registry::method(kCube, "width")->invoke(cube.get(), arguments, results), -1);
    EXPECT_EQ(results.get_int(Symbol("w"), 99), 0);
    EXPECT_EQ(Registry::method(kCube, "getImage")->invoke(cube.get(), arguments, results), -1);
    EXPECT_NE(results.get_pvalue(Symbol("buffer"), tuplink::TYPE_BLOB), nullptr);
    EXPECT_EQ(Registry::method(kCube, "getSpectrum")->invoke(cube.get(), arguments, results), -1);
    const auto* spectrum =
        static_cast<Tuple*>(results.get_pvalue(Symbol("spectrum"), tuplink::TYPE_TUPLE));
    ASSERT_NE(spectrum, nullptr);
    EXPECT_STREQ(spectrum->class_name(), "com::tarn::brix::mv::sc::Spectrum");
    EXPECT_TRUE(spectrum->empty());
    EXPECT_EQ(Registry::method(kBuilder, "start")->invoke(builder.get(), arguments, results), -1);
    EXPECT_EQ(results.get_int(Symbol("handle")), -1);
    // A method object given the other interface's object has no target.
    EXPECT_EQ(Registry::method(kBuilder, "width")->invoke(cube.get(), arguments, results), 0);
}

TEST(ServiceRegistration, TheGeneratedInterfacesAnswerNotImplemented) {
    const tuplink::AutoRef<com::tarn::brix::mv::sc::sc_cube> cube(
        new com::tarn::brix::mv::sc::sc_cube);
    const tuplink::AutoRef<com::tarn::brix::mv::sc::sc_builder> builder(
        new com::tarn::brix::mv::sc::sc_builder);
    int value = 0;
    tuplink::Blob buffer;
    EXPECT_EQ(cube->width(0, &value), -1000014);
    EXPECT_EQ(cube->computeSubRoiImage(0, 0, 1, nullptr, &buffer), -1000014);
    EXPECT_EQ(builder->release(0), -1000014);
    EXPECT_EQ(builder->computeRoiImage(0, 0, 1, &buffer), -1000014);
    EXPECT_TRUE(buffer.empty());
}

}  // namespace
