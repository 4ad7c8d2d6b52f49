#include "call_command.h"

#include <chrono>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "call_arguments.h"
#include "result_json.h"
#include "tuplink/client.h"
#include "tuplink/status.h"

namespace {

constexpr const char* kCubeService = "com.tarn.brix.mv.mv_svc";
constexpr const char* kInterfacePrefix = "com.tarn.brix.mv.sc.";

struct CallOptions {
    std::string endpoint = "tcp://127.0.0.1:7723";
    std::string service = kCubeService;
    std::string instance = "default";
    unsigned timeoutMs = 10000;
    std::string blobFile;
    std::string method;
    std::vector<std::string> arguments;
};

int runCall(const CallOptions& options) {
    const auto dot = options.method.rfind('.');
    if (dot == std::string::npos || dot == 0 || dot + 1 == options.method.size()) {
        std::cerr << "sccube call: METHOD is INTERFACE.METHOD, e.g. sc_cube.getCube" << std::endl;
        return 2;
    }
    std::string interface = options.method.substr(0, dot);
    if (interface.find('.') == std::string::npos) {
        interface = kInterfacePrefix + interface;
    }
    const std::string method = options.method.substr(dot + 1);
    tuplink::Tuple arguments;
    std::string error;
    if (!parseCallArguments(options.arguments, arguments, error)) {
        std::cerr << "sccube call: " << error << std::endl;
        return 2;
    }
    tuplink::ClientOptions clientOptions;
    clientOptions.timeout = std::chrono::milliseconds(options.timeoutMs);
    tuplink::Client client(clientOptions);
    if (client.connect(options.endpoint) != 0) {
        std::cerr << "sccube call: bad endpoint " << options.endpoint << std::endl;
        return 2;
    }
    tuplink::Tuple results;
    const int status = client.call(options.service.c_str(), options.instance.c_str(),
                                   interface.c_str(), method.c_str(), arguments, results);
    std::cout << "{\"status\": " << status;
    if (status != 1 && status != -1) {
        std::cout << ", \"status_text\": \"" << tuplink::status_text(status) << '"';
    }
    std::cout << ", \"results\": ";
    writeResultJson(std::cout, results, options.blobFile);
    std::cout << '}' << std::endl;
    return status == 1 ? 0 : 1;
}

}  // namespace

void addCallCommand(CLI::App& app, int& status) {
    auto options = std::make_shared<CallOptions>();
    CLI::App* command = app.add_subcommand(
        "call",
        "Call one method of a running host and print {\"status\": S, \"results\": {...}} as "
        "JSON. Arguments are KEY=VALUE or KEY:TYPE=VALUE (TYPE int, float, bool, str, ints, "
        "blob with VALUE @FILE); dotted keys build nested tuples (area.width=10). Example: "
        "sccube call sc_cube.getCube path=cubes/a; sccube call sc_cube.getImage handle=0 z=3 "
        "--blob-out image.u16");
    command
        ->add_option("METHOD", options->method,
                     "INTERFACE.METHOD; an interface without dots is one of the cube service's "
                     "(sc_cube, sc_builder)")
        ->required();
    command->add_option("ARGUMENTS", options->arguments, "KEY=VALUE or KEY:TYPE=VALUE");
    command->add_option("--endpoint", options->endpoint, "the host")->capture_default_str();
    command->add_option("--service", options->service, "service name")->capture_default_str();
    command->add_option("--instance", options->instance, "service instance")->capture_default_str();
    command->add_option("--timeout", options->timeoutMs, "milliseconds to wait for the reply")
        ->capture_default_str();
    command->add_option("--blob-out", options->blobFile,
                        "write blob results to this file instead of summarising them");
    command->callback([options, &status] { status = runCall(*options); });
}
