#pragma once

// Marks a class or function as part of the interface exported by libtuplink.so, so that
// libraries compiled with hidden visibility still see tuplink's types as the shared ones.
#define TUPLINK_EXPORT __attribute__((visibility("default")))
