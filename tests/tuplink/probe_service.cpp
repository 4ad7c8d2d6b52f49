#include "probe_service.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <stdexcept>
#include <thread>

#include "tuplink/call_context.h"
#include "tuplink/tuple.h"

namespace probe {

namespace {

std::mutex logLock;
std::vector<std::string> logLines;
std::atomic<int> notificationCount{0};

void logDestruction(std::string line) {
    std::lock_guard guard(logLock);
    logLines.push_back(std::move(line));
}

std::string instanceOf(const tuplink::Interface& object) {
    return object.get_service() != nullptr ? object.get_service()->name() : "";
}

// The calling pattern of every method: hold the target for the call; without one answer 0
// and write nothing.
template <class Body>
int callOn(tuplink::Interface* target, Body body) {
    tuplink::AutoRef<tuplink::Interface> held(target);
    auto* probe = dynamic_cast<ProbeInterface*>(target);
    return probe != nullptr ? body(*probe) : 0;
}

using tuplink::Symbol;
using tuplink::Tuple;

class Echo : public tuplink::Service::CallMethod {
  public:
    Echo() : CallMethod(kInterface, "tuplink.test.probe.echo") {}
    int invoke(tuplink::Interface* target, Tuple& arguments, Tuple& results) override {
        return callOn(target, [&](ProbeInterface&) {
            results.splice(arguments);
            return 1;
        });
    }
};

class Add : public tuplink::Service::CallMethod {
  public:
    Add() : CallMethod(kInterface, "tuplink.test.probe.add") {}
    int invoke(tuplink::Interface* target, Tuple& arguments, Tuple& results) override {
        return callOn(target, [&](ProbeInterface&) {
            results.set_int(Symbol("sum"),
                            arguments.get_int(Symbol("a")) + arguments.get_int(Symbol("b")));
            return 1;
        });
    }
};

class Count : public tuplink::Service::CallMethod {
  public:
    Count() : CallMethod(kInterface, "tuplink.test.probe.count") {}
    int invoke(tuplink::Interface* target, Tuple&, Tuple& results) override {
        return callOn(target, [&](ProbeInterface& probe) {
            const int count = probe.count();
            results.set_int(Symbol("count"), count);
            return count;
        });
    }
};

class Fill : public tuplink::Service::CallMethod {
  public:
    Fill() : CallMethod(kInterface, "tuplink.test.probe.fill") {}
    int invoke(tuplink::Interface* target, Tuple& arguments, Tuple& results) override {
        return callOn(target, [&](ProbeInterface&) {
            tuplink::Blob buffer;
            const int size = std::max(0, arguments.get_int(Symbol("size")));
            if (!buffer.set(static_cast<std::size_t>(size), nullptr)) {
                return -1;
            }
            std::fill(buffer.data(), buffer.data() + buffer.size(),
                      static_cast<std::byte>(arguments.get_int(Symbol("byte"))));
            results.set_value(Symbol("buffer"), tuplink::TYPE_BLOB, &buffer, false, true);
            return 1;
        });
    }
};

class Sleep : public tuplink::Service::CallMethod {
  public:
    Sleep() : CallMethod(kInterface, "tuplink.test.probe.sleep") {}
    int invoke(tuplink::Interface* target, Tuple& arguments, Tuple&) override {
        return callOn(target, [&](ProbeInterface&) {
            const int ms = std::clamp(arguments.get_int(Symbol("ms")), 0, 10000);
            std::printf("sleeping %d\n", ms);  // tests that own the process wait for this
            std::fflush(stdout);
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            return 1;
        });
    }
};

class WhoAmI : public tuplink::Service::CallMethod {
  public:
    WhoAmI() : CallMethod(kInterface, "tuplink.test.probe.whoami") {}
    int invoke(tuplink::Interface* target, Tuple&, Tuple& results) override {
        return callOn(target, [&](ProbeInterface& probe) {
            results.set_int(Symbol("pid"), static_cast<int>(::getpid()));
            results.set_string(Symbol("instance"), instanceOf(probe).c_str());
            return 1;
        });
    }
};

class Caller : public tuplink::Service::CallMethod {
  public:
    Caller() : CallMethod(kInterface, "tuplink.test.probe.caller") {}
    int invoke(tuplink::Interface* target, Tuple&, Tuple& results) override {
        return callOn(target, [&](ProbeInterface&) {
            const tuplink::CallContext* caller = tuplink::current_call();
            if (caller == nullptr) {
                return -1;
            }
            results.set_string(Symbol("peer"), caller->peer_id.c_str());
            results.set_string(Symbol("address"), caller->peer_address.c_str());
            results.set_string(Symbol("user"), caller->user_id.c_str());
            return 1;
        });
    }
};

class Fail : public tuplink::Service::CallMethod {
  public:
    Fail() : CallMethod(kInterface, "tuplink.test.probe.fail") {}
    int invoke(tuplink::Interface* target, Tuple&, Tuple& results) override {
        results.set_int(Symbol("partial"), 1);
        return callOn(target, [](ProbeInterface&) -> int { throw std::runtime_error("fail"); });
    }
};

class Notify : public tuplink::Service::CallMethod {
  public:
    Notify() : CallMethod(kInterface, "tuplink.test.probe.notify") {}
    bool is_oneway() const override { return true; }
    int invoke(tuplink::Interface* target, Tuple&, Tuple&) override {
        return callOn(target, [](ProbeInterface&) { return ++notificationCount; });
    }
};

class BrokenFactory : public tuplink::InterfaceFactory {
  public:
    BrokenFactory() : InterfaceFactory(kBrokenInterface) {}
    tuplink::AutoRef<tuplink::Interface> create() override { return nullptr; }
};

class BrokenMethod : public tuplink::Service::CallMethod {
  public:
    BrokenMethod() : CallMethod(kBrokenInterface, "tuplink.test.broken.any") {}
    int invoke(tuplink::Interface*, Tuple&, Tuple&) override { return 1; }
};

// Registered while the test programs load, as a library's static objects are.
tuplink::DefaultServiceFactory<ProbeService> serviceFactory(kService, false);
tuplink::DummyInterfaceFactory<ProbeInterface> interfaceFactory(kInterface);
BrokenFactory brokenFactory;
Echo echoMethod;
Add addMethod;
Count countMethod;
Fill fillMethod;
Sleep sleepMethod;
WhoAmI whoamiMethod;
Caller callerMethod;
Fail failMethod;
Notify notifyMethod;
BrokenMethod brokenMethod;

}  // namespace

ProbeService::ProbeService() : Service(kService) {}

ProbeService::~ProbeService() {
    logDestruction(std::string("service ") + name());
}

ProbeInterface::ProbeInterface() : Interface(kInterface) {}

ProbeInterface::~ProbeInterface() {
    logDestruction("interface " + instanceOf(*this));
}

std::vector<std::string> destruction_log() {
    std::lock_guard guard(logLock);
    return logLines;
}

void clear_destruction_log() {
    std::lock_guard guard(logLock);
    logLines.clear();
}

int notifications() {
    return notificationCount.load();
}

}  // namespace probe
