#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Engine/Platform/PushConstantLayout.h"
#include "shaders/ShaderRegistry.h"
#include "shaders/check/JsonValue.h"
#include "shaders/check/ShaderInterface.h"
#include "shaders/check/ShaderInterfaceCheck.h"

using namespace ShaderCheck;
using Engine::Platform::RootParameter;
using Engine::Platform::RootSignatureDesc;
using Engine::Platform::StaticSampler;

namespace {

// Reflection in the shape spirv-cross writes: a push-constant block `pc` of type `_pc` plus
// whatever binding lists the case adds.
ShaderInterface Reflect(const std::string& members, const std::string& extra = "", const std::string& moreTypes = "") {
    const std::string text = R"({ "types" : { "_pc" : { "name" : "_pc", "members" : [ )" + members + " ] }" + moreTypes +
                             R"( }, "push_constants" : [ { "type" : "_pc", "name" : "pc", "push_constant" : true } ])" + extra + " }";
    const JsonParseResult json = ParseJson(text);
    EXPECT_TRUE(json.Ok()) << json.error << "\n" << text;
    const ShaderInterfaceResult result = ReadShaderInterface(json.value);
    EXPECT_TRUE(result.errors.empty()) << result.errors.front();
    return result.shader;
}

std::string Member(const char* type, int offset, const char* extra = "") {
    return std::string(R"({ "name" : "_m", "type" : ")") + type + R"(", "offset" : )" + std::to_string(offset) + extra + " }";
}

std::string Binding(const char* list, const char* type, int set, int binding, bool unsized = true) {
    return std::string(R"(, ")") + list + R"(" : [ { "type" : ")" + type + R"(", "name" : "b", )" +
           (unsized ? R"("array" : [0], "array_size_is_literal" : [true], )" : "") + R"("set" : )" + std::to_string(set) +
           R"(, "binding" : )" + std::to_string(binding) + " } ]";
}

// The mip generator's layout: four root constants, then two descriptor tables.
RootSignatureDesc MipLayout() {
    return {{RootParameter::Constants(4), RootParameter::DescriptorTable(), RootParameter::DescriptorTable()}, {}};
}

bool Mentions(const std::vector<std::string>& errors, const std::string& word) {
    for (const std::string& e : errors)
        if (e.find(word) != std::string::npos) return true;
    return false;
}

}  // namespace

TEST(PushConstantLayout, PlacesParametersInOrderAndAlignsBufferAddresses) {
    const auto layout = Engine::Platform::ComputePushConstantLayout(
        {{RootParameter::Constants(3), RootParameter::BufferAddress(), RootParameter::DescriptorTable(), RootParameter::BufferAddress()}, {}});
    ASSERT_EQ(layout.parameters.size(), 4u);
    EXPECT_EQ(layout.parameters[0].offset, 0u);
    EXPECT_EQ(layout.parameters[0].size, 12u);
    EXPECT_EQ(layout.parameters[1].offset, 16u);  // 12 rounded up to 8
    EXPECT_EQ(layout.parameters[2].offset, 24u);
    EXPECT_EQ(layout.parameters[3].offset, 32u);  // 28 rounded up to 8
    EXPECT_EQ(layout.bytes, 40u);
}

TEST(ShaderInterface, FlattensNestedStructsAndSizesArraysAndPointers) {
    const ShaderInterface shader = Reflect(
        Member("vec2", 0) + "," + Member("_inner", 8) + "," + Member("_ref", 24, R"(, "physical_pointer" : true)") + "," +
            Member("vec4", 32, R"(, "array" : [3], "array_size_is_literal" : [true], "array_stride" : 16)"),
        "", R"(, "_inner" : { "name" : "_inner", "members" : [ { "name" : "_a", "type" : "uint", "offset" : 0 },
                                                                 { "name" : "_b", "type" : "mat3", "offset" : 4 } ] },
                "_ref" : { "name" : "_ref", "members" : [ { "name" : "_x", "type" : "vec4", "offset" : 0 } ] })");
    ASSERT_EQ(shader.pushConstants.size(), 5u);
    EXPECT_EQ(shader.pushConstants[1].offset, 8u);
    EXPECT_TRUE(shader.pushConstants[1].integer);
    EXPECT_EQ(shader.pushConstants[2].offset, 12u);
    EXPECT_EQ(shader.pushConstants[2].size, 36u);
    EXPECT_EQ(shader.pushConstants[3].type, "pointer");
    EXPECT_EQ(shader.pushConstants[3].size, 8u);
    EXPECT_EQ(shader.pushConstants[4].size, 48u);
}

TEST(ShaderInterface, UnreadableReflectionIsReportedNotGuessed) {
    const auto read = [](const char* text) { return ReadShaderInterface(ParseJson(text).value).errors; };
    EXPECT_FALSE(read("[1, 2]").empty());
    EXPECT_FALSE(read(R"({ "push_constants" : [ { "type" : "_missing" } ] })").empty());
    EXPECT_FALSE(read(R"({ "types" : { "_pc" : { "members" : [ { "name" : "x", "type" : "quux", "offset" : 0 } ] } },
                           "push_constants" : [ { "type" : "_pc" } ] })").empty());
    EXPECT_FALSE(read(R"({ "types" : { "_pc" : { "members" : [ { "name" : "x", "type" : "uint" } ] } },
                           "push_constants" : [ { "type" : "_pc" } ] })").empty());
    // A struct that contains itself must end in an error, not a stack overflow.
    EXPECT_FALSE(read(R"({ "types" : { "_pc" : { "members" : [ { "name" : "x", "type" : "_pc", "offset" : 0 } ] } },
                           "push_constants" : [ { "type" : "_pc" } ] })").empty());
}

// Twelve levels of structs holding ten copies of the next: 10^12 leaves if flattened naively.
// The reader stops with an error, and the extents are measured once per type.
TEST(ShaderInterface, WideNestingEndsQuicklyInAnError) {
    std::string types;
    for (int level = 0; level < 12; ++level) {
        const std::string next = level == 11 ? "uint" : "_s" + std::to_string(level + 1);
        std::string members;
        for (int i = 0; i < 10; ++i)
            members += std::string(i ? "," : "") + R"({ "name" : "m", "type" : ")" + next + R"(", "offset" : )" +
                       std::to_string(i * 4) + " }";
        types += std::string(level ? "," : "") + R"("_s)" + std::to_string(level) + R"(" : { "name" : "S", "members" : [ )" +
                 members + " ] }";
    }
    const JsonParseResult json = ParseJson(R"({ "types" : { )" + types + R"( }, "push_constants" : [ { "type" : "_s0" } ] })");
    ASSERT_TRUE(json.Ok()) << json.error;
    const ShaderInterfaceResult result = ReadShaderInterface(json.value);
    EXPECT_TRUE(Mentions(result.errors, "too many members"));
    EXPECT_LE(result.shader.pushConstants.size(), 40960u);
    EXPECT_EQ(result.shader.structs.size(), 12u);
    // A struct that holds itself has no extent.
    const auto self = ReadShaderInterface(ParseJson(R"({ "types" : { "_a" : { "name" : "A", "members" : [
        { "name" : "x", "type" : "_a", "offset" : 0 } ] } } })").value);
    EXPECT_TRUE(self.shader.structs.empty());
}

TEST(ShaderInterfaceCheck, MatchingPushConstantsAndBindlessBindingsPass) {
    // The mip generator: vec2 + two uints in the constants, one heap index per table.
    const ShaderInterface shader = Reflect(Member("vec2", 0) + "," + Member("uint", 8) + "," + Member("uint", 12) + "," +
                                               Member("uint", 16) + "," + Member("uint", 20),
                                           Binding("separate_images", "texture2D", 0, 0) + Binding("images", "image2D", 0, 1));
    EXPECT_TRUE(CheckShaderInterface(shader, MipLayout()).empty());
    // A shader may read only part of the block (a vertex shader that ignores the pixel constants).
    EXPECT_TRUE(CheckShaderInterface(Reflect(Member("uint", 20)), MipLayout()).empty());
}

TEST(ShaderInterfaceCheck, PushConstantMismatchesAreErrors) {
    // One root constant too few on the C++ side: the last heap index falls off the block.
    const RootSignatureDesc shortLayout{{RootParameter::Constants(3), RootParameter::DescriptorTable(), RootParameter::DescriptorTable()}, {}};
    EXPECT_TRUE(Mentions(CheckShaderInterface(Reflect(Member("uint", 20)), shortLayout), "past the end"));
    // A vec2 that spans the constants and the first table.
    EXPECT_TRUE(Mentions(CheckShaderInterface(Reflect(Member("vec2", 12)), MipLayout()), "straddles"));
    // A heap index declared float.
    EXPECT_TRUE(Mentions(CheckShaderInterface(Reflect(Member("float", 16)), MipLayout()), "declare it uint"));

    const RootSignatureDesc withAddress{{RootParameter::Constants(1), RootParameter::BufferAddress()}, {}};
    EXPECT_TRUE(CheckShaderInterface(Reflect(Member("uint", 0) + "," + Member("_r", 8, R"(, "physical_pointer" : true)"), "",
                                             R"(, "_r" : { "members" : [] })"),
                                     withAddress)
                    .empty());
    EXPECT_TRUE(CheckShaderInterface(Reflect(Member("uint64_t", 8)), withAddress).empty());
    EXPECT_TRUE(CheckShaderInterface(Reflect(Member("uint", 8) + "," + Member("uint", 12)), withAddress).empty());
    EXPECT_TRUE(Mentions(CheckShaderInterface(Reflect(Member("vec2", 8)), withAddress), "buffer reference"));
    // The 4 bytes between the constant and the 8-aligned address belong to no parameter.
    EXPECT_TRUE(Mentions(CheckShaderInterface(Reflect(Member("uint", 4)), withAddress), "padding"));
}

TEST(ShaderInterfaceCheck, PushConstantsBeyondWhatEveryDeviceOffersAreErrors) {
    const RootSignatureDesc full{{RootParameter::Constants(32)}, {}};
    EXPECT_TRUE(CheckShaderInterface(Reflect(Member("uint", 124)), full).empty());
    // One address more: 136 bytes, although the shader reads only the first word.
    const RootSignatureDesc over{{RootParameter::Constants(32), RootParameter::BufferAddress()}, {}};
    EXPECT_TRUE(Mentions(CheckShaderInterface(Reflect(Member("uint", 0)), over), "136 bytes"));
}

TEST(ShaderInterface, StructsLaidOutInBlocksReportTheirExtent) {
    // `_c` as a block lays it out (offsets, a nested struct, an array, a pointer); `_local` is a
    // function-local copy without offsets; `_tail` ends in a runtime array and has no extent.
    const ShaderInterface shader = Reflect(Member("_c", 0), "", R"(,
        "_c" : { "name" : "Camera", "members" : [
            { "name" : "m", "type" : "mat4", "offset" : 0 },
            { "name" : "i", "type" : "_i", "offset" : 64 },
            { "name" : "a", "type" : "vec3", "offset" : 80, "array" : [2], "array_size_is_literal" : [true], "array_stride" : 16 },
            { "name" : "p", "type" : "_i", "offset" : 112, "physical_pointer" : true } ] },
        "_i" : { "name" : "Inner", "members" : [ { "name" : "x", "type" : "vec3", "offset" : 0 },
                                                 { "name" : "y", "type" : "float", "offset" : 12 } ] },
        "_local" : { "name" : "Camera", "members" : [ { "name" : "m", "type" : "mat4" } ] },
        "_tail" : { "name" : "Words", "members" : [ { "name" : "w", "type" : "uint", "offset" : 0, "array" : [0],
                                                     "array_size_is_literal" : [true], "array_stride" : 4 } ] })");
    const auto extent = [&](const std::string& name) {
        int found = 0;
        uint32_t bytes = 0;
        for (const LaidOutStruct& s : shader.structs)
            if (s.name == name) ++found, bytes = s.bytes;
        EXPECT_LE(found, 1) << name;
        return bytes;
    };
    EXPECT_EQ(extent("Camera"), 120u);
    EXPECT_EQ(extent("Inner"), 16u);
    EXPECT_EQ(extent("Words"), 0u);
}

TEST(ShaderInterfaceCheck, SharedStructOfAnotherSizeThanInCppIsAnError) {
    const SharedStructSize shared[] = {{"Ocean", 48}, {"Camera", 384}};
    // A float3 after five floats: 20 in scalar layout, 32 under std430, which moves the end.
    const auto ocean = [](int baseOffset) {
        return Reflect(Member("_o", 0), "", R"(, "_o" : { "name" : "Ocean", "members" : [
            { "name" : "t", "type" : "float", "offset" : 16 }, { "name" : "base", "type" : "vec3", "offset" : )" +
                                             std::to_string(baseOffset) + R"( },
            { "name" : "h", "type" : "float", "offset" : )" + std::to_string(baseOffset + 24) + " } ] }");
    };
    EXPECT_TRUE(CheckSharedStructSizes(ocean(20), shared).empty());
    const auto errors = CheckSharedStructSizes(ocean(32), shared);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_TRUE(Mentions(errors, "Ocean ends at byte 60")) << errors.front();
    EXPECT_TRUE(Mentions(errors, "48 bytes in C++"));
    // The table itself holds the program's shared blocks at their pinned sizes.
    bool camera = false, material = false;
    for (const SharedStructSize& s : SharedStructSizes()) {
        camera |= s.name == "CameraBuffer" && s.bytes == 384;
        material |= s.name == "MaterialBuffer" && s.bytes == 320;
    }
    EXPECT_TRUE(camera && material);
}

TEST(ShaderInterfaceCheck, BindingMismatchesAreErrors) {
    const RootSignatureDesc layout = MipLayout();
    const auto check = [&](const std::string& bindings) { return CheckShaderInterface(Reflect(Member("uint", 16), bindings), layout); };
    EXPECT_TRUE(check(Binding("ssbos", "_b", 0, 2) + Binding("separate_samplers", "sampler", 0, 3) +
                      Binding("acceleration_structures", "accelerationStructureNV", 0, 4))
                    .empty());
    EXPECT_TRUE(Mentions(check(Binding("images", "image2D", 0, 0)), "holds sampled images"));
    EXPECT_TRUE(Mentions(check(Binding("separate_images", "texture2D", 0, 1)), "holds storage images"));
    EXPECT_TRUE(Mentions(check(Binding("separate_images", "texture2D", 0, 0, false)), "unsized"));
    EXPECT_TRUE(Mentions(check(Binding("separate_images", "texture2D", 0, 5)), "bindings 0..4"));
    EXPECT_TRUE(Mentions(check(Binding("ubos", "_u", 0, 2)), "holds storage buffers"));
    EXPECT_TRUE(Mentions(check(Binding("textures", "sampler2D", 0, 0)), "holds sampled images"));
    EXPECT_TRUE(Mentions(check(Binding("separate_images", "texture2D", 2, 0)), "set 0 (bindless) and set 1"));
    EXPECT_TRUE(Mentions(check(Binding("separate_images", "textureBuffer", 0, 0)), "holds sampled images"));
}

TEST(ShaderInterfaceCheck, SetOneHoldsOnlyTheStaticSamplersOfTheRootSignature) {
    RootSignatureDesc layout = MipLayout();
    layout.staticSamplers = {StaticSampler{3, {}}};
    const auto check = [&](const std::string& bindings) { return CheckShaderInterface(Reflect(Member("uint", 0), bindings), layout); };
    EXPECT_TRUE(check(Binding("separate_samplers", "sampler", 1, 3, false)).empty());
    EXPECT_TRUE(Mentions(check(Binding("separate_samplers", "sampler", 1, 2, false)), "no static sampler at register 2"));
    EXPECT_TRUE(Mentions(check(Binding("separate_images", "texture2D", 1, 3, false)), "only the root signature's static samplers"));
}

TEST(ShaderRegistry, EveryRegisteredShaderIsFoundByItsFileAndHasAUsableLayout) {
    ASSERT_FALSE(Engine::RegisteredShaders().empty());
    for (const Engine::ShaderRegistration& r : Engine::RegisteredShaders()) {
        EXPECT_EQ(Engine::FindRegisteredShader(r.file), &r) << r.file << " is registered twice";
        // Within the 128 bytes every Vulkan device offers (the build's check refuses more).
        EXPECT_LE(Engine::Platform::ComputePushConstantLayout(r.layout()).bytes, 128u) << r.file;
    }
    EXPECT_EQ(Engine::FindRegisteredShader("NotAShader.comp"), nullptr);
}

TEST(ShaderInterface, HugeNumbersInTheReflectionAreRefusedNotConverted) {
    const auto read = [](const std::string& text) { return ReadShaderInterface(ParseJson(text).value); };
    const auto huge = read(R"({ "types" : { "_pc" : { "members" : [
        { "name" : "a", "type" : "vec4", "offset" : 0, "array" : [1e300], "array_stride" : 16 },
        { "name" : "b", "type" : "vec4", "offset" : 0, "array" : [4], "array_stride" : 1e300 },
        { "name" : "c", "type" : "uint", "offset" : 1e300 } ] } },
        "push_constants" : [ { "type" : "_pc" } ],
        "separate_images" : [ { "name" : "t", "set" : 1e300, "binding" : -5, "array" : [0] } ] })");
    EXPECT_EQ(huge.errors.size(), 3u);
    EXPECT_TRUE(huge.shader.pushConstants.empty());
    ASSERT_EQ(huge.shader.bindings.size(), 1u);
    EXPECT_FALSE(CheckShaderInterface(huge.shader, RootSignatureDesc{}).empty());
}
