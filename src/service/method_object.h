#pragma once

#include "tuplink/interface.h"
#include "tuplink/service.h"
#include "tuplink/tuple.h"

// The arguments of one call, read by key and type: numbers by value (0 or 0.0 when absent or of
// another type; a real may also be sent as an integer), strings, tuples, blobs and lists by
// pointer (null when absent).
class CallArguments {
  public:
    explicit CallArguments(tuplink::Tuple& arguments) : arguments_(arguments) {}

    int integer(const char* key) const;
    double real(const char* key) const;
    const tuplink::AString* string(const char* key) const;
    const tuplink::Tuple* tuple(const char* key) const;
    const tuplink::Blob* blob(const char* key) const;
    const tuplink::IntList* intList(const char* key) const;

  private:
    tuplink::Tuple& arguments_;  // the call's argument tuple
};

// Writing results: numbers are copied; blobs, tuples and lists are created empty under their
// key and the prepared value is moved in, without copying its bytes.
namespace call_results {

void storeInt(tuplink::Tuple& results, const char* key, int value);
void storeBool(tuplink::Tuple& results, const char* key, bool value);
void storeBlob(tuplink::Tuple& results, const char* key, tuplink::Blob& value);
void storeTuple(tuplink::Tuple& results, const char* key, tuplink::Tuple& value);
void storeTupleList(tuplink::Tuple& results, const char* key, tuplink::TupleList& value);

}  // namespace call_results

// The calling pattern shared by every method object of the service. invoke() holds the target
// by a counted reference for the whole call; with no target, or a target of another interface,
// it answers 0 and writes nothing. Otherwise call() reads the arguments, calls the interface
// method, writes every result whatever the method answered, and returns the method's answer,
// which becomes the call's status. A status other than 1 is reported to the refusal log.
template <class Target>
class MethodObject : public tuplink::Service::CallMethod {
  public:
    using CallMethod::CallMethod;

    int invoke(tuplink::Interface* target, tuplink::Tuple& arguments,
               tuplink::Tuple& results) final;

  protected:
    virtual int call(Target& target, const CallArguments& arguments, tuplink::Tuple& results) = 0;
};

// Reports a status other than 1 of the method `methodName` to the refusal log.
void reportRefusal(const char* methodName, int status);

template <class Target>
int MethodObject<Target>::invoke(tuplink::Interface* target, tuplink::Tuple& arguments,
                                 tuplink::Tuple& results) {
    auto* interface = dynamic_cast<Target*>(target);
    if (interface == nullptr) {
        return 0;
    }
    const tuplink::AutoRef<tuplink::Interface> held(target);
    const int status = call(*interface, CallArguments(arguments), results);
    if (status != 1) {
        reportRefusal(method_name(), status);
    }
    return status;
}
