#include "engine/object_table.h"

#include <gtest/gtest.h>

#include "engine/memory.h"

namespace {

struct Thing {
    int value = 0;
};

TEST(ObjectTable, NumbersNameObjectsAndReuseFreesTheOldOne) {
    engine::ObjectTable<Thing> table;
    int result = 0;
    Thing* first = table.Create(3, &result);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(result, 1);
    first->value = 7;
    EXPECT_EQ(table.Get(3)->value, 7);
    EXPECT_EQ(table.Get(2), nullptr);

    Thing* second = table.Create(3, &result);
    EXPECT_EQ(second->value, 0);  // a fresh object under the same number
    EXPECT_EQ(table.Count(), 1u);
    EXPECT_TRUE(table.Release(3));
    EXPECT_FALSE(table.Release(3));
    EXPECT_EQ(table.Get(3), nullptr);
}

TEST(ObjectTable, OutOfRangeNumbersAreRefusedNotAllocated) {
    engine::ObjectTable<Thing> table;
    int result = 5;
    EXPECT_EQ(table.Create(-2, &result), nullptr);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(table.Create(engine::kMaxObjectNumber, &result), nullptr);
    EXPECT_EQ(table.Create(0x7FFFFFFF, &result), nullptr);
    EXPECT_EQ(table.Get(0x7FFFFFFF), nullptr);
    EXPECT_EQ(table.Get(-5), nullptr);
}

TEST(ObjectTable, StaleHandlesNeverFindTheSlotsNextObject) {
    engine::ObjectTable<Thing> table;
    int a = 0;
    table.Create(engine::AutoId, &a)->value = 1;
    ASSERT_TRUE(engine::ObjectTable<Thing>::IsHandle(a));
    EXPECT_EQ(table.Get(a)->value, 1);
    table.Release(a);
    int b = 0;
    table.Create(engine::AutoId, &b)->value = 2;
    EXPECT_NE(a, b);
    EXPECT_EQ(table.Get(a), nullptr);
    EXPECT_EQ(table.Get(b)->value, 2);
    // A handle never collides with a small number.
    table.Create(0, &a);
    EXPECT_EQ(table.Get(0)->value, 0);
    EXPECT_EQ(table.Get(b)->value, 2);
}

TEST(ObjectTable, ReleaseAllEmptiesBothKinds) {
    engine::ObjectTable<Thing> table;
    int r = 0;
    table.Create(1, &r);
    table.Create(engine::AutoId, &r);
    int visited = 0;
    table.ForEach([&](int, const Thing&) { ++visited; });
    EXPECT_EQ(visited, 2);
    table.ReleaseAll();
    EXPECT_EQ(table.Count(), 0u);
    EXPECT_EQ(table.Get(r), nullptr);
}

TEST(MemoryBlock, ZeroFilledSizedAndRefusingNonsense) {
    uint8_t* block = engine::AllocBlock(1000);
    ASSERT_NE(block, nullptr);
    EXPECT_EQ(engine::BlockSize(block), 1000);
    for (int i = 0; i < 1000; ++i)
        ASSERT_EQ(block[i], 0);
    engine::FreeBlock(block);
    EXPECT_EQ(engine::AllocBlock(0), nullptr);
    EXPECT_EQ(engine::AllocBlock(-1), nullptr);
    EXPECT_EQ(engine::AllocBlock(INT64_MAX), nullptr);
    EXPECT_EQ(engine::BlockSize(nullptr), 0);
    engine::FreeBlock(nullptr);
}

}  // namespace
