#include "Engine/Platform/Pipeline.h"
#include "Engine/Platform/PushConstantLayout.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "Engine/Platform/VulkanCommon.h"
#include "core/HrException.h"

namespace Engine::Platform {
namespace {

VkShaderModule CreateModule(DeviceImpl& d, const ShaderBytecode& code) {
    if (code.code.empty()) throw HrException(static_cast<int32_t>(VK_ERROR_INVALID_SHADER_NV));
    VkShaderModuleCreateInfo info{VK_STRUCTURE_TYPE_SHADER_MODULE_CREATE_INFO};
    info.codeSize = code.code.size_bytes();
    info.pCode = code.code.data();
    VkShaderModule module = VK_NULL_HANDLE;
    VkCheck(vkCreateShaderModule(d.device, &info, nullptr, &module), "vkCreateShaderModule");
    return module;
}

VkBlendFactor ToVk(Blend b) {
    switch (b) {
    case Blend::Zero: return VK_BLEND_FACTOR_ZERO;
    case Blend::One: return VK_BLEND_FACTOR_ONE;
    case Blend::SrcColor: return VK_BLEND_FACTOR_SRC_COLOR;
    case Blend::InvSrcColor: return VK_BLEND_FACTOR_ONE_MINUS_SRC_COLOR;
    case Blend::SrcAlpha: return VK_BLEND_FACTOR_SRC_ALPHA;
    case Blend::InvSrcAlpha: return VK_BLEND_FACTOR_ONE_MINUS_SRC_ALPHA;
    case Blend::DestAlpha: return VK_BLEND_FACTOR_DST_ALPHA;
    case Blend::InvDestAlpha: return VK_BLEND_FACTOR_ONE_MINUS_DST_ALPHA;
    case Blend::DestColor: return VK_BLEND_FACTOR_DST_COLOR;
    case Blend::InvDestColor: return VK_BLEND_FACTOR_ONE_MINUS_DST_COLOR;
    }
    return VK_BLEND_FACTOR_ONE;
}

VkBlendOp ToVk(BlendOp op) {
    switch (op) {
    case BlendOp::Add: return VK_BLEND_OP_ADD;
    case BlendOp::Subtract: return VK_BLEND_OP_SUBTRACT;
    case BlendOp::RevSubtract: return VK_BLEND_OP_REVERSE_SUBTRACT;
    case BlendOp::Min: return VK_BLEND_OP_MIN;
    case BlendOp::Max: return VK_BLEND_OP_MAX;
    }
    return VK_BLEND_OP_ADD;
}

}  // namespace

RootSignature::RootSignature(std::shared_ptr<Device> device, const RootSignatureDesc& desc)
    : m_device(std::move(device)), m_desc(desc), m_impl(std::make_unique<RootSignatureImpl>()) {
    DeviceImpl& d = m_device->Impl();
    RootSignatureImpl& rs = *m_impl;
    rs.device = &d;

    const PushConstantLayout push = ComputePushConstantLayout(desc);
    for (const PushConstantRange& range : push.parameters) m_offsets.push_back(range.offset);
    m_pushBytes = push.bytes;
    // The command list keeps at most 256 bytes of root arguments per bind point.
    const uint32_t limit = std::min<uint32_t>(d.limits.maxPushConstantsSize, sizeof(RootBindState::data));
    if (m_pushBytes > limit)
        throw std::length_error("root signature needs " + std::to_string(m_pushBytes) +
                                " bytes of push constants; the device allows " + std::to_string(limit) +
                                " (maxPushConstantsSize " + std::to_string(d.limits.maxPushConstantsSize) +
                                "). Move what does not change per draw into a buffer read by address.");

    std::vector<VkDescriptorSetLayout> setLayouts{d.bindlessLayout};
    if (!desc.staticSamplers.empty()) {
        std::vector<VkDescriptorSetLayoutBinding> bindings;
        for (const StaticSampler& s : desc.staticSamplers) rs.samplers.push_back(CreateVkSampler(d, s.desc));
        for (size_t i = 0; i < desc.staticSamplers.size(); ++i)
            bindings.push_back({desc.staticSamplers[i].shaderRegister, VK_DESCRIPTOR_TYPE_SAMPLER, 1, VK_SHADER_STAGE_ALL,
                                &rs.samplers[i]});
        VkDescriptorSetLayoutCreateInfo layoutInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_LAYOUT_CREATE_INFO};
        layoutInfo.bindingCount = static_cast<uint32_t>(bindings.size());
        layoutInfo.pBindings = bindings.data();
        VkCheck(vkCreateDescriptorSetLayout(d.device, &layoutInfo, nullptr, &rs.samplerSetLayout), "vkCreateDescriptorSetLayout");
        const VkDescriptorPoolSize size{VK_DESCRIPTOR_TYPE_SAMPLER, static_cast<uint32_t>(bindings.size())};
        VkDescriptorPoolCreateInfo poolInfo{VK_STRUCTURE_TYPE_DESCRIPTOR_POOL_CREATE_INFO};
        poolInfo.maxSets = 1;
        poolInfo.poolSizeCount = 1;
        poolInfo.pPoolSizes = &size;
        VkCheck(vkCreateDescriptorPool(d.device, &poolInfo, nullptr, &rs.samplerPool), "vkCreateDescriptorPool");
        VkDescriptorSetAllocateInfo alloc{VK_STRUCTURE_TYPE_DESCRIPTOR_SET_ALLOCATE_INFO};
        alloc.descriptorPool = rs.samplerPool;
        alloc.descriptorSetCount = 1;
        alloc.pSetLayouts = &rs.samplerSetLayout;
        VkCheck(vkAllocateDescriptorSets(d.device, &alloc, &rs.samplerSet), "vkAllocateDescriptorSets");
        setLayouts.push_back(rs.samplerSetLayout);
    }
    const VkPushConstantRange range{VK_SHADER_STAGE_ALL, 0, m_pushBytes};
    VkPipelineLayoutCreateInfo info{VK_STRUCTURE_TYPE_PIPELINE_LAYOUT_CREATE_INFO};
    info.setLayoutCount = static_cast<uint32_t>(setLayouts.size());
    info.pSetLayouts = setLayouts.data();
    info.pushConstantRangeCount = m_pushBytes ? 1 : 0;
    info.pPushConstantRanges = &range;
    VkCheck(vkCreatePipelineLayout(d.device, &info, nullptr, &rs.layout), "vkCreatePipelineLayout");
}

RootSignature::~RootSignature() {
    RootSignatureImpl* rs = m_impl.release();
    DeviceImpl* d = rs->device;
    d->Retire([d, rs] {
        vkDestroyPipelineLayout(d->device, rs->layout, nullptr);
        if (rs->samplerPool) vkDestroyDescriptorPool(d->device, rs->samplerPool, nullptr);
        if (rs->samplerSetLayout) vkDestroyDescriptorSetLayout(d->device, rs->samplerSetLayout, nullptr);
        for (VkSampler s : rs->samplers) vkDestroySampler(d->device, s, nullptr);
        delete rs;
    });
}

void RootSignature::SetName(std::string_view name) {
    m_impl->device->SetObjectName(VK_OBJECT_TYPE_PIPELINE_LAYOUT, reinterpret_cast<uint64_t>(m_impl->layout), std::string(name));
}

PipelineState::PipelineState(std::shared_ptr<Device> device, const ComputePipelineDesc& desc)
    : m_device(std::move(device)), m_compute(true), m_impl(std::make_unique<PipelineStateImpl>()) {
    DeviceImpl& d = m_device->Impl();
    m_impl->device = &d;
    m_impl->rootSignature = desc.rootSignature;
    m_impl->bindPoint = VK_PIPELINE_BIND_POINT_COMPUTE;
    if (!desc.rootSignature) throw HrException(static_cast<int32_t>(VK_ERROR_INITIALIZATION_FAILED));
    VkShaderModule module = CreateModule(d, desc.cs);
    VkComputePipelineCreateInfo info{VK_STRUCTURE_TYPE_COMPUTE_PIPELINE_CREATE_INFO};
    info.stage = {VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO, nullptr, 0, VK_SHADER_STAGE_COMPUTE_BIT, module, "main", nullptr};
    info.layout = desc.rootSignature->Impl().layout;
    const VkResult result = vkCreateComputePipelines(d.device, VK_NULL_HANDLE, 1, &info, nullptr, &m_impl->pipeline);
    vkDestroyShaderModule(d.device, module, nullptr);
    VkCheck(result, "vkCreateComputePipelines");
}

PipelineState::PipelineState(std::shared_ptr<Device> device, const GraphicsPipelineDesc& desc)
    : m_device(std::move(device)), m_compute(false), m_impl(std::make_unique<PipelineStateImpl>()) {
    DeviceImpl& d = m_device->Impl();
    m_impl->device = &d;
    m_impl->rootSignature = desc.rootSignature;
    m_impl->bindPoint = VK_PIPELINE_BIND_POINT_GRAPHICS;
    if (!desc.rootSignature) throw HrException(static_cast<int32_t>(VK_ERROR_INITIALIZATION_FAILED));

    // A geometry stage on a device without the feature would fail deep in the driver; say so here.
    if (!desc.gs.code.empty() && !d.enabledFeatures.geometryShader)
        throw std::invalid_argument("GraphicsPipelineDesc: a geometry shader needs a device with geometry shaders");
    VkShaderModule vs = CreateModule(d, desc.vs);
    VkShaderModule gs = desc.gs.code.empty() ? VK_NULL_HANDLE : CreateModule(d, desc.gs);
    VkShaderModule ps = desc.ps.code.empty() ? VK_NULL_HANDLE : CreateModule(d, desc.ps);
    std::vector<VkPipelineShaderStageCreateInfo> stages{
        {VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO, nullptr, 0, VK_SHADER_STAGE_VERTEX_BIT, vs, "main", nullptr}};
    if (gs)
        stages.push_back({VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO, nullptr, 0, VK_SHADER_STAGE_GEOMETRY_BIT, gs, "main", nullptr});
    if (ps)
        stages.push_back({VK_STRUCTURE_TYPE_PIPELINE_SHADER_STAGE_CREATE_INFO, nullptr, 0, VK_SHADER_STAGE_FRAGMENT_BIT, ps, "main", nullptr});

    std::vector<VkVertexInputBindingDescription> bindings;
    for (uint32_t slot = 0; slot < desc.inputStrides.size(); ++slot) {
        bool perInstance = false, used = false;
        for (const InputElement& e : desc.inputLayout)
            if (e.inputSlot == slot) used = true, perInstance = e.perInstance;
        if (used)
            bindings.push_back({slot, desc.inputStrides[slot], perInstance ? VK_VERTEX_INPUT_RATE_INSTANCE : VK_VERTEX_INPUT_RATE_VERTEX});
    }
    std::vector<VkVertexInputAttributeDescription> attributes;
    for (const InputElement& e : desc.inputLayout)
        attributes.push_back({e.location, e.inputSlot, ToVkFormat(e.format), e.alignedByteOffset});
    VkPipelineVertexInputStateCreateInfo vertexInput{VK_STRUCTURE_TYPE_PIPELINE_VERTEX_INPUT_STATE_CREATE_INFO};
    vertexInput.vertexBindingDescriptionCount = static_cast<uint32_t>(bindings.size());
    vertexInput.pVertexBindingDescriptions = bindings.data();
    vertexInput.vertexAttributeDescriptionCount = static_cast<uint32_t>(attributes.size());
    vertexInput.pVertexAttributeDescriptions = attributes.data();

    VkPipelineInputAssemblyStateCreateInfo assembly{VK_STRUCTURE_TYPE_PIPELINE_INPUT_ASSEMBLY_STATE_CREATE_INFO};
    switch (desc.topology) {
    case PrimitiveTopology::TriangleList: assembly.topology = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_LIST; break;
    case PrimitiveTopology::TriangleStrip: assembly.topology = VK_PRIMITIVE_TOPOLOGY_TRIANGLE_STRIP; break;
    case PrimitiveTopology::LineList: assembly.topology = VK_PRIMITIVE_TOPOLOGY_LINE_LIST; break;
    case PrimitiveTopology::PointList: assembly.topology = VK_PRIMITIVE_TOPOLOGY_POINT_LIST; break;
    }
    VkPipelineViewportStateCreateInfo viewport{VK_STRUCTURE_TYPE_PIPELINE_VIEWPORT_STATE_CREATE_INFO};
    viewport.viewportCount = 1;
    viewport.scissorCount = 1;

    // Viewports are recorded with a negative height (clip-space y up, as the shaders expect), and
    // with that flip the winding rule reads the same as the original platform's.
    VkPipelineRasterizationStateCreateInfo raster{VK_STRUCTURE_TYPE_PIPELINE_RASTERIZATION_STATE_CREATE_INFO};
    raster.depthClampEnable = !desc.depthClipEnable && d.enabledFeatures.depthClamp;
    raster.polygonMode = desc.wireframe && d.enabledFeatures.fillModeNonSolid ? VK_POLYGON_MODE_LINE : VK_POLYGON_MODE_FILL;
    raster.cullMode = desc.cullMode == CullMode::None ? VK_CULL_MODE_NONE
                      : desc.cullMode == CullMode::Front ? VK_CULL_MODE_FRONT_BIT : VK_CULL_MODE_BACK_BIT;
    raster.frontFace = desc.frontCounterClockwise ? VK_FRONT_FACE_COUNTER_CLOCKWISE : VK_FRONT_FACE_CLOCKWISE;
    raster.depthBiasEnable = desc.depthBias != 0 || desc.slopeScaledDepthBias != 0;
    raster.depthBiasConstantFactor = static_cast<float>(desc.depthBias);
    raster.depthBiasSlopeFactor = desc.slopeScaledDepthBias;
    raster.depthBiasClamp = d.enabledFeatures.depthBiasClamp ? desc.depthBiasClamp : 0.0f;
    raster.lineWidth = 1.0f;

    VkPipelineMultisampleStateCreateInfo multisample{VK_STRUCTURE_TYPE_PIPELINE_MULTISAMPLE_STATE_CREATE_INFO};
    multisample.rasterizationSamples = static_cast<VkSampleCountFlagBits>(std::max<uint32_t>(1, desc.sampleCount));

    VkPipelineDepthStencilStateCreateInfo depth{VK_STRUCTURE_TYPE_PIPELINE_DEPTH_STENCIL_STATE_CREATE_INFO};
    depth.depthTestEnable = desc.depthEnable;
    depth.depthWriteEnable = desc.depthEnable && desc.depthWrite;
    depth.depthCompareOp = static_cast<VkCompareOp>(desc.depthFunc);
    depth.maxDepthBounds = 1.0f;

    std::vector<VkPipelineColorBlendAttachmentState> blends;
    std::vector<VkFormat> colorFormats;
    for (size_t i = 0; i < desc.rtvFormats.size(); ++i) {
        const RenderTargetBlend b = i < desc.blend.size() ? desc.blend[i] : RenderTargetBlend{};
        blends.push_back({b.blendEnable, ToVk(b.srcBlend), ToVk(b.destBlend), ToVk(b.blendOp), ToVk(b.srcBlendAlpha),
                          ToVk(b.destBlendAlpha), ToVk(b.blendOpAlpha), static_cast<VkColorComponentFlags>(b.writeMask)});
        colorFormats.push_back(ToVkFormat(desc.rtvFormats[i]));
    }
    VkPipelineColorBlendStateCreateInfo blend{VK_STRUCTURE_TYPE_PIPELINE_COLOR_BLEND_STATE_CREATE_INFO};
    blend.attachmentCount = static_cast<uint32_t>(blends.size());
    blend.pAttachments = blends.data();

    const VkDynamicState dynamicStates[] = {VK_DYNAMIC_STATE_VIEWPORT, VK_DYNAMIC_STATE_SCISSOR};
    VkPipelineDynamicStateCreateInfo dynamic{VK_STRUCTURE_TYPE_PIPELINE_DYNAMIC_STATE_CREATE_INFO};
    dynamic.dynamicStateCount = 2;
    dynamic.pDynamicStates = dynamicStates;

    VkPipelineRenderingCreateInfo rendering{VK_STRUCTURE_TYPE_PIPELINE_RENDERING_CREATE_INFO};
    rendering.colorAttachmentCount = static_cast<uint32_t>(colorFormats.size());
    rendering.pColorAttachmentFormats = colorFormats.data();
    if (desc.dsvFormat != Format::Unknown) {
        VkFormat dsv = ToVkFormat(desc.dsvFormat);
        if (desc.dsvFormat == Format::R32_TYPELESS || desc.dsvFormat == Format::R32_FLOAT) dsv = VK_FORMAT_D32_SFLOAT;
        rendering.depthAttachmentFormat = dsv;
        if (AspectOf(dsv) & VK_IMAGE_ASPECT_STENCIL_BIT) rendering.stencilAttachmentFormat = dsv;
    }

    VkGraphicsPipelineCreateInfo info{VK_STRUCTURE_TYPE_GRAPHICS_PIPELINE_CREATE_INFO, &rendering};
    info.stageCount = static_cast<uint32_t>(stages.size());
    info.pStages = stages.data();
    info.pVertexInputState = &vertexInput;
    info.pInputAssemblyState = &assembly;
    info.pViewportState = &viewport;
    info.pRasterizationState = &raster;
    info.pMultisampleState = &multisample;
    info.pDepthStencilState = &depth;
    info.pColorBlendState = &blend;
    info.pDynamicState = &dynamic;
    info.layout = desc.rootSignature->Impl().layout;
    const VkResult result = vkCreateGraphicsPipelines(d.device, VK_NULL_HANDLE, 1, &info, nullptr, &m_impl->pipeline);
    vkDestroyShaderModule(d.device, vs, nullptr);
    if (gs) vkDestroyShaderModule(d.device, gs, nullptr);
    if (ps) vkDestroyShaderModule(d.device, ps, nullptr);
    VkCheck(result, "vkCreateGraphicsPipelines");
}

PipelineState::~PipelineState() {
    PipelineStateImpl* p = m_impl.release();
    DeviceImpl* d = p->device;
    d->Retire([d, p] {
        if (p->pipeline) vkDestroyPipeline(d->device, p->pipeline, nullptr);
        delete p;
    });
}

void PipelineState::SetName(std::string_view name) {
    m_impl->device->SetObjectName(VK_OBJECT_TYPE_PIPELINE, reinterpret_cast<uint64_t>(m_impl->pipeline), std::string(name));
}

}  // namespace Engine::Platform
