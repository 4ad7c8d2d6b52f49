#include "service/tuplink_sc_builder_impl.h"

#include <cstdint>
#include <new>
#include <string>
#include <utility>

#include "sc_api/sc_service.h"
#include "service/cube_path.h"
#include "service/refusal_log.h"
#include "service/reply_size.h"
#include "service/service_tuples.h"
#include "tuplink/status.h"

TuplinkSCBuilderImpl::TuplinkSCBuilderImpl() = default;

TuplinkSCBuilderImpl::~TuplinkSCBuilderImpl() = default;

TuplinkSCBuilderImpl::BuilderReference TuplinkSCBuilderImpl::entryOf(int handle) {
    std::lock_guard guard(lock_);
    if (handle < 0 || static_cast<std::size_t>(handle) >= builderTable_.size()) {
        return nullptr;
    }
    return builderTable_[handle];
}

template <class Call>
int TuplinkSCBuilderImpl::withBuilder(int handle, Call call) {
    const BuilderReference entry = entryOf(handle);
    if (!entry) {
        return -1;
    }
    std::lock_guard calls(entry->calls);
    return call(entry->builder);
}

int TuplinkSCBuilderImpl::start(const tuplink::AString* name, int width, int height, int depth,
                                double factor, int* handle) {
    *handle = -1;
    if (name == nullptr) {
        return -1;
    }
    const std::string root = SCService::root();
    const std::string canonicalName = cube_path::canonical(name->str(), root);
    if (!cube_path::insideRoot(canonicalName, root)) {
        refusal_log::write("sc_builder.start: \"" + name->str() + "\" lies outside the root " +
                           root);
        return -1;
    }
    const std::uint64_t roiValues =
        reply_size::product(static_cast<unsigned>(width), static_cast<unsigned>(height));
    if (!reply_size::fits(reply_size::product(roiValues, sizeof(unsigned short)))) {
        return tuplink::STATUS_TOO_LARGE;
    }
    BuilderReference entry(new (std::nothrow) BuilderEntry(
        canonicalName, static_cast<unsigned>(width), static_cast<unsigned>(height),
        static_cast<unsigned>(depth), static_cast<float>(factor)));
    if (!entry || !entry->builder.isOpen()) {
        return -1;
    }
    std::lock_guard guard(lock_);
    *handle = static_cast<int>(builderTable_.size());
    builderTable_.push_back(std::move(entry));
    return 1;
}

int TuplinkSCBuilderImpl::terminate(int handle) {
    return withBuilder(handle, [](FragmentedSCDBuilder& builder) {
        if (!builder.isOpen()) {
            return -1;
        }
        builder.close();
        return 1;
    });
}

int TuplinkSCBuilderImpl::getStatus(int handle, int* status) {
    return withBuilder(handle, [status](FragmentedSCDBuilder& builder) {
        *status = builder.isOpen() ? 0 : 1;
        return 1;
    });
}

int TuplinkSCBuilderImpl::release(int handle) {
    BuilderReference released;  // destroyed (closing the builder) once the table lock is left
    {
        std::lock_guard guard(lock_);
        if (handle < 0 || static_cast<std::size_t>(handle) >= builderTable_.size() ||
            !builderTable_[handle]) {
            return -1;
        }
        released = std::move(builderTable_[handle]);
    }
    // A call still running on the builder keeps it; the last one out destroys it.
    return 1;
}

int TuplinkSCBuilderImpl::abort(int handle) {
    return withBuilder(handle, [](FragmentedSCDBuilder& builder) {
        builder.cancel();
        return 1;
    });
}

int TuplinkSCBuilderImpl::addSpectrumLine(int handle, const tuplink::Blob* spectrums) {
    return withBuilder(handle, [spectrums](FragmentedSCDBuilder& builder) {
        if (spectrums == nullptr) {
            return -1;
        }
        const Rect area = builder.currentArea();
        const std::uint64_t lineBytes =
            std::uint64_t{area.width} * builder.depth() * sizeof(unsigned short);
        if (area.width != 0 && spectrums->size() != lineBytes) {
            return -1;
        }
        std::vector<unsigned short> aligned;
        builder.addSpectrumLine(service_tuples::samplesOf(*spectrums, aligned));
        return 1;
    });
}

int TuplinkSCBuilderImpl::startNewArea(int handle, const tuplink::Tuple* area) {
    return withBuilder(handle, [area](FragmentedSCDBuilder& builder) {
        if (area == nullptr) {
            return -1;
        }
        builder.startNewArea(service_tuples::rectOf(*area));
        return 1;
    });
}

int TuplinkSCBuilderImpl::numAreas(int handle, int* n) {
    return withBuilder(handle, [n](FragmentedSCDBuilder& builder) {
        *n = static_cast<int>(builder.numAreas());
        return 1;
    });
}

int TuplinkSCBuilderImpl::width(int handle, int* w) {
    return withBuilder(handle, [w](FragmentedSCDBuilder& builder) {
        *w = static_cast<int>(builder.width());
        return 1;
    });
}

int TuplinkSCBuilderImpl::height(int handle, int* h) {
    return withBuilder(handle, [h](FragmentedSCDBuilder& builder) {
        *h = static_cast<int>(builder.height());
        return 1;
    });
}

int TuplinkSCBuilderImpl::depth(int handle, int* d) {
    return withBuilder(handle, [d](FragmentedSCDBuilder& builder) {
        *d = static_cast<int>(builder.depth());
        return 1;
    });
}

int TuplinkSCBuilderImpl::computeRoiImage(int handle, int z, int count, tuplink::Blob* buffer) {
    return withBuilder(handle, [z, count, buffer](FragmentedSCDBuilder& builder) {
        if (builder.numAreas() == 0 || !builder.isOpen()) {
            return -1;
        }
        const int sized =
            reply_size::sizeImageBuffer(*buffer, std::uint64_t{builder.width()} * builder.height());
        if (sized == 1) {
            builder.computeRoiImage(static_cast<unsigned>(z), static_cast<unsigned>(count),
                                    reinterpret_cast<unsigned short*>(buffer->data()));
        }
        return sized;
    });
}
