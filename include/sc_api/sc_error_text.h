#pragma once

#include "sc_api/export.h"

// A short English phrase for an SCErrorCode value, for messages shown to people ("the position or
// channel range lies outside the cube", ...). Values the library does not produce give
// "unknown error". The text is static and never null.
SC_API_EXPORT const char* scErrorText(int code);
