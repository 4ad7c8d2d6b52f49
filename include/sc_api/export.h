#pragma once

// Marks a class or function as part of the interface exported by libsc_api.so. Everything else
// is compiled with hidden visibility.
#define SC_API_EXPORT __attribute__((visibility("default")))
