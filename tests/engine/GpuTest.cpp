#include "GpuTest.h"

#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

#include "Engine/GpuResource/ResourceUploadBatch.h"

namespace TavrinTest {
namespace {

struct DeviceState {
    bool tried = false;
    bool available = false;
    std::string reason;
};

DeviceState& State() {
    static DeviceState state;
    if (!state.tried) {
        state.tried = true;
        if (!std::getenv("XDG_RUNTIME_DIR")) {
            const std::string dir = "/tmp/tavrin-test-runtime-" + std::to_string(getuid());
            mkdir(dir.c_str(), 0700);
            setenv("XDG_RUNTIME_DIR", dir.c_str(), 0);
        }
        Engine::Platform::DeviceOptions options;
        options.enableValidation = true;
        Engine::EngineCore::SetDeviceOptions(options);
        try {
            Engine::EngineCore& core = *Engine::EngineCore::GetInstance();
            core.SetHeadlessOutput(16, 16);
            state.available = true;
        } catch (const std::runtime_error& e) {
            state.reason = e.what();
        }
    }
    return state;
}

}  // namespace

void GpuTest::SetUp() {
    const DeviceState& state = State();
    if (!state.available) GTEST_SKIP() << "No usable Vulkan device: " << state.reason;
    m_messagesBefore = Device().ValidationMessageCount();
}

void GpuTest::TearDown() {
    if (!State().available) return;
    if (Core().IsCommandListOpen()) Core().ExecuteCommandList();
    Core().WaitForGpu();
    EXPECT_EQ(Device().ValidationMessageCount(), m_messagesBefore) << "Validation: " << Device().LastValidationMessage();
}

uint64_t GpuTest::NewValidationMessages() const {
    return Engine::EngineCore::GetInstance()->GetDevice()->ValidationMessageCount() - m_messagesBefore;
}

void GpuTest::AcceptValidationMessages() { m_messagesBefore = Device().ValidationMessageCount(); }

void GpuTest::SubmitAndWait() {
    Core().ExecuteCommandList();
    Core().WaitForGpu();
}

std::vector<uint8_t> GpuTest::ReadSubresource(Engine::Platform::Resource& texture, uint32_t subresource) {
    using namespace Engine::Platform;
    const SubresourceFootprint fp = Device().GetCopyableFootprint(texture.Desc(), subresource);
    auto buffer = Device().CreateCommittedResource(HeapType::Readback, ResourceDesc::Buffer(fp.totalBytes), ResourceState::CopyDest);
    Engine::ResourceUploadBatch batch(Core().GetDeviceShared());
    batch.Begin();
    batch.GetCommandList()->CopyTextureToBuffer(*buffer, fp, texture, subresource);
    batch.End(Device()).wait();
    const auto* bytes = static_cast<const uint8_t*>(buffer->Map());
    std::vector<uint8_t> packed(fp.rowSizeInBytes * fp.numRows * fp.depth);
    for (uint32_t row = 0; row < fp.numRows * fp.depth; ++row)
        std::memcpy(packed.data() + row * fp.rowSizeInBytes, bytes + uint64_t(row) * fp.rowPitch, fp.rowSizeInBytes);
    return packed;
}

}  // namespace TavrinTest
