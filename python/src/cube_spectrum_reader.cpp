#include "cube_spectrum_reader.h"

#include <algorithm>
#include <climits>

namespace sc_api_python {

int CubeSpectrumReader::read(unsigned short* buffer, unsigned count) {
    const unsigned long long pixels =
        static_cast<unsigned long long>(cube_.width()) * cube_.height();
    const auto wanted = static_cast<unsigned>(
        std::min<unsigned long long>({count, pixels - std::min(next_, pixels), INT_MAX}));
    if (wanted == 0) {
        return 0;
    }
    const auto x = static_cast<unsigned>(next_ % cube_.width());
    const auto y = static_cast<unsigned>(next_ / cube_.width());
    std::fill_n(buffer, static_cast<unsigned long long>(wanted) * cube_.depth(), 0);
    if (cube_.readSpectrums(x, y, wanted, buffer) != SC_OK) {
        return -1;
    }
    next_ += wanted;
    return static_cast<int>(wanted);
}

bool CubeSpectrumReader::rewind() {
    next_ = 0;
    return true;
}

}  // namespace sc_api_python
