#pragma once

#include "sc_api/export.h"

// Base of classes whose objects must not be copied.
class SC_API_EXPORT Uncopyable {
  public:
    Uncopyable() = default;
    Uncopyable(const Uncopyable&) = delete;
    Uncopyable& operator=(const Uncopyable&) = delete;

  protected:
    ~Uncopyable() = default;
};
