// tavrin-inspect --gpu: the device the engine chooses and what the renderer relies on.
#include <cstdio>
#include <stdexcept>

#include "Engine/EngineCore.h"
#include "core/HrException.h"
#include "tools/inspect/Inspect.h"

namespace Inspect {
namespace {

std::string VersionText(uint32_t version) {
    char text[32];
    std::snprintf(text, sizeof(text), "%u.%u.%u", version >> 22 & 0x7f, version >> 12 & 0x3ff, version & 0xfff);
    return text;
}

const char* KindText(Engine::Platform::AdapterKind kind) {
    switch (kind) {
    case Engine::Platform::AdapterKind::Discrete: return "discrete";
    case Engine::Platform::AdapterKind::Integrated: return "integrated";
    case Engine::Platform::AdapterKind::Virtual: return "virtual";
    case Engine::Platform::AdapterKind::Cpu: return "cpu";
    default: return "other";
    }
}

bool Accepts(const Args& args) { return args.Has("gpu"); }

int Run(const Args& args) {
    std::shared_ptr<Engine::EngineCore> core;
    try {
        core = Engine::EngineCore::GetInstance();
    } catch (const std::exception& e) {
        return Fail(args, e.what());
    }
    const Engine::Platform::Device& device = *core->GetDevice();
    const Engine::Platform::AdapterInfo& adapter = device.Adapter();
    const Engine::Platform::DeviceLimits& limits = device.Limits();

    Value out = Value::Object();
    out.Set("device", adapter.name);
    out.Set("apiVersion", VersionText(adapter.apiVersion));
    out.Set("driver", adapter.driverName + (adapter.driverInfo.empty() ? "" : " (" + adapter.driverInfo + ")"));
    out.Set("raytracing", core->IsRaytracingSupported());
    out.Set("msaaSamples", device.MsaaSampleCount());
    out.Set("kind", KindText(adapter.kind));
    out.Set("vendorId", adapter.vendorId);
    out.Set("deviceId", adapter.deviceId);
    Value& l = out.Set("limits", Value::Object());
    l.Set("maxImageDimension2D", limits.maxImageDimension2D);
    l.Set("maxImageDimension3D", limits.maxImageDimension3D);
    l.Set("maxImageDimensionCube", limits.maxImageDimensionCube);
    l.Set("maxImageArrayLayers", limits.maxImageArrayLayers);
    l.Set("maxPushConstantsSize", limits.maxPushConstantsSize);
    l.Set("maxComputeWorkGroupInvocations", limits.maxComputeWorkGroupInvocations);
    l.Set("maxColorAttachments", limits.maxColorAttachments);
    l.Set("maxSampledImagesPerSet", limits.maxSampledImagesPerSet);
    l.Set("maxStorageImagesPerSet", limits.maxStorageImagesPerSet);
    l.Set("maxStorageBuffersPerSet", limits.maxStorageBuffersPerSet);
    l.Set("minStorageBufferOffsetAlignment", limits.minStorageBufferOffsetAlignment);
    l.Set("maxSamplerAnisotropy", limits.maxSamplerAnisotropy);
    if (core->IsRaytracingSupported()) {
        l.Set("shaderGroupHandleSize", limits.shaderGroupHandleSize);
        l.Set("shaderGroupHandleAlignment", limits.shaderGroupHandleAlignment);
        l.Set("shaderGroupBaseAlignment", limits.shaderGroupBaseAlignment);
        l.Set("maxRayRecursionDepth", limits.maxRayRecursionDepth);
        l.Set("maxInstanceCount", limits.maxInstanceCount);
        l.Set("maxPrimitiveCount", limits.maxPrimitiveCount);
        l.Set("minAccelerationStructureScratchOffsetAlignment", limits.minAccelerationStructureScratchOffsetAlignment);
    }
    Emit(args, out);
    return 0;
}

}  // namespace

extern const Mode kGpuMode = {"gpu", "tavrin-inspect --gpu [--json]   the Vulkan device, ray tracing, sample count and limits",
                              Accepts, Run};

}  // namespace Inspect
