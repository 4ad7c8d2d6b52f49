#include "sc_api/remote_cube.h"

#include <cstring>
#include <utility>

#include "tuplink/status.h"

namespace {

constexpr const char* kService = "com.tarn.brix.mv.mv_svc";
constexpr const char* kCubeInterface = "com.tarn.brix.mv.sc.sc_cube";
constexpr const char* kBuilderInterface = "com.tarn.brix.mv.sc.sc_builder";

tuplink::Tuple handleArguments(int handle) {
    tuplink::Tuple arguments;
    arguments.set_int(tuplink::Symbol("handle"), handle);
    return arguments;
}

void setArea(tuplink::Tuple& arguments, const Rect& area) {
    tuplink::Tuple tuple;
    tuple.set_int(tuplink::Symbol("x"), static_cast<int>(area.x));
    tuple.set_int(tuplink::Symbol("y"), static_cast<int>(area.y));
    tuple.set_int(tuplink::Symbol("width"), static_cast<int>(area.width));
    tuple.set_int(tuplink::Symbol("height"), static_cast<int>(area.height));
    arguments.set_value(tuplink::Symbol("area"), tuplink::TYPE_TUPLE, &tuple, false, true);
}

// The 16-bit values of the "buffer" blob of `results`; false when there is none.
bool copyBuffer(tuplink::Tuple& results, std::vector<std::uint16_t>& out) {
    const auto* blob = static_cast<const tuplink::Blob*>(
        results.get_pvalue(tuplink::Symbol("buffer"), tuplink::TYPE_BLOB));
    if (blob == nullptr) {
        return false;
    }
    out.resize(blob->size() / sizeof(std::uint16_t));
    if (!out.empty()) {
        std::memcpy(out.data(), blob->data(), out.size() * sizeof(std::uint16_t));
    }
    return true;
}

}  // namespace

RemoteCube::RemoteCube(tuplink::Client& client, std::string instance)
    : client_(client), instance_(std::move(instance)) {}

RemoteCube::~RemoteCube() {
    if (isOpen()) {
        close();
    }
}

int RemoteCube::call(const char* method, const tuplink::Tuple& arguments, tuplink::Tuple& results) {
    return client_.call(kService, instance_.c_str(), kCubeInterface, method, arguments, results);
}

int RemoteCube::open(const std::string& path) {
    tuplink::Tuple arguments;
    tuplink::Tuple results;
    arguments.set_string(tuplink::Symbol("path"), path.c_str());
    int status = call("getCube", arguments, results);
    if (status != 1) {
        return status;
    }
    handle_ = results.get_int(tuplink::Symbol("handle"));
    const tuplink::Tuple byHandle = handleArguments(handle_);
    struct Dimension {
        const char* method;
        const char* result;
        unsigned* value;
    };
    for (const Dimension& dimension :
         {Dimension{"width", "w", &width_}, Dimension{"height", "h", &height_},
          Dimension{"depth", "d", &depth_}}) {
        status = call(dimension.method, byHandle, results);
        if (status != 1) {
            close();
            return status;
        }
        *dimension.value =
            static_cast<unsigned>(results.get_int(tuplink::Symbol(dimension.result)));
    }
    return 1;
}

int RemoteCube::close() {
    tuplink::Tuple results;
    const int status = call("releaseCube", handleArguments(handle_), results);
    handle_ = -1;
    return status;
}

int RemoteCube::spectrum(unsigned x, unsigned y, std::vector<float>& out) {
    tuplink::Tuple arguments = handleArguments(handle_);
    tuplink::Tuple results;
    arguments.set_int(tuplink::Symbol("x"), static_cast<int>(x));
    arguments.set_int(tuplink::Symbol("y"), static_cast<int>(y));
    const int status = call("getSpectrum", arguments, results);
    if (status != 1) {
        return status;
    }
    auto* spectrum = static_cast<tuplink::Tuple*>(
        results.get_pvalue(tuplink::Symbol("spectrum"), tuplink::TYPE_TUPLE));
    const auto* values = spectrum == nullptr
                             ? nullptr
                             : static_cast<const tuplink::Array<float>*>(spectrum->get_pvalue(
                                   tuplink::Symbol("values"), tuplink::TYPE_ARRAY_FLOAT));
    if (values == nullptr) {
        return tuplink::STATUS_BAD_REPLY;
    }
    out.assign(values->begin(), values->end());
    return 1;
}

int RemoteCube::callForImage(const char* method, tuplink::Tuple& arguments,
                             std::vector<std::uint16_t>& out) {
    tuplink::Tuple results;
    const int status = call(method, arguments, results);
    if (status == 1 && !copyBuffer(results, out)) {
        return tuplink::STATUS_BAD_REPLY;
    }
    return status;
}

int RemoteCube::image(unsigned z, std::vector<std::uint16_t>& out) {
    tuplink::Tuple arguments = handleArguments(handle_);
    arguments.set_int(tuplink::Symbol("z"), static_cast<int>(z));
    return callForImage("getImage", arguments, out);
}

int RemoteCube::images(unsigned z, unsigned count, std::vector<std::uint16_t>& out) {
    tuplink::Tuple arguments = handleArguments(handle_);
    arguments.set_int(tuplink::Symbol("z"), static_cast<int>(z));
    arguments.set_int(tuplink::Symbol("count"), static_cast<int>(count));
    return callForImage("getImages", arguments, out);
}

int RemoteCube::roi(unsigned z, unsigned count, std::vector<std::uint16_t>& out) {
    tuplink::Tuple arguments = handleArguments(handle_);
    arguments.set_int(tuplink::Symbol("z"), static_cast<int>(z));
    arguments.set_int(tuplink::Symbol("count"), static_cast<int>(count));
    return callForImage("computeRoiImage", arguments, out);
}

int RemoteCube::roi(unsigned z, unsigned count, const Rect& area, std::vector<std::uint16_t>& out) {
    tuplink::Tuple arguments = handleArguments(handle_);
    arguments.set_int(tuplink::Symbol("z"), static_cast<int>(z));
    arguments.set_int(tuplink::Symbol("count"), static_cast<int>(count));
    setArea(arguments, area);
    return callForImage("computeSubRoiImage", arguments, out);
}

RemoteCubeBuilder::RemoteCubeBuilder(tuplink::Client& client, std::string instance)
    : client_(client), instance_(std::move(instance)) {}

RemoteCubeBuilder::~RemoteCubeBuilder() {
    if (handle_ >= 0) {
        release();
    }
}

int RemoteCubeBuilder::call(const char* method, const tuplink::Tuple& arguments,
                            tuplink::Tuple& results) {
    return client_.call(kService, instance_.c_str(), kBuilderInterface, method, arguments, results);
}

int RemoteCubeBuilder::start(const std::string& name, unsigned width, unsigned height,
                             unsigned depth, float factor) {
    tuplink::Tuple arguments;
    tuplink::Tuple results;
    arguments.set_string(tuplink::Symbol("name"), name.c_str());
    arguments.set_int(tuplink::Symbol("width"), static_cast<int>(width));
    arguments.set_int(tuplink::Symbol("height"), static_cast<int>(height));
    arguments.set_int(tuplink::Symbol("depth"), static_cast<int>(depth));
    arguments.set_float(tuplink::Symbol("factor"), factor);
    const int status = call("start", arguments, results);
    if (status == 1) {
        handle_ = results.get_int(tuplink::Symbol("handle"));
    }
    return status;
}

int RemoteCubeBuilder::newArea(const Rect& area) {
    tuplink::Tuple arguments = handleArguments(handle_);
    tuplink::Tuple results;
    setArea(arguments, area);
    return call("startNewArea", arguments, results);
}

int RemoteCubeBuilder::addLine(const std::uint16_t* spectra, std::size_t valueCount) {
    tuplink::Tuple arguments = handleArguments(handle_);
    tuplink::Tuple results;
    tuplink::Blob line;
    if (!line.set(valueCount * sizeof(std::uint16_t), spectra)) {
        return tuplink::STATUS_CLIENT_ERROR;
    }
    arguments.set_value(tuplink::Symbol("spectrums"), tuplink::TYPE_BLOB, &line, false, true);
    return call("addSpectrumLine", arguments, results);
}

int RemoteCubeBuilder::roi(unsigned z, unsigned count, std::vector<std::uint16_t>& out) {
    tuplink::Tuple arguments = handleArguments(handle_);
    tuplink::Tuple results;
    arguments.set_int(tuplink::Symbol("z"), static_cast<int>(z));
    arguments.set_int(tuplink::Symbol("count"), static_cast<int>(count));
    const int status = call("computeRoiImage", arguments, results);
    if (status == 1 && !copyBuffer(results, out)) {
        return tuplink::STATUS_BAD_REPLY;
    }
    return status;
}

int RemoteCubeBuilder::terminate() {
    tuplink::Tuple results;
    return call("terminate", handleArguments(handle_), results);
}

int RemoteCubeBuilder::release() {
    tuplink::Tuple results;
    const int status = call("release", handleArguments(handle_), results);
    handle_ = -1;
    return status;
}
