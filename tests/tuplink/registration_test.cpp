// Registration by name and the calling pattern of method objects, without a transport.
#include <gtest/gtest.h>

#include <unistd.h>

#include "probe_service.h"
#include "tuplink/registry.h"

namespace {

using tuplink::Registry;
using tuplink::Symbol;
using tuplink::Tuple;

TEST(Registry, FindsWhatStaticObjectsRegisteredByName) {
    ASSERT_NE(Registry::service_factory(probe::kService), nullptr);
    ASSERT_NE(Registry::interface_factory(probe::kInterface), nullptr);
    ASSERT_NE(Registry::method(probe::kInterface, "add"), nullptr);
    EXPECT_STREQ(Registry::method(probe::kInterface, "add")->method_name(),
                 "tuplink.test.probe.add");
    EXPECT_EQ(Registry::method(probe::kInterface, "nope"), nullptr);
    EXPECT_EQ(Registry::method("tuplink.test", "probe.add"), nullptr)
        << "the method must belong to the interface named";
    EXPECT_EQ(Registry::service_factory("tuplink.test.none"), nullptr);
}

TEST(Registry, AnObjectRegistersForItsLifeAndTheFirstOfANameWins) {
    class Twin : public tuplink::Service::CallMethod {
      public:
        Twin(const char* name) : CallMethod(probe::kInterface, name) {}
        int invoke(tuplink::Interface*, Tuple&, Tuple&) override { return 42; }
    };
    tuplink::Service::CallMethod* original = Registry::method(probe::kInterface, "add");
    {
        Twin duplicate("tuplink.test.probe.add");
        Twin added("tuplink.test.probe.extra");
        EXPECT_EQ(Registry::method(probe::kInterface, "add"), original);
        EXPECT_EQ(Registry::method(probe::kInterface, "extra"), &added);
    }
    EXPECT_EQ(Registry::method(probe::kInterface, "add"), original)
        << "destroying a duplicate leaves the registered one";
    EXPECT_EQ(Registry::method(probe::kInterface, "extra"), nullptr);
}

TEST(Factories, MakeObjectsHeldByExactlyOneReference) {
    tuplink::AutoRef<tuplink::Service> service =
        Registry::service_factory(probe::kService)->create("first");
    ASSERT_TRUE(service);
    EXPECT_EQ(service->ref_count(), 1u);
    EXPECT_STREQ(service->name(), "first") << "named after the instance";
    tuplink::AutoRef<tuplink::Interface> object =
        Registry::interface_factory(probe::kInterface)->create();
    ASSERT_TRUE(object);
    EXPECT_EQ(object->ref_count(), 1u);
    object->set_service(service);
    EXPECT_EQ(service->ref_count(), 2u) << "an interface keeps its service alive";
}

TEST(CallingPattern, MissingIntsReadAsZeroAndNoTargetAnswersZeroWritingNothing) {
    tuplink::Service::CallMethod* add = Registry::method(probe::kInterface, "add");
    tuplink::AutoRef<tuplink::Interface> target =
        Registry::interface_factory(probe::kInterface)->create();
    Tuple arguments;
    arguments.set_int(Symbol("a"), 5);
    Tuple results;
    EXPECT_EQ(add->invoke(target.get(), arguments, results), 1);
    EXPECT_EQ(results.get_int(Symbol("sum"), -1), 5) << "missing \"b\" reads as 0";
    EXPECT_EQ(target->ref_count(), 1u) << "the call's reference is dropped";

    Tuple untouched("Before");
    untouched.set_int(Symbol("keep"), 3);
    const Tuple before = untouched;
    EXPECT_EQ(add->invoke(nullptr, arguments, untouched), 0);
    EXPECT_EQ(untouched, before);
}

}  // namespace
