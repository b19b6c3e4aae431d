#pragma once
// Ray-tracing descriptions: acceleration-structure build inputs, instances, ray-tracing
// pipelines and shader-table ranges. Only valid on a device where RaytracingSupported() is true.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "Engine/Platform/Pipeline.h"
#include "Engine/Platform/Types.h"

namespace Engine::Platform {

class Device;
class Resource;
struct AccelerationStructureImpl;

/// Triangles of one bottom-level geometry, read from buffers by device address.
struct RaytracingGeometryTriangles {
    uint64_t vertexAddress = 0;
    uint32_t vertexStride = 0;
    uint32_t vertexCount = 0;
    Format vertexFormat = Format::R32G32B32_FLOAT;
    uint64_t indexAddress = 0;            ///< 0: non-indexed
    uint32_t indexCount = 0;
    Format indexFormat = Format::R32_UINT;  ///< R16_UINT or R32_UINT
    uint64_t transformAddress = 0;        ///< optional 3 x 4 row-major float matrix
    bool opaque = true;
};

/// One top-level instance; the same 64-byte layout on both platforms. `accelerationStructure`
/// is AccelerationStructure::GpuAddress() of a bottom-level structure.
struct RaytracingInstanceDesc {
    float transform[3][4];
    uint32_t instanceID : 24;
    uint32_t instanceMask : 8;
    uint32_t instanceContributionToHitGroupIndex : 24;
    uint32_t flags : 8;  ///< 1 cull disable, 2 front counter-clockwise, 4 force opaque, 8 force non-opaque
    uint64_t accelerationStructure;
};
static_assert(sizeof(RaytracingInstanceDesc) == 64);

enum class AccelerationStructureType : uint32_t { TopLevel, BottomLevel };

enum class BuildFlags : uint32_t {
    None = 0,
    AllowUpdate = 0x1,
    AllowCompaction = 0x2,
    PreferFastTrace = 0x4,
    PreferFastBuild = 0x8,
    MinimizeMemory = 0x10,
    PerformUpdate = 0x20,
};
constexpr BuildFlags operator|(BuildFlags a, BuildFlags b) {
    return static_cast<BuildFlags>(static_cast<uint32_t>(a) | static_cast<uint32_t>(b));
}

struct AccelerationStructureInputs {
    AccelerationStructureType type = AccelerationStructureType::BottomLevel;
    BuildFlags flags = BuildFlags::PreferFastTrace;
    std::vector<RaytracingGeometryTriangles> geometries;  ///< bottom level
    uint64_t instanceAddress = 0;                         ///< top level: array of RaytracingInstanceDesc
    uint32_t instanceCount = 0;
};

struct AccelerationStructurePrebuildInfo {
    uint64_t resultDataMaxSizeInBytes = 0;
    uint64_t scratchDataSizeInBytes = 0;
    uint64_t updateScratchDataSizeInBytes = 0;
};

/// An acceleration structure placed in a buffer created with AccelerationStructureStorage.
class AccelerationStructure {
public:
    AccelerationStructure(std::shared_ptr<Device> device, AccelerationStructureType type, std::shared_ptr<Resource> buffer,
                          uint64_t offset, uint64_t size);
    ~AccelerationStructure();
    AccelerationStructure(const AccelerationStructure&) = delete;
    AccelerationStructure& operator=(const AccelerationStructure&) = delete;

    /// Address to put in RaytracingInstanceDesc::accelerationStructure.
    uint64_t GpuAddress() const { return m_address; }
    AccelerationStructureType Type() const { return m_type; }
    Resource& Buffer() const { return *m_buffer; }
    AccelerationStructureImpl& Impl() const { return *m_impl; }

private:
    std::shared_ptr<Device> m_device;
    AccelerationStructureType m_type;
    std::shared_ptr<Resource> m_buffer;
    uint64_t m_address = 0;
    std::unique_ptr<AccelerationStructureImpl> m_impl;
};

enum class RaytracingShaderStage : uint32_t { RayGeneration, Miss, ClosestHit, AnyHit, Intersection, Callable };

struct RaytracingShader {
    std::string name;  ///< export name, used for shader identifiers and hit groups
    RaytracingShaderStage stage = RaytracingShaderStage::RayGeneration;
    ShaderBytecode code;
};

struct HitGroupDesc {
    std::string name;
    std::string closestHit, anyHit, intersection;  ///< shader names; empty for none
};

/// A ray-tracing pipeline with the global root signature (the compute arguments of the list).
/// Ray-generation, miss and callable shaders are groups of their own named after the shader;
/// hit groups are named by HitGroupDesc::name.
struct RaytracingPipelineDesc {
    RootSignature* globalRootSignature = nullptr;
    std::vector<RaytracingShader> shaders;
    std::vector<HitGroupDesc> hitGroups;
    uint32_t maxRecursionDepth = 1;
};

struct ShaderTableRange {
    uint64_t startAddress = 0;
    uint64_t sizeInBytes = 0;
    uint64_t strideInBytes = 0;
};

struct DispatchRaysDesc {
    ShaderTableRange rayGeneration;  ///< stride is taken equal to the size
    ShaderTableRange missShaderTable;
    ShaderTableRange hitGroupTable;
    ShaderTableRange callableShaderTable;
    uint32_t width = 1, height = 1, depth = 1;
};

}  // namespace Engine::Platform
