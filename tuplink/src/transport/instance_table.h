#pragma once

#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "tuplink/interface.h"
#include "tuplink/service.h"

namespace tuplink {

// A host's service objects, one per (service name, instance name), each with its interface
// objects, one per interface name. Objects are made through their factories on first use and
// shared by every caller afterwards. Thread-safe.
class InstanceTable {
  public:
    InstanceTable() = default;
    InstanceTable(const InstanceTable&) = delete;
    InstanceTable& operator=(const InstanceTable&) = delete;
    ~InstanceTable() { release_all(); }

    // The instance `instance` of the factory's service, made if needed; null when the
    // factory makes nothing (or throws).
    AutoRef<Service> service(ServiceFactory& factory, const std::string& instance);
    // The interface object of that instance, made (and attached to the service) if needed;
    // null when either factory makes nothing.
    AutoRef<Interface> interface(ServiceFactory& serviceFactory, const std::string& instance,
                                 InterfaceFactory& interfaceFactory);
    // Drops the table's references: for each instance, newest first, its interface objects
    // newest first, then the service object. Objects that no running call holds are destroyed
    // here, in that order.
    void release_all();

  private:
    struct Instance {
        AutoRef<Service> service;
        std::vector<std::pair<std::string, AutoRef<Interface>>> interfaces;  // in making order
    };
    using Key = std::pair<std::string, std::string>;  // service name, instance name

    AutoRef<Service> serviceLocked(ServiceFactory& factory, const std::string& instance);

    std::mutex lock_;                    // guards the members below
    std::map<Key, Instance> instances_;  // by service and instance name
    std::vector<Key> order_;             // keys in making order
};

}  // namespace tuplink
