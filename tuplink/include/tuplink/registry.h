#pragma once

#include <string_view>
#include <vector>

#include "tuplink/export.h"
#include "tuplink/interface.h"
#include "tuplink/service.h"

namespace tuplink {

// The process-wide table of registered service factories, interface factories and methods,
// filled by their constructors and emptied by their destructors. Lookups are thread-safe; a
// pointer handed out stays valid while its object is registered (until its library unloads).
class TUPLINK_EXPORT Registry {
  public:
    Registry() = delete;

    static ServiceFactory* service_factory(std::string_view name);
    static InterfaceFactory* interface_factory(std::string_view name);
    // The method registered under `interface_name` + "." + `method_name`, when it belongs to
    // that interface; null otherwise.
    static Service::CallMethod* method(std::string_view interface_name,
                                       std::string_view method_name);
    // Every registered service factory, in name order.
    static std::vector<ServiceFactory*> service_factories();

  private:
    friend class ServiceFactory;
    friend class InterfaceFactory;
    friend class Service::CallMethod;

    static void add(ServiceFactory* factory);
    static void remove(ServiceFactory* factory);
    static void add(InterfaceFactory* factory);
    static void remove(InterfaceFactory* factory);
    static void add(Service::CallMethod* method);
    static void remove(Service::CallMethod* method);
};

}  // namespace tuplink
