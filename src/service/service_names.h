#pragma once

// Names under which the cube service registers itself with the middleware, and the class name
// of the tuples that carry spectra.
namespace service_names {

inline constexpr const char* kService = "com.tarn.brix.mv.mv_svc";
inline constexpr const char* kBuilderInterface = "com.tarn.brix.mv.sc.sc_builder";
inline constexpr const char* kCubeInterface = "com.tarn.brix.mv.sc.sc_cube";
inline constexpr const char* kSpectrumClass = "com::tarn::brix::mv::sc::Spectrum";

}  // namespace service_names
