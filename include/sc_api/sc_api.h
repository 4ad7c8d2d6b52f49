#pragma once

// The whole public interface of libsc_api: include this header and link against sc_api.

#include "sc_api/export.h"
#include "sc_api/logger.h"
#include "sc_api/pixmap_mask.h"
#include "sc_api/processor.h"
#include "sc_api/rect.h"
#include "sc_api/sc_cube.h"
#include "sc_api/sc_cube_loader.h"
#include "sc_api/sc_error_code.h"
#include "sc_api/sc_file.h"
#include "sc_api/sc_file_builder.h"
#include "sc_api/sc_raw_file.h"
#include "sc_api/sc_raw_header.h"
#include "sc_api/sc_raw_io.h"
#include "sc_api/sc_spectrum.h"
#include "sc_api/scd.h"
#include "sc_api/shared_ptr.h"
#include "sc_api/uncopyable.h"
