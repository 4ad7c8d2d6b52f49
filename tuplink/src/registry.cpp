#include "tuplink/registry.h"

#include <map>
#include <mutex>
#include <string>

namespace tuplink {

namespace {

struct Tables {
    std::mutex lock;
    std::map<std::string, ServiceFactory*, std::less<>> services;
    std::map<std::string, InterfaceFactory*, std::less<>> interfaces;
    std::map<std::string, Service::CallMethod*, std::less<>> methods;
};

// Never destroyed: static registrants of other libraries unregister during static
// destruction, in an order nobody controls.
Tables& tables() {
    static Tables* const shared = new Tables;
    return *shared;
}

template <class T>
T* find(std::map<std::string, T*, std::less<>>& table, std::string_view name) {
    std::lock_guard guard(tables().lock);
    auto found = table.find(name);
    return found != table.end() ? found->second : nullptr;
}

template <class T>
void add(std::map<std::string, T*, std::less<>>& table, const std::string& name, T* object) {
    std::lock_guard guard(tables().lock);
    table.emplace(name, object);  // keeps the first registrant of a name
}

template <class T>
void remove(std::map<std::string, T*, std::less<>>& table, const std::string& name, T* object) {
    std::lock_guard guard(tables().lock);
    auto found = table.find(name);
    if (found != table.end() && found->second == object) {
        table.erase(found);
    }
}

}  // namespace

ServiceFactory* Registry::service_factory(std::string_view name) {
    return find(tables().services, name);
}

InterfaceFactory* Registry::interface_factory(std::string_view name) {
    return find(tables().interfaces, name);
}

Service::CallMethod* Registry::method(std::string_view interface_name,
                                      std::string_view method_name) {
    std::string full;
    full.reserve(interface_name.size() + 1 + method_name.size());
    full.append(interface_name).append(".").append(method_name);
    Service::CallMethod* method = find(tables().methods, full);
    return method != nullptr && interface_name == method->interface_name() ? method : nullptr;
}

std::vector<ServiceFactory*> Registry::service_factories() {
    std::lock_guard guard(tables().lock);
    std::vector<ServiceFactory*> factories;
    for (const auto& entry : tables().services) {
        factories.push_back(entry.second);
    }
    return factories;
}

void Registry::add(ServiceFactory* factory) {
    tuplink::add(tables().services, factory->name(), factory);
}
void Registry::remove(ServiceFactory* factory) {
    tuplink::remove(tables().services, factory->name(), factory);
}
void Registry::add(InterfaceFactory* factory) {
    tuplink::add(tables().interfaces, factory->name(), factory);
}
void Registry::remove(InterfaceFactory* factory) {
    tuplink::remove(tables().interfaces, factory->name(), factory);
}
void Registry::add(Service::CallMethod* method) {
    tuplink::add(tables().methods, method->method_name(), method);
}
void Registry::remove(Service::CallMethod* method) {
    tuplink::remove(tables().methods, method->method_name(), method);
}

Service::CallMethod::CallMethod(const char* interface_name, const char* method_name)
    : interfaceName_(interface_name), methodName_(method_name) {
    Registry::add(this);
}

Service::CallMethod::~CallMethod() {
    Registry::remove(this);
}

ServiceFactory::ServiceFactory(const char* name, bool create_at_start)
    : name_(name), createAtStart_(create_at_start) {
    Registry::add(this);
}

ServiceFactory::~ServiceFactory() {
    Registry::remove(this);
}

InterfaceFactory::InterfaceFactory(const char* name) : name_(name) {
    Registry::add(this);
}

InterfaceFactory::~InterfaceFactory() {
    Registry::remove(this);
}

}  // namespace tuplink
