#include "sc_api/pixmap_mask.h"

PixmapMask::~PixmapMask() = default;
