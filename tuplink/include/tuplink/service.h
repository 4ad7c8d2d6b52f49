#pragma once

#include <string>

#include "tuplink/export.h"
#include "tuplink/ref_object.h"
#include "tuplink/tuple.h"

namespace tuplink {

class Interface;

// The base of a service object: one instance of a named service, shared by every client that
// names that instance. The host makes it through the service's ServiceFactory on first use
// and keeps it until it stops. Counted: see RefObject.
class TUPLINK_EXPORT Service : public virtual RefObject {
  public:
    class CallMethod;

    // `name` is the registered service name; a factory then gives the object its instance
    // name with set_name().
    explicit Service(const char* name) : name_(name) {}

    void set_name(const char* name) { name_ = name; }
    const char* name() const { return name_.c_str(); }

  protected:
    ~Service() override = default;

  private:
    std::string name_;  // service name at construction, instance name after set_name()
};

// Receives every call of one method. Constructing one registers it for the life of the
// object (normally a static object, so from load to unload of its library) under its full
// method name: the interface name, ".", the method name. A second object under a name already
// registered is not registered. The host may call invoke() from several threads at once.
class TUPLINK_EXPORT Service::CallMethod {
  public:
    // `method_name` is the full name, e.g. "com.example.echo.add" for method "add" of
    // interface "com.example.echo".
    CallMethod(const char* interface_name, const char* method_name);
    virtual ~CallMethod();
    CallMethod(const CallMethod&) = delete;
    CallMethod& operator=(const CallMethod&) = delete;

    const char* interface_name() const { return interfaceName_.c_str(); }
    const char* method_name() const { return methodName_.c_str(); }

    // A one-way method gets no reply: the host runs it and sends nothing back.
    virtual bool is_oneway() const { return false; }
    // Carries out one call on `target` (null when the host has no interface object for it)
    // with the call's arguments, writing into `results`. The return value is the call's
    // status.
    virtual int invoke(Interface* target, Tuple& arguments, Tuple& results) = 0;

  private:
    std::string interfaceName_;  // the interface the method belongs to
    std::string methodName_;     // the full method name it is registered under
};

// Makes the instances of one service. Constructing a factory registers it under the service
// name for the life of the object; a second factory under a registered name is not
// registered.
class TUPLINK_EXPORT ServiceFactory {
  public:
    // With `create_at_start`, a host makes the instance named "default" when it starts
    // rather than on the first call that names it.
    ServiceFactory(const char* name, bool create_at_start);
    virtual ~ServiceFactory();
    ServiceFactory(const ServiceFactory&) = delete;
    ServiceFactory& operator=(const ServiceFactory&) = delete;

    const char* name() const { return name_.c_str(); }
    bool create_at_start() const { return createAtStart_; }

    // A new service object named `instance_name`, held by exactly one reference; null when
    // it cannot be made.
    virtual AutoRef<Service> create(const char* instance_name) = 0;

  private:
    std::string name_;    // the registered service name
    bool createAtStart_;  // make the "default" instance when a host starts
};

// A factory that makes a `T` with its default constructor and names it after the instance.
template <class T>
class DefaultServiceFactory : public ServiceFactory {
  public:
    using ServiceFactory::ServiceFactory;

    AutoRef<Service> create(const char* instance_name) override {
        AutoRef<Service> service(new T);
        service->set_name(instance_name);
        return service;
    }
};

}  // namespace tuplink
