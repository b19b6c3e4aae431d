// Descriptor slots go back to their heap with the last handle that held them, and are taken again
// only after the GPU has finished the frame that was being recorded when they went back.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <vector>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/ColorBuffer.h"
#include "Engine/GpuResource/DescriptorHandle.h"
#include "Engine/GpuResource/DescriptorSlots.h"
#include "GpuTest.h"

namespace TavrinTest {
namespace {

using namespace Engine;
using Platform::DescriptorHeapType;

class DescriptorSlotsTest : public GpuTest {};

TEST_F(DescriptorSlotsTest, ASlotReturnsWithItsLastHandleOnceTheGpuIsPastIt) {
    Core().WaitForGpu();
    const uint32_t kind = static_cast<uint32_t>(DescriptorHeapType::CbvSrvUav);
    DescriptorSlots& slots = *Core().GetDescriptorSlots();
    // Earlier tests may have given slots back: count from here.
    const size_t before = slots.ReturnedCount(kind);
    int32_t dropped = -1;
    DescriptorHandle kept;
    {
        DescriptorHandle first = AllocateDescriptor(DescriptorHeapType::CbvSrvUav);
        const DescriptorHandle copy = first;
        dropped = first.index;
        kept = AllocateDescriptor(DescriptorHeapType::CbvSrvUav);
        first = DescriptorHandle{};
        EXPECT_EQ(slots.ReturnedCount(kind), before) << "a copy still holds it";
    }
    EXPECT_EQ(slots.ReturnedCount(kind), before + 1);

    // The frame being recorded may still read the old view: the slot waits.
    const DescriptorHandle early = AllocateDescriptor(DescriptorHeapType::CbvSrvUav);
    EXPECT_NE(early.index, dropped);
    Core().WaitForGpu();
    const int32_t used = Core().DescriptorCount(DescriptorHeapType::CbvSrvUav);
    std::vector<DescriptorHandle> again;
    for (size_t i = slots.ReturnedCount(kind); i > 0; --i) again.push_back(AllocateDescriptor(DescriptorHeapType::CbvSrvUav));
    EXPECT_TRUE(std::any_of(again.begin(), again.end(), [&](const DescriptorHandle& h) { return h.index == dropped; }));
    EXPECT_TRUE(std::none_of(again.begin(), again.end(), [&](const DescriptorHandle& h) { return h.index == kept.index; }));
    EXPECT_EQ(Core().DescriptorCount(DescriptorHeapType::CbvSrvUav), used) << "no new slot used";
}

// Buffers made and dropped over and over (as each scene load makes its passes anew) keep using the
// same few slots of each heap.
TEST_F(DescriptorSlotsTest, BuffersMadeAgainAndAgainDoNotFillTheHeaps) {
    auto counts = [&] {
        return std::array<int32_t, 3>{Core().DescriptorCount(DescriptorHeapType::CbvSrvUav), Core().CpuCbvSrvUavCount(),
                                      Core().DescriptorCount(DescriptorHeapType::Rtv)};
    };
    std::array<int32_t, 3> after2{};
    for (int round = 0; round < 6; ++round) {
        {
            ColorBuffer a, b;
            a.Create(u"SlotsA", 4, 4, Platform::Format::R8G8B8A8_UNORM);
            b.Create(u"SlotsB", 4, 4, Platform::Format::R16G16B16A16_FLOAT);
        }
        Core().WaitForGpu();
        if (round == 1) after2 = counts();
    }
    EXPECT_EQ(counts(), after2);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

}  // namespace
}  // namespace TavrinTest
