// Calls through the real transport to a host in another process: exact values, the host's
// refusals, malformed and random messages, many clients at once, limits and time-outs.
#include <gtest/gtest.h>

#include <unistd.h>

#include <random>
#include <thread>
#include <zmq.hpp>

#include "host_process.h"
#include "probe_service.h"
#include "sample_values.h"
#include "tuplink/client.h"
#include "tuplink/status.h"
#include "tuplink/wire.h"

namespace {

using namespace std::chrono_literals;
using tuplink::Client;
using tuplink::Symbol;
using tuplink::Tuple;

int call(Client& client, const char* method, const Tuple& arguments, Tuple& results,
         const char* instance = "default") {
    return client.call(probe::kService, instance, probe::kInterface, method, arguments, results);
}

class Transport : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { host_ = new probe::HostProcess(); }
    static void TearDownTestSuite() {
        delete host_;
        host_ = nullptr;
    }
    void SetUp() override {
        ASSERT_FALSE(host_->endpoint().empty()) << "the test host did not start";
        ASSERT_EQ(client_.connect(host_->endpoint()), 0);
    }

    static probe::HostProcess* host_;
    Client client_;
};

probe::HostProcess* Transport::host_ = nullptr;

TEST_F(Transport, EveryTypeCodeCrossesToAnotherProcessAndBackExactly) {
    Tuple results;
    ASSERT_EQ(call(client_, "whoami", Tuple(), results), 1);
    EXPECT_NE(results.get_int(Symbol("pid")), static_cast<int>(::getpid()));
    const Tuple sample = probe::every_type_sample();
    ASSERT_EQ(call(client_, "echo", sample, results), 1);
    EXPECT_EQ(results, sample);
}

TEST_F(Transport, UnknownNamesGetTheirOwnStatusAndResultsStayEmpty) {
    Tuple results;
    EXPECT_EQ(
        client_.call("tuplink.test.nothing", "default", probe::kInterface, "add", Tuple(), results),
        tuplink::STATUS_UNKNOWN_SERVICE);
    EXPECT_EQ(
        client_.call(probe::kService, "default", "tuplink.test.nothing", "add", Tuple(), results),
        tuplink::STATUS_UNKNOWN_INTERFACE);
    EXPECT_EQ(call(client_, "subtract", Tuple(), results), tuplink::STATUS_UNKNOWN_METHOD);
    EXPECT_EQ(
        client_.call(probe::kService, "default", probe::kBrokenInterface, "any", Tuple(), results),
        tuplink::STATUS_UNAVAILABLE);
    EXPECT_EQ(call(client_, "fail", Tuple(), results), tuplink::STATUS_METHOD_FAILED);
    EXPECT_TRUE(results.empty());
}

TEST_F(Transport, InstancesAreMadeOnceAndSharedByTheirClients) {
    Client other;
    ASSERT_EQ(other.connect(host_->endpoint()), 0);
    Tuple results;
    EXPECT_EQ(call(client_, "count", Tuple(), results, "shared"), 1);
    EXPECT_EQ(call(other, "count", Tuple(), results, "shared"), 2) << "same interface object";
    EXPECT_EQ(call(other, "count", Tuple(), results, "separate"), 1) << "another instance";
    ASSERT_EQ(call(other, "whoami", Tuple(), results, "separate"), 1);
    EXPECT_STREQ(
        static_cast<tuplink::AString*>(results.get_pvalue(Symbol("instance"), tuplink::TYPE_STRING))
            ->c_str(),
        "separate");
}

TEST_F(Transport, SixtyFourClientsInParallelEachGetTheirOwnAnswers) {
    std::atomic<int> wrong{0};
    std::vector<std::jthread> clients;
    for (int index = 0; index < 64; ++index) {
        clients.emplace_back([&, index] {
            Client client;
            if (client.connect(host_->endpoint()) != 0) {
                ++wrong;
                return;
            }
            for (int round = 0; round < 10; ++round) {
                Tuple arguments;
                Tuple results;
                arguments.set_int(Symbol("a"), index * 1000);
                arguments.set_int(Symbol("b"), round);
                if (call(client, "add", arguments, results) != 1 ||
                    results.get_int(Symbol("sum")) != index * 1000 + round) {
                    ++wrong;
                }
            }
        });
    }
    clients.clear();
    EXPECT_EQ(wrong.load(), 0);
}

TEST_F(Transport, MalformedAndRandomMessagesAreAnsweredAndTheHostStillServes) {
    zmq::context_t context;
    zmq::socket_t raw(context, zmq::socket_type::dealer);
    raw.set(zmq::sockopt::linger, 0);
    raw.set(zmq::sockopt::rcvtimeo, 10000);
    raw.connect(host_->endpoint());
    tuplink::Request valid;
    valid.id = 5;
    valid.service = probe::kService;
    valid.instance = "default";
    valid.interface = probe::kInterface;
    valid.method = "echo";
    valid.arguments = probe::every_type_sample();
    const std::string bytes = tuplink::encode_to_string(valid);
    std::mt19937 random(2024);
    int malformed = 0;
    for (int round = 0; round < 300; ++round) {
        std::string message = bytes;
        if (round % 3 == 0) {
            message.resize(random() % 48);
            for (char& byte : message) {
                byte = static_cast<char>(random());
            }
        } else {
            message[random() % message.size()] = static_cast<char>(random());
            if (round % 2 == 0) {
                message.resize(random() % message.size());
            }
        }
        raw.send(zmq::buffer(message));
        zmq::message_t reply;
        ASSERT_TRUE(raw.recv(reply)) << "every request gets a reply (round " << round << ")";
        tuplink::Reply decoded;
        ASSERT_EQ(tuplink::decode_reply(reply.data<std::byte>(), reply.size(), nullptr, decoded),
                  0);
        malformed += decoded.status == tuplink::STATUS_MALFORMED;
    }
    EXPECT_GT(malformed, 100);
    Tuple results;
    EXPECT_EQ(call(client_, "echo", valid.arguments, results), 1);
    EXPECT_EQ(results, valid.arguments);
}

TEST_F(Transport, OneWayCallsRunWithoutAReply) {
    client_.set_timeout(300ms);
    Tuple results;
    EXPECT_EQ(call(client_, "notify", Tuple(), results), tuplink::STATUS_TIMEOUT);
    client_.set_timeout(10s);
    EXPECT_EQ(call(client_, "add", Tuple(), results), 1) << "the late nothing confuses nobody";
}

TEST_F(Transport, ALateReplyIsDiscardedByTheNextCall) {
    client_.set_timeout(100ms);
    Tuple arguments;
    arguments.set_int(Symbol("ms"), 400);
    Tuple results;
    EXPECT_EQ(call(client_, "sleep", arguments, results), tuplink::STATUS_TIMEOUT);
    client_.set_timeout(10s);
    arguments.set_int(Symbol("a"), 2);
    EXPECT_EQ(call(client_, "add", arguments, results), 1);
    EXPECT_EQ(results.get_int(Symbol("sum")), 2);
}

TEST(TransportLimits, OversizedRequestsAndRepliesAreRefusedAndTheHostSurvives) {
    probe::HostProcess host(
        {"--max-size", "1048576",
         "ipc://" + ::testing::TempDir() + "/tuplink-limits-" + std::to_string(::getpid())});
    ASSERT_FALSE(host.endpoint().empty());
    Client client;
    ASSERT_EQ(client.connect(host.endpoint()), 0);
    Tuple arguments;
    Tuple results;
    arguments.set_int(Symbol("size"), 2 << 20);
    EXPECT_EQ(call(client, "fill", arguments, results), tuplink::STATUS_TOO_LARGE);
    arguments.set_int(Symbol("size"), 1000);
    arguments.set_int(Symbol("byte"), 7);
    ASSERT_EQ(call(client, "fill", arguments, results), 1);
    EXPECT_EQ(static_cast<tuplink::Blob*>(results.get_pvalue(Symbol("buffer"), tuplink::TYPE_BLOB))
                  ->size(),
              1000u);

    Tuple huge;
    huge.set_value(Symbol("b"), tuplink::TYPE_BLOB);
    static_cast<tuplink::Blob*>(huge.get_pvalue(Symbol("b"), tuplink::TYPE_BLOB))
        ->set(2 << 20, nullptr);
    EXPECT_EQ(call(client, "echo", huge, results), tuplink::STATUS_CONNECTION_LOST);
    EXPECT_EQ(call(client, "add", Tuple(), results), 1) << "reconnected, still served";
}

TEST(TransportErrors, AnUnreachableHostIsReportedAsSuchWithinTheTimeOut) {
    tuplink::ClientOptions options;
    options.timeout = 300ms;
    Client client(options);
    ASSERT_EQ(client.connect("ipc://" + ::testing::TempDir() + "/tuplink-nobody-here"), 0);
    Tuple results;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(call(client, "add", Tuple(), results), tuplink::STATUS_UNREACHABLE);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 5s);
    Client notConnected;
    EXPECT_EQ(call(notConnected, "add", Tuple(), results), tuplink::STATUS_CLIENT_ERROR);
    Client badEndpoint;
    EXPECT_EQ(badEndpoint.connect("carrier-pigeon://home"), tuplink::STATUS_CLIENT_ERROR);
}

TEST(TransportStop, TheHostProgramStopsOnSigtermAfterItsRunningCall) {
    probe::HostProcess host;
    ASSERT_FALSE(host.endpoint().empty());
    std::atomic<int> status{0};
    std::jthread caller([&] {
        Client client;
        client.connect(host.endpoint());
        Tuple arguments;
        Tuple results;
        arguments.set_int(Symbol("ms"), 1000);
        status = call(client, "sleep", arguments, results);
    });
    ASSERT_EQ(host.process().read_line(), "sleeping 1000") << "the call runs";
    host.process().signal(SIGTERM);
    caller.join();
    EXPECT_EQ(status.load(), 1) << "the running call finished and was answered";
    EXPECT_EQ(host.process().read_line(), "stopped");
    EXPECT_EQ(host.process().wait(), 0);
}

}  // namespace
