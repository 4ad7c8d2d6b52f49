// Tuple values: storage by key and type, copies against moves, and the empty values.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "tuplink/tuple.h"

namespace {

using tuplink::Array;
using tuplink::AString;
using tuplink::Blob;
using tuplink::IntList;
using tuplink::Symbol;
using tuplink::Tuple;
using tuplink::TupleList;

Blob blobOf(std::size_t size, std::byte fill) {
    Blob blob;
    EXPECT_TRUE(blob.set(size, nullptr));
    for (std::size_t index = 0; index < size; ++index) {
        blob.data()[index] = fill;
    }
    return blob;
}

TEST(Tuple, AnswersAValueOnlyForItsKeyAndType) {
    Tuple tuple("com::example::Thing");
    tuple.set_int(Symbol("x"), 7);
    tuple.set_float(Symbol("f"), 2.5);
    EXPECT_EQ(std::string(tuple.class_name()), "com::example::Thing");
    ASSERT_NE(tuple.get_value(Symbol("x"), tuplink::TYPE_INT), nullptr);
    EXPECT_EQ(*static_cast<int*>(tuple.get_value(Symbol("x"), tuplink::TYPE_INT)->get_pvalue()), 7);
    EXPECT_EQ(tuple.get_value(Symbol("x"), tuplink::TYPE_FLOAT), nullptr) << "other type";
    EXPECT_EQ(tuple.get_value(Symbol("y"), tuplink::TYPE_INT), nullptr) << "absent";
    EXPECT_EQ(tuple.get_int(Symbol("y")), 0) << "a missing int reads as 0";
    EXPECT_EQ(tuple.get_float(Symbol("g")), 0.0);
    EXPECT_EQ(tuple.get_pvalue(Symbol("s"), tuplink::TYPE_STRING), nullptr);
    auto* text = static_cast<AString*>(tuple.get_pvalue(Symbol("s"), tuplink::TYPE_STRING, true));
    ASSERT_NE(text, nullptr) << "created empty on request";
    EXPECT_TRUE(text->empty());
    tuple.set_string(Symbol("x"), "now a string");
    EXPECT_EQ(tuple.get_value(Symbol("x"), tuplink::TYPE_INT), nullptr) << "replaced";
    EXPECT_EQ(tuple.size(), 3u);
    EXPECT_EQ(tuple.set_value(Symbol("bad"), static_cast<tuplink::Types>(4)), nullptr);
}

TEST(Tuple, SetValueCopiesByDefaultKeepsOrMovesOnRequest) {
    Tuple tuple;
    Blob source = blobOf(64, std::byte{9});
    const std::byte* bytes = source.data();
    tuple.set_value(Symbol("copy"), tuplink::TYPE_BLOB, &source);
    EXPECT_EQ(source.size(), 64u) << "a copy leaves the source alone";
    EXPECT_NE(static_cast<Blob*>(tuple.get_pvalue(Symbol("copy"), tuplink::TYPE_BLOB))->data(),
              bytes);

    tuple.set_value(Symbol("moved"), tuplink::TYPE_BLOB, &source, false, true);
    EXPECT_TRUE(source.empty());
    EXPECT_EQ(static_cast<Blob*>(tuple.get_pvalue(Symbol("moved"), tuplink::TYPE_BLOB))->data(),
              bytes)
        << "moving never copies blob bytes";

    int seven = 7;
    auto* first = tuple.set_value(Symbol("n"), tuplink::TYPE_INT, &seven);
    int eight = 8;
    EXPECT_EQ(tuple.set_value(Symbol("n"), tuplink::TYPE_INT, &eight, true), first);
    EXPECT_EQ(tuple.get_int(Symbol("n")), 7) << "kept";
    EXPECT_EQ(tuple.set_value(Symbol("n"), tuplink::TYPE_INT)->as<int>(), 0) << "empty value";
}

TEST(Tuple, CopiesAreDeepSpliceMovesEverything) {
    Tuple inner("Inner");
    inner.set_value(Symbol("buffer"), tuplink::TYPE_BLOB, nullptr);
    static_cast<Blob*>(inner.get_pvalue(Symbol("buffer"), tuplink::TYPE_BLOB))->set(16, nullptr);
    Tuple outer("Outer");
    outer.set_value(Symbol("inner"), tuplink::TYPE_TUPLE, &inner);
    auto* list =
        static_cast<TupleList*>(outer.get_pvalue(Symbol("list"), tuplink::TYPE_LIST_TUPLE, true));
    list->push_back(inner);

    Tuple copy(outer);
    EXPECT_EQ(copy, outer);
    static_cast<Tuple*>(copy.get_pvalue(Symbol("inner"), tuplink::TYPE_TUPLE))
        ->set_int(Symbol("changed"), 1);
    EXPECT_NE(copy, outer) << "the copy shares nothing";

    const std::byte* bytes =
        static_cast<Blob*>(
            static_cast<Tuple*>(outer.get_pvalue(Symbol("inner"), tuplink::TYPE_TUPLE))
                ->get_pvalue(Symbol("buffer"), tuplink::TYPE_BLOB))
            ->data();
    Tuple target("Target");
    target.set_int(Symbol("old"), 1);
    target.splice(outer);
    EXPECT_TRUE(outer.empty());
    EXPECT_EQ(std::string(target.class_name()), "Outer");
    EXPECT_FALSE(target.contains(Symbol("old")));
    EXPECT_EQ(static_cast<Blob*>(
                  static_cast<Tuple*>(target.get_pvalue(Symbol("inner"), tuplink::TYPE_TUPLE))
                      ->get_pvalue(Symbol("buffer"), tuplink::TYPE_BLOB))
                  ->data(),
              bytes);
    target.clear();
    EXPECT_TRUE(target.empty());
    EXPECT_EQ(std::string(target.class_name()), "");
}

TEST(Tuple, FloatsCompareByTheirBitsSoNaNsRoundTripAsEqual) {
    const float values[] = {std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(), -0.0f, 1.5f};
    Tuple a;
    ASSERT_TRUE(a.set_array_float(Symbol("values"), values, 4));
    a.set_float(Symbol("nan"), std::nan(""));
    Tuple b(a);
    EXPECT_EQ(a, b);
    const float other[] = {std::numeric_limits<float>::quiet_NaN(),
                           std::numeric_limits<float>::infinity(), 0.0f, 1.5f};
    b.set_array_float(Symbol("values"), other, 4);
    EXPECT_NE(a, b) << "-0 and +0 differ in their bits";
}

TEST(Blob, SetSizesAndZeroesSpliceMovesWithoutCopying) {
    Blob blob;
    const char text[] = "abc";
    ASSERT_TRUE(blob.set(3, text));
    EXPECT_EQ(std::memcmp(blob.data(), "abc", 3), 0);
    ASSERT_TRUE(blob.set(5, nullptr));
    EXPECT_EQ(blob.size(), 5u);
    EXPECT_EQ(blob.data()[4], std::byte{0});
    Blob other;
    const std::byte* bytes = blob.data();
    other.splice(blob);
    EXPECT_EQ(other.data(), bytes);
    EXPECT_TRUE(blob.empty());
    EXPECT_EQ(blob.data(), nullptr);
    EXPECT_FALSE(blob.set(Blob::kMaxSize + 1, nullptr))
        << "an impossible size is refused, not thrown";
    EXPECT_TRUE(blob.empty());
}

TEST(Lists, AppendIterateAndSpliceInOrder) {
    IntList source;
    for (int value : {5, 2, 9}) {
        source.push_back(value);
    }
    IntList target;
    target.push_back(1);
    target.splice(source);
    EXPECT_TRUE(source.empty());
    std::vector<int> seen(target.begin(), target.end());
    EXPECT_EQ(seen, (std::vector<int>{1, 5, 2, 9}));

    Array<float> array(3);
    array[1] = 2.0f;
    array.push_back(4.0f);
    EXPECT_EQ(array.size(), 4u);
    EXPECT_EQ(array[1], 2.0f);
    array.clear();
    EXPECT_TRUE(array.empty());
}

}  // namespace
