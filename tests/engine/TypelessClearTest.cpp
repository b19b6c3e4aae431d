// Colour buffers of 16-bit normalised formats are made typeless; clearing the whole image must
// still write the bits of the format the buffer is viewed as, not those of the typeless family's
// default (half floats for 16-bit channels).
#include <gtest/gtest.h>

#include <cstring>

#include "Engine/EngineCore.h"
#include "Engine/GpuResource/ColorBuffer.h"
#include "GpuTest.h"

namespace TavrinTest {
namespace {

using namespace Engine;
using namespace Engine::Platform;

using TypelessClearTest = GpuTest;

std::vector<uint16_t> Channels(const std::vector<uint8_t>& bytes) {
    std::vector<uint16_t> out(bytes.size() / 2);
    std::memcpy(out.data(), bytes.data(), out.size() * 2);
    return out;
}

TEST_F(TypelessClearTest, UnorderedAccessClearOfR16UnormWritesUnormBits) {
    ColorBuffer target;
    target.Create(u"R16Target", 4, 2, Format::R16_UNORM);
    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    target.TransitionTo(list, ResourceState::UnorderedAccess);
    const float half[4] = {0.5f, 0, 0, 0};
    list.ClearUnorderedAccessViewFloat(*target.GetResource(), half);
    target.TransitionTo(list, ResourceState::CopySource);
    SubmitAndWait();
    const std::vector<uint16_t> texels = Channels(ReadSubresource(*target.GetResource(), 0));
    ASSERT_EQ(texels.size(), 8u);
    for (uint16_t t : texels) EXPECT_NEAR(int(t), 32768, 1) << std::hex << t;  // a half float 0.5 would be 0x3800
}

// The same through a render-target clear, and for a two-channel 16-bit target through both.
TEST_F(TypelessClearTest, EveryClearOfSixteenBitUnormTargetsWritesUnormBits) {
    ColorBuffer r16, rg16;
    r16.Create(u"R16Target", 2, 2, Format::R16_UNORM);
    rg16.Create(u"RG16Target", 2, 2, Format::R16G16_UNORM);
    Core().ResetCommandList();
    CommandList& list = *Core().GetCommandList();
    r16.TransitionTo(list, ResourceState::RenderTarget);
    const float quarter[4] = {0.25f, 0, 0, 0};
    list.ClearRenderTargetView(r16.rtvHandle.Cpu(), quarter);
    rg16.TransitionTo(list, ResourceState::UnorderedAccess);
    const float pair[4] = {1.0f, 0.75f, 0, 0};
    list.ClearUnorderedAccessViewFloat(*rg16.GetResource(), pair);
    r16.TransitionTo(list, ResourceState::CopySource);
    rg16.TransitionTo(list, ResourceState::CopySource);
    SubmitAndWait();
    for (uint16_t t : Channels(ReadSubresource(*r16.GetResource(), 0))) EXPECT_NEAR(int(t), 16384, 1);
    const std::vector<uint16_t> pairs = Channels(ReadSubresource(*rg16.GetResource(), 0));
    ASSERT_EQ(pairs.size(), 8u);
    for (size_t i = 0; i < pairs.size(); i += 2) {
        EXPECT_EQ(pairs[i], 65535);
        EXPECT_NEAR(int(pairs[i + 1]), 49151, 1);
    }
}

}  // namespace
}  // namespace TavrinTest
