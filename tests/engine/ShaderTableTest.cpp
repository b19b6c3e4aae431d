// Shader-table layout from the device's handle size and alignments (pure arithmetic, for devices
// other than the test machine's), and a table on the device: records where the layout puts them,
// the declared count enforced, the text dump.
#include <gtest/gtest.h>

#include <cstring>

#include "Engine/EngineCore.h"
#include "Engine/Platform/ShaderTable.h"
#include "Engine/raytracing/RaytracingPipeline.h"
#include "GpuTest.h"
#include "TestShaders.h"
#include "core/HrException.h"
#include "shaders/tests/TestShaderLayouts.h"

namespace TavrinTest {
namespace {

using namespace Engine::Platform;

ShaderTableAlignments Alignments(uint32_t handle, uint32_t handleAlignment, uint32_t base) {
    ShaderTableAlignments a;
    a.handleSize = handle;
    a.handleAlignment = handleAlignment;
    a.baseAlignment = base;
    a.maxStride = 4096;
    return a;
}

TEST(ShaderTableLayout, RecordSizeIsHandlePlusLocalDataRoundedToTheHandleAlignment) {
    struct Case {
        uint32_t handle, handleAlignment, base, local, count;
        uint32_t recordSize;
    };
    const Case cases[] = {
        {32, 32, 64, 40, 7, 96},   // common desktop GPUs: 32 + 40 = 72 -> 96
        {32, 16, 32, 48, 3, 80},   // lavapipe: 32 + 48 = 80
        {32, 32, 64, 0, 1, 32},    // handle only
        {16, 8, 128, 4, 5, 24},    // a small handle: 16 + 4 = 20 -> 24
        {64, 64, 256, 1, 2, 128},  // a large handle: 65 -> 128
    };
    for (const Case& c : cases) {
        const ShaderTableLayout layout = ShaderTableLayout::Compute(Alignments(c.handle, c.handleAlignment, c.base), c.count, c.local);
        EXPECT_EQ(layout.recordSize, c.recordSize) << c.handle << "/" << c.handleAlignment << " + " << c.local;
        EXPECT_EQ(layout.tableBytes, uint64_t(c.recordSize) * c.count);
        EXPECT_GE(layout.allocationBytes, layout.tableBytes + c.base - 1) << "an unaligned buffer must still hold the table";
    }
    // The edge case of seven material ranges: 7 x 96 = 672 bytes.
    EXPECT_EQ(ShaderTableLayout::Compute(Alignments(32, 32, 64), 7, 40).tableBytes, 672u);
}

TEST(ShaderTableLayout, TablesStartAtTheBaseAlignment) {
    const ShaderTableLayout a = ShaderTableLayout::Compute(Alignments(16, 8, 128), 2, 0);
    EXPECT_EQ(a.StartOffset(0x1000), 0u);
    EXPECT_EQ(a.StartOffset(0x1008), 0x78u);
    EXPECT_EQ(a.StartOffset(0x1081), 0x7fu);
    const ShaderTableLayout b = ShaderTableLayout::Compute(Alignments(32, 32, 64), 1, 0);
    for (uint64_t address : {0x10000ull, 0x10004ull, 0x1003full, 0x10040ull}) {
        const uint64_t start = address + b.StartOffset(address);
        EXPECT_EQ(start % 64, 0u);
        EXPECT_LE(start + b.tableBytes, address + b.allocationBytes);
    }
}

TEST(ShaderTableLayout, RefusesLayoutsNoDeviceCouldUse) {
    EXPECT_THROW(ShaderTableLayout::Compute(Alignments(32, 24, 64), 1, 0), std::invalid_argument);
    EXPECT_THROW(ShaderTableLayout::Compute(Alignments(32, 32, 48), 1, 0), std::invalid_argument);
    EXPECT_THROW(ShaderTableLayout::Compute(Alignments(0, 32, 64), 1, 0), std::invalid_argument);
    EXPECT_THROW(ShaderTableLayout::Compute(Alignments(32, 32, 64), 1, 4096), std::invalid_argument);
}

// The description of a pipeline names its parts in order, with "[none]" for a missing import,
// and places the local record's fields as the shaders read them.
TEST(RaytracingPipelineDescription, NamesEveryPartAndPlacesTheLocalFields) {
    Engine::RaytracingPipelineBuilder builder("Sample");
    builder.AddShader("Gen", RaytracingShaderStage::RayGeneration, {});
    builder.AddShader("Sphere", RaytracingShaderStage::Intersection, {});
    builder.AddShader("Light", RaytracingShaderStage::Callable, {});
    builder.AddHitGroup("Spheres", "", "", "Sphere");
    builder.SetShaderConfig(24, 8);
    using Kind = Engine::ShaderRecordField::Kind;
    builder.SetLocalLayout({"Local", {{"colour", Kind::BindlessIndex}, {"block", Kind::DeviceAddress}, {"mask", Kind::BindlessIndex}}},
                           {"Spheres"});
    EXPECT_EQ(builder.GetLocalLayout().Offset(1), 8u) << "addresses align to 8";
    EXPECT_EQ(builder.GetLocalLayout().Bytes(), 24u);
    const std::string text = builder.Describe();
    for (const char* line : {"|  [1]: Sphere (intersection)\n", "|  [2]: Light (callable)\n",
                             "| [1]: Hit Group (Spheres) procedural\n", "|  [1]: Closest Hit Import: [none]\n",
                             "|  [2]: Intersection Import: Sphere\n", "|  [0]: Max Payload Size: 24 bytes\n",
                             "| [3]: Local layout Local, 24 bytes\n", "|  [1]: +8 block (device address)\n",
                             "| [4]: Subobject to Exports Association (Subobject [3])\n", "| [5]: Global layout  [none]\n",
                             "|  [0]: Max Recursion Depth: 1\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line << " in\n" << text;
}

using ShaderTableDevice = GpuTest;

TEST_F(ShaderTableDevice, RecordsHoldHandleAndLocalDataAtTheirStrideAndTheCountIsEnforced) {
    if (!Core().IsRaytracingSupported()) GTEST_SKIP() << "no ray tracing on this device";
    auto root = Device().CreateRootSignature(ShaderLayouts::TraceTriangle());
    Engine::RaytracingPipelineBuilder builder("TraceTriangle");
    builder.SetGlobalRootSignature(*root, "TraceTriangle");
    builder.AddShader("RayGen", RaytracingShaderStage::RayGeneration, Shaders::TraceTriangle_rgen());
    builder.AddShader("Miss", RaytracingShaderStage::Miss, Shaders::TraceTriangle_rmiss());
    builder.AddShader("ClosestHit", RaytracingShaderStage::ClosestHit, Shaders::TraceTriangle_rchit());
    builder.AddHitGroup("HitGroup", "ClosestHit");
    auto pipeline = builder.Build(Device());

    ShaderTable table(Device(), 2, 12, "Hits");
    const uint32_t handle = Device().Limits().shaderGroupHandleSize;
    const uint32_t first[3] = {1, 2, 3}, second[2] = {7, 8};
    table.Append(pipeline->GetShaderIdentifier("HitGroup"), "HitGroup", first, sizeof(first));
    table.Append(pipeline->GetShaderIdentifier("HitGroup"), "HitGroup", second, sizeof(second));
    EXPECT_THROW(table.Append(pipeline->GetShaderIdentifier("HitGroup"), "HitGroup"), HrException);
    try {
        table.Append(pipeline->GetShaderIdentifier("HitGroup"), "HitGroup");
    } catch (const HrException& e) {
        EXPECT_EQ(uint32_t(e.Error()), 0x80004005u);
    }

    const ShaderTableRange range = table.Range();
    EXPECT_EQ(range.startAddress % Device().Limits().shaderGroupBaseAlignment, 0u);
    EXPECT_EQ(range.strideInBytes, table.Layout().recordSize);
    EXPECT_EQ(range.sizeInBytes, 2u * table.Layout().recordSize);
    EXPECT_EQ(range.strideInBytes % Device().Limits().shaderGroupHandleAlignment, 0u);
    EXPECT_GE(range.strideInBytes, handle + 12);
    EXPECT_EQ(std::memcmp(table.RecordBytes(1), pipeline->GetShaderIdentifier("HitGroup"), handle), 0);
    uint32_t local[2];
    std::memcpy(local, table.RecordBytes(1) + handle, sizeof(local));
    EXPECT_EQ(local[0], 7u);
    EXPECT_EQ(local[1], 8u);

    const std::string dump = table.DebugPrint();
    const std::string expectedHeader = "|Shader table - Hits: " + std::to_string(table.Layout().recordSize) + " | " +
                                       std::to_string(2 * table.Layout().recordSize) + " bytes\n";
    EXPECT_NE(dump.find(expectedHeader), std::string::npos) << dump;
    EXPECT_NE(dump.find("| [0]: HitGroup, " + std::to_string(handle) + " + 12 bytes \n"), std::string::npos) << dump;
    EXPECT_NE(dump.find("| [1]: HitGroup, " + std::to_string(handle) + " + 8 bytes \n"), std::string::npos) << dump;
    EXPECT_EQ(dump.rfind("| " + std::string(68, '-') + "\n\n"), dump.size() - 72) << dump;

    ShaderTable small(Device(), 1, 4, "Small");
    EXPECT_THROW(small.Append(nullptr, "none"), std::invalid_argument);
    const uint8_t tooMuch[64] = {};
    EXPECT_THROW(small.Append(pipeline->GetShaderIdentifier("HitGroup"), "HitGroup", tooMuch, sizeof(tooMuch)), std::invalid_argument);
}

}  // namespace
}  // namespace TavrinTest
