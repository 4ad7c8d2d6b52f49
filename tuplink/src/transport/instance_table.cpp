#include "instance_table.h"

#include <algorithm>

namespace tuplink {

AutoRef<Service> InstanceTable::serviceLocked(ServiceFactory& factory,
                                              const std::string& instance) {
    Key key(factory.name(), instance);
    auto found = instances_.find(key);
    if (found != instances_.end()) {
        return found->second.service;
    }
    AutoRef<Service> made;
    try {
        made = factory.create(instance.c_str());
    } catch (...) {  // a throwing constructor: no instance
    }
    if (made) {
        instances_[key].service = made;
        order_.push_back(std::move(key));
    }
    return made;
}

AutoRef<Service> InstanceTable::service(ServiceFactory& factory, const std::string& instance) {
    std::lock_guard guard(lock_);
    return serviceLocked(factory, instance);
}

AutoRef<Interface> InstanceTable::interface(ServiceFactory& serviceFactory,
                                            const std::string& instance,
                                            InterfaceFactory& interfaceFactory) {
    std::lock_guard guard(lock_);
    AutoRef<Service> service = serviceLocked(serviceFactory, instance);
    if (!service) {
        return nullptr;
    }
    auto& interfaces = instances_[Key(serviceFactory.name(), instance)].interfaces;
    const std::string name = interfaceFactory.name();
    auto found = std::find_if(interfaces.begin(), interfaces.end(),
                              [&](const auto& entry) { return entry.first == name; });
    if (found != interfaces.end()) {
        return found->second;
    }
    AutoRef<Interface> made;
    try {
        made = interfaceFactory.create();
    } catch (...) {  // a throwing constructor: no interface object
    }
    if (made) {
        made->set_service(service);
        interfaces.emplace_back(name, made);
    }
    return made;
}

void InstanceTable::release_all() {
    std::map<Key, Instance> instances;
    std::vector<Key> order;
    {
        std::lock_guard guard(lock_);
        instances.swap(instances_);
        order.swap(order_);
    }
    for (auto key = order.rbegin(); key != order.rend(); ++key) {
        Instance& instance = instances[*key];
        while (!instance.interfaces.empty()) {
            instance.interfaces.pop_back();
        }
        instance.service.reset();
    }
}

}  // namespace tuplink
