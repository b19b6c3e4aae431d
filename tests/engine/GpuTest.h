#pragma once
// Fixture for tests that need the GPU: the engine's device is created once per executable with
// the validation layer on, and any validation message during a test fails it. Without any
// Vulkan device the tests are skipped.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "Engine/EngineCore.h"

namespace TavrinTest {

class GpuTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    Engine::EngineCore& Core() { return *Engine::EngineCore::GetInstance(); }
    Engine::Platform::Device& Device() { return *Core().GetDevice(); }
    /// Submits the shared command list and waits for the GPU.
    void SubmitAndWait();
    /// Reads subresource `subresource` of `texture` (which must be in the copy-source state) into
    /// tightly packed rows.
    std::vector<uint8_t> ReadSubresource(Engine::Platform::Resource& texture, uint32_t subresource);

    /// Validation messages since the test began; a test that provokes one on purpose calls
    /// AcceptValidationMessages afterwards.
    uint64_t NewValidationMessages() const;
    void AcceptValidationMessages();

private:
    uint64_t m_messagesBefore = 0;
};

}  // namespace TavrinTest
