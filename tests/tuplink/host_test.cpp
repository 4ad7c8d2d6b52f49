// A host in this process, seen from clients: how it stops, what a vanished client costs it,
// and who may connect.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <mutex>
#include <thread>

#include "probe_service.h"
#include "support/child_process.h"
#include "support/eventually.h"
#include "tuplink/client.h"
#include "tuplink/host.h"
#include "tuplink/registry.h"
#include "tuplink/status.h"

namespace {

using namespace std::chrono_literals;
using test_support::eventually;
using tuplink::Client;
using tuplink::Symbol;
using tuplink::Tuple;

// Made when a host starts, not on a first call.
tuplink::DefaultServiceFactory<probe::ProbeService> eagerFactory("tuplink.test.eager", true);

tuplink::HostOptions loopback(unsigned workers) {
    tuplink::HostOptions options;
    options.endpoints = {"tcp://127.0.0.1:*"};
    options.workers = workers;
    return options;
}

int sleepCall(const std::string& endpoint, const char* instance, int ms) {
    Client client;
    client.connect(endpoint);
    Tuple arguments;
    Tuple results;
    arguments.set_int(Symbol("ms"), ms);
    return client.call(probe::kService, instance, probe::kInterface, "sleep", arguments, results);
}

TEST(HostStop, RunningCallsFinishQueuedOnesAreRefusedThenObjectsGoInterfaceFirst) {
    probe::clear_destruction_log();
    tuplink::Host host(loopback(1));
    ASSERT_EQ(host.start(), 0);
    const std::string endpoint = host.endpoints().at(0);
    std::atomic<int> first{0};
    std::atomic<int> second{0};
    std::jthread running([&] { first = sleepCall(endpoint, "stopping", 400); });
    ASSERT_TRUE(eventually([&] { return host.stats().calls_running == 1; }));
    std::jthread queued([&] { second = sleepCall(endpoint, "stopping", 400); });
    ASSERT_TRUE(eventually([&] { return host.stats().requests == 2; }));
    EXPECT_TRUE(host.stop());
    running.join();
    queued.join();
    EXPECT_EQ(first.load(), 1);
    EXPECT_EQ(second.load(), tuplink::STATUS_UNAVAILABLE);
    EXPECT_FALSE(host.running());
    const std::vector<std::string> expected{"interface stopping", "service stopping",
                                            "service default"};
    EXPECT_EQ(probe::destruction_log(), expected) << "the eager instance was made at start";
}

TEST(HostStop, ACallOverTheStopTimeOutKeepsItsObjectsUntilItEnds) {
    probe::clear_destruction_log();
    tuplink::HostOptions options = loopback(1);
    options.stop_timeout = 100ms;
    tuplink::Host host(options);
    ASSERT_EQ(host.start(), 0);
    std::atomic<int> status{0};
    std::jthread caller([&] { status = sleepCall(host.endpoints().at(0), "overdue", 800); });
    ASSERT_TRUE(eventually([&] { return host.stats().calls_running == 1; }));
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(host.stop()) << "the call was still running";
    EXPECT_LT(std::chrono::steady_clock::now() - start, 700ms) << "stop is bounded";
    caller.join();
    EXPECT_EQ(status.load(), tuplink::STATUS_CONNECTION_LOST);
    EXPECT_TRUE(eventually([] {
        const auto log = probe::destruction_log();
        return std::find(log.begin(), log.end(), "service overdue") != log.end();
    })) << "destroyed when the call let go of it";
}

TEST(HostClients, AClientKilledMidCallCostsTheHostOnlyItsReply) {
    tuplink::Host host(loopback(2));
    ASSERT_EQ(host.start(), 0);
    const std::string endpoint = host.endpoints().at(0);
    test_support::ChildProcess caller(TUPLINK_TEST_HOST, {"--call", endpoint, "500"});
    ASSERT_EQ(caller.read_line(), "calling");
    ASSERT_TRUE(eventually([&] { return host.stats().requests == 1; }));
    caller.signal(SIGKILL);
    EXPECT_EQ(caller.wait(), 128 + SIGKILL);
    EXPECT_TRUE(eventually([&] { return host.stats().replies_dropped == 1; }));
    EXPECT_EQ(sleepCall(endpoint, "other", 0), 1);
    EXPECT_EQ(host.stats().replies_sent, 1u);
}

TEST(HostSecurity, CurveServesKnownClientKeysAndRefusesOthers) {
    if (!tuplink::curve_available()) {
        GTEST_SKIP() << "libzmq was built without CURVE";
    }
    const tuplink::CurveKeyPair server = tuplink::make_curve_key_pair();
    const tuplink::CurveKeyPair known = tuplink::make_curve_key_pair();
    const tuplink::CurveKeyPair stranger = tuplink::make_curve_key_pair();
    tuplink::HostOptions options = loopback(1);
    options.curve_secret_key = server.secret_key;
    options.curve_client_keys = {known.public_key};
    std::atomic<int> refusals{0};
    options.on_connection_event = [&](const std::string& line) {
        refusals += line.starts_with("CURVE key refused for 127.0.0.1");
    };
    tuplink::Host host(options);
    ASSERT_EQ(host.start(), 0);

    auto callAs = [&](const tuplink::CurveKeyPair& keys) {
        tuplink::ClientOptions clientOptions;
        clientOptions.timeout = 3s;
        clientOptions.curve_server_key = server.public_key;
        clientOptions.curve_public_key = keys.public_key;
        clientOptions.curve_secret_key = keys.secret_key;
        Client client(clientOptions);
        EXPECT_EQ(client.connect(host.endpoints().at(0)), 0);
        Tuple results;
        return client.call(probe::kService, "secure", probe::kInterface, "add", Tuple(), results);
    };
    EXPECT_EQ(callAs(known), 1);
    EXPECT_EQ(callAs(stranger), tuplink::STATUS_REFUSED);
    EXPECT_GE(refusals.load(), 1);
    {
        tuplink::ClientOptions clientOptions;
        clientOptions.curve_server_key = server.public_key;
        clientOptions.curve_public_key = known.public_key;
        clientOptions.curve_secret_key = known.secret_key;
        Client client(clientOptions);
        client.connect(host.endpoints().at(0));
        Tuple results;
        ASSERT_EQ(
            client.call(probe::kService, "secure", probe::kInterface, "caller", Tuple(), results),
            1);
        EXPECT_STREQ(
            static_cast<tuplink::AString*>(results.get_pvalue(Symbol("user"), tuplink::TYPE_STRING))
                ->c_str(),
            known.public_key.c_str())
            << "the method sees which key called";
    }
    Client plain;
    plain.set_timeout(500ms);
    plain.connect(host.endpoints().at(0));
    Tuple results;
    EXPECT_EQ(plain.call(probe::kService, "secure", probe::kInterface, "add", Tuple(), results),
              tuplink::STATUS_UNREACHABLE)
        << "no handshake without CURVE";
}

TEST(HostEvents, ConnectionsAndRefusedKeysAreReportedWithThePeer) {
    std::mutex lock;
    std::vector<std::string> events;
    tuplink::HostOptions options = loopback(1);
    options.on_connection_event = [&](const std::string& line) {
        std::lock_guard guard(lock);
        events.push_back(line);
    };
    auto seen = [&](const std::string& start) {
        std::lock_guard guard(lock);
        return std::any_of(events.begin(), events.end(),
                           [&](const std::string& line) { return line.starts_with(start); });
    };
    tuplink::Host host(options);
    ASSERT_EQ(host.start(), 0);
    {
        Client client;
        client.connect(host.endpoints().at(0));
        Tuple results;
        ASSERT_EQ(
            client.call(probe::kService, "events", probe::kInterface, "caller", Tuple(), results),
            1);
        EXPECT_STREQ(static_cast<tuplink::AString*>(
                         results.get_pvalue(Symbol("address"), tuplink::TYPE_STRING))
                         ->c_str(),
                     "127.0.0.1");
        EXPECT_FALSE(
            static_cast<tuplink::AString*>(results.get_pvalue(Symbol("peer"), tuplink::TYPE_STRING))
                ->empty());
        EXPECT_TRUE(seen("connection from 127.0.0.1:"));
    }
    EXPECT_TRUE(eventually([&] { return seen("disconnected: 127.0.0.1:"); }));
    tuplink::AutoRef<tuplink::Interface> direct =
        tuplink::Registry::interface_factory(probe::kInterface)->create();
    Tuple arguments;
    Tuple results;
    EXPECT_EQ(tuplink::Registry::method(probe::kInterface, "caller")
                  ->invoke(direct.get(), arguments, results),
              -1)
        << "no caller outside a host";
}

TEST(HostSecurity, NonLocalEndpointsNeedKeysOrTheInsecureFlagAndKeysMustBeValid) {
    std::vector<std::string> logged;
    tuplink::HostOptions options;
    options.endpoints = {"tcp://127.0.0.1:*", "tcp://0.0.0.0:*"};
    options.log = [&](const std::string& line) { logged.push_back(line); };
    tuplink::Host refused(options);
    EXPECT_EQ(refused.start(), tuplink::STATUS_INSECURE_ENDPOINT);
    EXPECT_FALSE(refused.running());
    EXPECT_TRUE(refused.endpoints().empty()) << "nothing was bound";
    ASSERT_EQ(logged.size(), 1u);

    options.curve_secret_key = "too short";
    tuplink::Host badKey(options);
    EXPECT_EQ(badKey.start(), tuplink::STATUS_BAD_KEY);

    tuplink::HostOptions taken = loopback(1);
    tuplink::Host first(taken);
    ASSERT_EQ(first.start(), 0);
    taken.endpoints = first.endpoints();
    tuplink::Host second(taken);
    EXPECT_EQ(second.start(), tuplink::STATUS_BIND_FAILED);
}

}  // namespace
