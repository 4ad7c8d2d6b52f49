// The middleware's transport against plain ZeroMQ on the same kind of socket (DEALER to
// ROUTER) in the same run: the round trip of an empty call over tcp://127.0.0.1 and ipc://
// (median and 99th percentile), and a call that sends and returns a 64 MiB blob against a
// plain echo of a 64 MiB message. The ratios are printed at the end (blob target: >= 0.5).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <thread>
#include <vector>
#include <zmq.hpp>

#include "tuplink/client.h"
#include "tuplink/host.h"
#include "tuplink/interface.h"
#include "tuplink/service.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kBlobSize = std::size_t{64} << 20;
constexpr const char* kService = "tuplink.bench.svc";
constexpr const char* kInterface = "tuplink.bench.echo";

class BenchService : public tuplink::Service {
  public:
    BenchService() : Service(kService) {}
};

class BenchInterface : public tuplink::Interface {
  public:
    BenchInterface() : Interface(kInterface) {}
};

// Moves its arguments into its results: blobs go back without a copy on the host.
class Echo : public tuplink::Service::CallMethod {
  public:
    Echo() : CallMethod(kInterface, "tuplink.bench.echo.echo") {}
    int invoke(tuplink::Interface* target, tuplink::Tuple& arguments,
               tuplink::Tuple& results) override {
        if (target == nullptr) {
            return 0;
        }
        results.splice(arguments);
        return 1;
    }
};

tuplink::DefaultServiceFactory<BenchService> serviceFactory(kService, false);
tuplink::DummyInterfaceFactory<BenchInterface> interfaceFactory(kInterface);
Echo echo;

std::string endpointFor(const std::string& transport) {
    return transport == "ipc" ? "ipc:///tmp/tuplink-bench-" + std::to_string(::getpid())
                              : "tcp://127.0.0.1:*";
}

// A ROUTER that sends every message back to its sender until told "stop".
class PlainEcho {
  public:
    explicit PlainEcho(const std::string& endpoint) : socket_(context_, zmq::socket_type::router) {
        socket_.set(zmq::sockopt::linger, 0);
        socket_.bind(endpoint);
        endpoint_ = socket_.get(zmq::sockopt::last_endpoint);
        thread_ = std::thread([this] { serve(); });
    }
    ~PlainEcho() {
        zmq::socket_t stopper(context_, zmq::socket_type::dealer);
        stopper.connect(endpoint_);
        stopper.send(zmq::str_buffer("stop"));
        thread_.join();
    }
    const std::string& endpoint() const { return endpoint_; }

  private:
    void serve() {
        for (;;) {
            zmq::message_t identity;
            zmq::message_t payload;
            (void)socket_.recv(identity);
            (void)socket_.recv(payload);
            if (payload.to_string_view() == "stop") {
                return;
            }
            socket_.send(identity, zmq::send_flags::sndmore);
            socket_.send(payload, zmq::send_flags::none);
        }
    }

    zmq::context_t context_;
    zmq::socket_t socket_;
    std::string endpoint_;
    std::thread thread_;
};

std::map<std::string, double> medians;  // benchmark name -> median seconds per round trip

void report(benchmark::State& state, std::vector<double>& seconds, const std::string& name) {
    std::sort(seconds.begin(), seconds.end());
    const double median = seconds[seconds.size() / 2];
    state.counters["median_us"] = median * 1e6;
    state.counters["p99_us"] =
        seconds[std::min(seconds.size() - 1, seconds.size() * 99 / 100)] * 1e6;
    medians[name] = median;
}

template <class RoundTrip>
void measure(benchmark::State& state, const std::string& name, RoundTrip roundTrip) {
    std::vector<double> seconds;
    for (auto _ : state) {
        const auto start = Clock::now();
        if (!roundTrip()) {
            state.SkipWithError("round trip failed");
            return;
        }
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(elapsed);
        seconds.push_back(elapsed);
    }
    report(state, seconds, name);
}

void tuplinkCall(benchmark::State& state, const std::string& transport, std::size_t blobSize) {
    tuplink::HostOptions options;
    options.endpoints = {endpointFor(transport)};
    options.workers = 2;
    tuplink::Host host(options);
    if (host.start() != 0) {
        state.SkipWithError("host did not start");
        return;
    }
    tuplink::Client client;
    client.connect(host.endpoints().at(0));
    tuplink::Tuple arguments;
    tuplink::Tuple results;
    if (blobSize != 0) {
        tuplink::Blob blob;
        blob.set(blobSize, nullptr);
        arguments.set_value(tuplink::Symbol("buffer"), tuplink::TYPE_BLOB, &blob, false, true);
    }
    const std::string name = "tuplink/" + transport + "/" + std::to_string(blobSize);
    measure(state, name, [&] {
        return client.call(kService, "bench", kInterface, "echo", arguments, results) == 1 &&
               results.size() == arguments.size();
    });
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(2 * blobSize));
}

void plainEcho(benchmark::State& state, const std::string& transport, std::size_t size) {
    PlainEcho server(endpointFor(transport));
    zmq::context_t context;
    zmq::socket_t client(context, zmq::socket_type::dealer);
    client.set(zmq::sockopt::linger, 0);
    client.connect(server.endpoint());
    std::vector<char> bytes(size, 1);
    const std::string name = "zmq/" + transport + "/" + std::to_string(size);
    measure(state, name, [&] {
        zmq::message_t request(bytes.data(), bytes.size());  // a copy, as an encoder makes
        zmq::message_t reply;
        client.send(request, zmq::send_flags::none);
        return client.recv(reply).has_value() && reply.size() == size;
    });
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(2 * size));
}

void emptyCallTcp(benchmark::State& state) {
    tuplinkCall(state, "tcp", 0);
}
void emptyCallIpc(benchmark::State& state) {
    tuplinkCall(state, "ipc", 0);
}
void plainEmptyTcp(benchmark::State& state) {
    plainEcho(state, "tcp", 0);
}
void plainEmptyIpc(benchmark::State& state) {
    plainEcho(state, "ipc", 0);
}
void blobCallTcp(benchmark::State& state) {
    tuplinkCall(state, "tcp", kBlobSize);
}
void plainBlobTcp(benchmark::State& state) {
    plainEcho(state, "tcp", kBlobSize);
}
void blobCallIpc(benchmark::State& state) {
    tuplinkCall(state, "ipc", kBlobSize);
}
void plainBlobIpc(benchmark::State& state) {
    plainEcho(state, "ipc", kBlobSize);
}

BENCHMARK(emptyCallTcp)->Iterations(20000)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(plainEmptyTcp)->Iterations(20000)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(emptyCallIpc)->Iterations(20000)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(plainEmptyIpc)->Iterations(20000)->UseManualTime()->Unit(benchmark::kMicrosecond);
BENCHMARK(blobCallTcp)->Iterations(30)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(plainBlobTcp)->Iterations(30)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(blobCallIpc)->Iterations(30)->UseManualTime()->Unit(benchmark::kMillisecond);
BENCHMARK(plainBlobIpc)->Iterations(30)->UseManualTime()->Unit(benchmark::kMillisecond);

void printRatio(const char* what, const std::string& ours, const std::string& peer) {
    if (medians.count(ours) != 0 && medians.count(peer) != 0) {
        std::printf("%-44s %.3f\n", what, medians[peer] / medians[ours]);
    }
}

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    const std::string blob = std::to_string(kBlobSize);
    std::printf("\nspeed relative to plain ZeroMQ (median round trip, peer / ours):\n");
    printRatio("empty call, tcp", "tuplink/tcp/0", "zmq/tcp/0");
    printRatio("empty call, ipc", "tuplink/ipc/0", "zmq/ipc/0");
    printRatio("64 MiB blob echo, tcp (target >= 0.5)", "tuplink/tcp/" + blob, "zmq/tcp/" + blob);
    printRatio("64 MiB blob echo, ipc (target >= 0.5)", "tuplink/ipc/" + blob, "zmq/ipc/" + blob);
    return 0;
}
