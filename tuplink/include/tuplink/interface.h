#pragma once

#include <string>
#include <utility>

#include "tuplink/export.h"
#include "tuplink/ref_object.h"
#include "tuplink/service.h"

namespace tuplink {

// The base of an interface object: the state behind one named interface of one service
// instance, shared by every client of that instance. The host makes it through the
// interface's InterfaceFactory on first use and passes it to the methods' invoke(); calls may
// run on it from several threads at once. Counted: see RefObject.
class TUPLINK_EXPORT Interface : public virtual RefObject {
  public:
    explicit Interface(const char* name) : name_(name) {}

    const char* interface_name() const { return name_.c_str(); }
    // The service instance the object belongs to; null until a host attaches it. The object
    // holds a reference to it, so the service outlives its interfaces.
    Service* get_service() const { return service_.get(); }
    void set_service(AutoRef<Service> service) { service_ = std::move(service); }

  protected:
    ~Interface() override = default;

  private:
    std::string name_;          // the registered interface name
    AutoRef<Service> service_;  // the owning service instance, once attached
};

// Makes the objects of one interface. Constructing a factory registers it under the interface
// name for the life of the object; a second factory under a registered name is not
// registered.
class TUPLINK_EXPORT InterfaceFactory {
  public:
    explicit InterfaceFactory(const char* name);
    virtual ~InterfaceFactory();
    InterfaceFactory(const InterfaceFactory&) = delete;
    InterfaceFactory& operator=(const InterfaceFactory&) = delete;

    const char* name() const { return name_.c_str(); }
    // A new interface object, held by exactly one reference; null when it cannot be made.
    virtual AutoRef<Interface> create() = 0;

  private:
    std::string name_;  // the registered interface name
};

// A factory that makes a `T` with its default constructor.
template <class T>
class DummyInterfaceFactory : public InterfaceFactory {
  public:
    using InterfaceFactory::InterfaceFactory;

    AutoRef<Interface> create() override { return AutoRef<Interface>(new T); }
};

}  // namespace tuplink
