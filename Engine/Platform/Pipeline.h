#pragma once
// Root signatures (pipeline layouts) and pipeline states built from embedded SPIR-V.
//
// A root signature is the bindless descriptor set (set 0) plus push constants: each root
// parameter becomes one push-constant slot, in order. Root constants take 4 bytes each, a
// descriptor table takes one 32-bit heap index, a root CBV/SRV/UAV takes a 64-bit buffer device
// address (8-byte aligned). Static samplers become immutable samplers in set 1, binding = register.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "Engine/Platform/Types.h"

namespace Engine::Platform {

class Device;
struct RootSignatureImpl;
struct PipelineStateImpl;
struct RaytracingPipelineDesc;

enum class RootParameterType : uint32_t { Constants, DescriptorTable, BufferAddress };

struct RootParameter {
    RootParameterType type = RootParameterType::Constants;
    uint32_t num32BitValues = 0;  ///< Constants only

    static RootParameter Constants(uint32_t count) { return {RootParameterType::Constants, count}; }
    static RootParameter DescriptorTable() { return {RootParameterType::DescriptorTable, 0}; }
    static RootParameter BufferAddress() { return {RootParameterType::BufferAddress, 0}; }
};

enum class Filter : uint32_t { Point, Linear, Anisotropic };
/// Blending between mips: FromFilter follows `filter` (point for Point, linear otherwise).
enum class MipFilter : uint32_t { FromFilter, Point, Linear };
enum class AddressMode : uint32_t { Wrap, Mirror, Clamp, Border };
enum class CompareFunc : uint32_t { Never, Less, Equal, LessEqual, Greater, NotEqual, GreaterEqual, Always };

struct SamplerDesc {
    Filter filter = Filter::Linear;  ///< minification and magnification
    MipFilter mipFilter = MipFilter::FromFilter;
    AddressMode addressU = AddressMode::Clamp, addressV = AddressMode::Clamp, addressW = AddressMode::Clamp;
    float mipLodBias = 0;
    uint32_t maxAnisotropy = 1;
    bool comparison = false;
    CompareFunc compareFunc = CompareFunc::Never;
    bool opaqueWhiteBorder = false;  ///< border colour: opaque white, else transparent black
    float minLod = 0, maxLod = 1000.0f;

    /// Bilinear within a mip, the nearest mip (no blending between levels).
    static SamplerDesc LinearMipPoint(AddressMode address) {
        SamplerDesc desc;
        desc.filter = Filter::Linear;
        desc.mipFilter = MipFilter::Point;
        desc.addressU = desc.addressV = desc.addressW = address;
        return desc;
    }
};

struct StaticSampler {
    uint32_t shaderRegister = 0;
    SamplerDesc desc;
};

struct RootSignatureDesc {
    std::vector<RootParameter> parameters;
    std::vector<StaticSampler> staticSamplers;
};

class RootSignature {
public:
    /// Throws std::length_error, naming both sizes, when the push constants exceed what the device
    /// offers (maxPushConstantsSize; at least 128 bytes on every device, 256 at most here).
    RootSignature(std::shared_ptr<Device> device, const RootSignatureDesc& desc);
    ~RootSignature();
    RootSignature(const RootSignature&) = delete;
    RootSignature& operator=(const RootSignature&) = delete;

    /// Byte offset of root parameter `index` in the push-constant block.
    uint32_t ParameterOffset(uint32_t index) const { return m_offsets.at(index); }
    uint32_t PushConstantBytes() const { return m_pushBytes; }
    const RootSignatureDesc& Desc() const { return m_desc; }
    void SetName(std::string_view name);
    RootSignatureImpl& Impl() const { return *m_impl; }

private:
    std::shared_ptr<Device> m_device;
    RootSignatureDesc m_desc;
    std::vector<uint32_t> m_offsets;
    uint32_t m_pushBytes = 0;
    std::unique_ptr<RootSignatureImpl> m_impl;
};

/// SPIR-V words of one shader stage; the entry point is "main".
struct ShaderBytecode {
    std::span<const uint32_t> code;
};

struct ComputePipelineDesc {
    RootSignature* rootSignature = nullptr;
    ShaderBytecode cs;
};

enum class PrimitiveTopology : uint32_t { TriangleList, TriangleStrip, LineList, PointList };
enum class CullMode : uint32_t { None, Front, Back };
enum class Blend : uint32_t { Zero, One, SrcColor, InvSrcColor, SrcAlpha, InvSrcAlpha, DestAlpha, InvDestAlpha, DestColor, InvDestColor };
enum class BlendOp : uint32_t { Add, Subtract, RevSubtract, Min, Max };

struct InputElement {
    uint32_t location = 0;
    Format format = Format::Unknown;
    uint32_t inputSlot = 0;
    uint32_t alignedByteOffset = 0;
    bool perInstance = false;
};

struct RenderTargetBlend {
    bool blendEnable = false;
    Blend srcBlend = Blend::One, destBlend = Blend::Zero;
    BlendOp blendOp = BlendOp::Add;
    Blend srcBlendAlpha = Blend::One, destBlendAlpha = Blend::Zero;
    BlendOp blendOpAlpha = BlendOp::Add;
    uint8_t writeMask = 0xf;
};

struct GraphicsPipelineDesc {
    RootSignature* rootSignature = nullptr;
    /// `gs` is optional (Device::GeometryShaderSupported()); `ps` too (depth-only or no output).
    ShaderBytecode vs, gs, ps;
    std::vector<InputElement> inputLayout;
    std::vector<uint32_t> inputStrides;  ///< stride per input slot
    PrimitiveTopology topology = PrimitiveTopology::TriangleList;
    CullMode cullMode = CullMode::Back;
    bool frontCounterClockwise = false;
    bool wireframe = false;
    int32_t depthBias = 0;
    float slopeScaledDepthBias = 0;
    float depthBiasClamp = 0;
    bool depthClipEnable = true;
    bool depthEnable = false;
    bool depthWrite = true;
    CompareFunc depthFunc = CompareFunc::Less;
    std::vector<RenderTargetBlend> blend;  ///< one per render target (missing entries: no blending)
    std::vector<Format> rtvFormats;
    Format dsvFormat = Format::Unknown;
    uint32_t sampleCount = 1;
};

class PipelineState {
public:
    PipelineState(std::shared_ptr<Device> device, const ComputePipelineDesc& desc);
    PipelineState(std::shared_ptr<Device> device, const GraphicsPipelineDesc& desc);
    PipelineState(std::shared_ptr<Device> device, const RaytracingPipelineDesc& desc);
    ~PipelineState();
    PipelineState(const PipelineState&) = delete;
    PipelineState& operator=(const PipelineState&) = delete;

    bool IsCompute() const { return m_compute; }
    /// Shader identifier (Limits().shaderGroupHandleSize bytes) of a ray-tracing group by name;
    /// null when the pipeline has no group of that name.
    const void* GetShaderIdentifier(std::string_view name) const;
    void SetName(std::string_view name);
    PipelineStateImpl& Impl() const { return *m_impl; }

private:
    std::shared_ptr<Device> m_device;
    bool m_compute;
    std::unique_ptr<PipelineStateImpl> m_impl;
};

}  // namespace Engine::Platform
