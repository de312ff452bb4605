#include "wmi_service/wbem_enumerator.h"
#include "platform/wbem_status.h"
#include "wmi_service/com_object.h"
#include "wmi_service/wbem_object_builder.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

using wmi_service::WbemObjectBuilder;

namespace {

class WbemEnumeratorTest : public testing::Test {
  protected:
    void SetUp() override {
        std::vector<ComPtr<IWbemClassObject>> objects;
        for (std::int32_t i = 0; i < 3; ++i) {
            objects.push_back(WbemObjectBuilder(L"Item").Set(L"Index", i).Build());
        }
        ASSERT_EQ(wmi_service::CreateWbemEnumerator(objects, enumerator.put()),
                  Hr(WBEM_S_NO_ERROR));
    }

    // The Index of the next object, or -1 when Next delivers none.
    std::int32_t NextIndex(HRESULT expected = Hr(WBEM_S_NO_ERROR)) {
        ComPtr<IWbemClassObject> object;
        ULONG returned = 99;
        EXPECT_EQ(enumerator->Next(20000, 1, object.put(), &returned), expected);
        if (!object) {
            EXPECT_EQ(returned, 0u);
            return -1;
        }
        EXPECT_EQ(returned, 1u);
        wmi_service::Variant index;
        EXPECT_EQ(object->Get(L"Index", 0, index.put(), nullptr, nullptr), Hr(WBEM_S_NO_ERROR));
        return V_I4(index.get());
    }

    ComPtr<IEnumWbemClassObject> enumerator;
};

TEST_F(WbemEnumeratorTest, NextDeliversInOrderThenFalseAtTheEnd) {
    EXPECT_EQ(NextIndex(), 0);
    EXPECT_EQ(NextIndex(), 1);
    EXPECT_EQ(NextIndex(), 2);
    EXPECT_EQ(NextIndex(Hr(WBEM_S_FALSE)), -1);
    EXPECT_EQ(NextIndex(Hr(WBEM_S_FALSE)), -1);
}

TEST_F(WbemEnumeratorTest, AskingForMoreThanLeftGivesFewerWithFalse) {
    std::array<IWbemClassObject*, 5> objects{};
    ULONG returned = 0;
    EXPECT_EQ(enumerator->Next(static_cast<LONG>(WBEM_INFINITE), 2, objects.data(), &returned),
              Hr(WBEM_S_NO_ERROR));
    EXPECT_EQ(returned, 2u);
    EXPECT_EQ(enumerator->Next(0, 5, objects.data() + 2, &returned), Hr(WBEM_S_FALSE));
    EXPECT_EQ(returned, 1u);
    for (std::size_t i = 0; i < 3; ++i) {
        ComPtr<IWbemClassObject> owned(objects[i]);
        EXPECT_TRUE(owned);
    }
}

TEST_F(WbemEnumeratorTest, RefusesBadArgumentsAndWhatNobodyCalls) {
    ComPtr<IWbemClassObject> object;
    ULONG returned = 0;
    EXPECT_EQ(enumerator->Next(-5, 1, object.put(), &returned), Hr(WBEM_E_INVALID_PARAMETER));
    EXPECT_EQ(enumerator->Next(0, 1, object.put(), nullptr), Hr(WBEM_E_INVALID_PARAMETER));
    EXPECT_EQ(enumerator->NextAsync(1, nullptr), Hr(WBEM_E_NOT_SUPPORTED));
    EXPECT_EQ(enumerator->Skip(0, 1), Hr(WBEM_E_NOT_SUPPORTED));
    EXPECT_EQ(enumerator->Reset(), Hr(WBEM_E_NOT_SUPPORTED));
    IEnumWbemClassObject* copy = enumerator.get();  // the out-parameter is cleared
    EXPECT_EQ(enumerator->Clone(&copy), Hr(WBEM_E_NOT_SUPPORTED));
    EXPECT_EQ(copy, nullptr);
    EXPECT_EQ(NextIndex(), 0) << "a refused call moves nothing";
}

TEST(WbemEnumeratorEmptyTest, EmptyListEndsAtOnce) {
    ComPtr<IEnumWbemClassObject> enumerator;
    ASSERT_EQ(wmi_service::CreateWbemEnumerator({}, enumerator.put()), Hr(WBEM_S_NO_ERROR));
    ComPtr<IWbemClassObject> object;
    ULONG returned = 7;
    EXPECT_EQ(enumerator->Next(20000, 1, object.put(), &returned), Hr(WBEM_S_FALSE));
    EXPECT_EQ(returned, 0u);
    EXPECT_FALSE(object);
}

}  // namespace
