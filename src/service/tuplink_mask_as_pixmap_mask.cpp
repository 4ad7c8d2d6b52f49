#include "service/tuplink_mask_as_pixmap_mask.h"

#include <cstdint>

namespace {

unsigned storedInt(const tuplink::Tuple& tuple, const char* key) {
    return static_cast<unsigned>(tuple.get_int(tuplink::Symbol(key)));
}

const tuplink::Blob* storedBlob(const tuplink::Tuple& tuple, const char* key) {
    const tuplink::Tuple::Value* value = tuple.get_value(tuplink::Symbol(key), tuplink::TYPE_BLOB);
    return value != nullptr ? &value->as<tuplink::Blob>() : nullptr;
}

}  // namespace

TuplinkMaskAsPixmapMask::TuplinkMaskAsPixmapMask(const tuplink::Tuple& mask)
    : pixels_(storedBlob(mask, "pixmapMaskBuffer")),
      width_(storedInt(mask, "width")),
      height_(storedInt(mask, "height")) {}

TuplinkMaskAsPixmapMask::~TuplinkMaskAsPixmapMask() = default;

bool TuplinkMaskAsPixmapMask::complete() const {
    return pixels_ != nullptr && pixels_->size() >= std::uint64_t{width_} * height_;
}

unsigned TuplinkMaskAsPixmapMask::width() const {
    return width_;
}

unsigned TuplinkMaskAsPixmapMask::height() const {
    return height_;
}

bool TuplinkMaskAsPixmapMask::isSelected(unsigned x, unsigned y) const {
    return pixels_->data()[std::size_t{y} * width_ + x] != std::byte{0};
}
