#pragma once
// PMXFile: one PMX model file (format 2.0 or 2.1) decoded into plain typed lists.
//
// The record holds the file's own data in the file's own space (no z flip, no winding change) and
// makes no model. Indices are signed 32-bit in memory; -1 means "none". Face indices are the one
// exception: they are unsigned and never mapped to -1. A PMXFile owns everything it holds; it is
// moved, never shared.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "core/Math.h"

namespace Vesma {

enum class PMXEncoding : uint8_t {
    UTF16 = 0,
    UTF8 = 1,
};

/// The fixed header, as read (nothing in it is validated except by the reader's own checks on
/// the text encoding and the additional UV count).
struct PMXHeader {
    std::array<char, 4> magic{};  // "PMX " in a valid file
    float version = 0.0f;         // 2.0 or 2.1
    uint8_t dataSize = 0;         // count of global bytes that follow (8 in a valid file)
    PMXEncoding encoding = PMXEncoding::UTF16;
    uint8_t additionalUVCount = 0;  // 0..4
    uint8_t vertexIndexSize = 0;    // 1, 2 or 4 bytes, and so on for the other index kinds
    uint8_t textureIndexSize = 0;
    uint8_t materialIndexSize = 0;
    uint8_t boneIndexSize = 0;
    uint8_t morphIndexSize = 0;
    uint8_t rigidBodyIndexSize = 0;

    bool operator==(const PMXHeader&) const = default;
};

enum class PMXVertexWeight : uint8_t {
    BDEF1 = 0,
    BDEF2 = 1,
    BDEF4 = 2,
    SDEF = 3,
    QDEF = 4,
};

/// One vertex. BDEF2 and SDEF store only weight 1 (weight 2 is 1 - weight 1, derived by the model
/// builder); QDEF uses the same four index and weight slots as BDEF4.
struct PMXVertex {
    Math::vec3 position;
    Math::vec3 normal;
    Math::vec2 uv;
    std::array<Math::vec4, 4> additionalUV{};  // only the header's additional UV count are read
    PMXVertexWeight weightType = PMXVertexWeight::BDEF1;
    std::array<int32_t, 4> boneIndices{};
    std::array<float, 4> boneWeights{};
    Math::vec3 sdefC;
    Math::vec3 sdefR0;
    Math::vec3 sdefR1;
    float edgeScale = 0.0f;

    bool operator==(const PMXVertex&) const = default;
};

/// One triangle: three unsigned vertex indices.
struct PMXFace {
    std::array<uint32_t, 3> vertices{};

    bool operator==(const PMXFace&) const = default;
};

/// Material draw flags (the byte is kept whole; the renderer reads the bits).
enum class PMXDrawModeFlags : uint8_t {
    BothFace = 0x01,
    GroundShadow = 0x02,
    CastSelfShadow = 0x04,
    ReceiveSelfShadow = 0x08,
    DrawEdge = 0x10,
    VertexColor = 0x20,
    DrawPoint = 0x40,
    DrawLine = 0x80,
};

enum class PMXSphereMode : uint8_t {
    None = 0,
    Multiply = 1,
    Add = 2,
    SubTexture = 3,
};

enum class PMXToonMode : uint8_t {
    Separate = 0,  // the toon is a texture index
    Common = 1,    // the toon is a shared toon number (toon01.bmp ... toon10.bmp)
};

struct PMXMaterial {
    std::u16string name;
    std::u16string englishName;
    Math::vec4 diffuse;  // RGBA
    Math::vec3 specular;
    float specularPower = 0.0f;
    Math::vec3 ambient;
    uint8_t drawMode = 0;  // PMXDrawModeFlags bits
    Math::vec4 edgeColor;
    float edgeSize = 0.0f;
    int32_t textureIndex = 0;
    int32_t sphereTextureIndex = 0;
    PMXSphereMode sphereMode = PMXSphereMode::None;
    PMXToonMode toonMode = PMXToonMode::Separate;
    int32_t toonTextureIndex = 0;  // a texture index (Separate) or the shared toon number (Common)
    std::u16string memo;
    int32_t numFaceVertices = 0;  // vertex indices (3 per face) this material draws, in material order

    bool operator==(const PMXMaterial&) const = default;
};

enum class PMXBoneFlags : uint16_t {
    TargetShowMode = 0x0001,  // the tail is a bone index, else an offset
    AllowRotate = 0x0002,
    AllowTranslate = 0x0004,
    Visible = 0x0008,
    AllowControl = 0x0010,
    IK = 0x0020,
    AppendLocal = 0x0080,
    AppendRotate = 0x0100,
    AppendTranslate = 0x0200,
    FixedAxis = 0x0400,
    LocalAxis = 0x0800,
    DeformAfterPhysics = 0x1000,
    DeformOuterParent = 0x2000,
};

constexpr bool HasFlag(uint16_t flags, PMXBoneFlags flag) {
    return (flags & static_cast<uint16_t>(flag)) != 0;
}

/// One IK chain link; limits are radians in the file's space.
struct PMXIKLink {
    int32_t ikBoneIndex = 0;
    uint8_t enableLimit = 0;
    Math::vec3 limitMin;
    Math::vec3 limitMax;

    bool operator==(const PMXIKLink&) const = default;
};

struct PMXBone {
    std::u16string name;
    std::u16string englishName;
    Math::vec3 position;
    int32_t parentBoneIndex = 0;
    int32_t deformDepth = 0;  // deform layer
    uint16_t boneFlag = 0;    // PMXBoneFlags bits
    Math::vec3 positionOffset;  // tail offset, when TargetShowMode is clear
    int32_t linkBoneIndex = 0;  // tail bone, when TargetShowMode is set
    int32_t appendBoneIndex = 0;
    float appendWeight = 0.0f;
    Math::vec3 fixedAxis;
    Math::vec3 localXAxis;
    Math::vec3 localZAxis;
    int32_t keyValue = 0;  // external parent key
    int32_t ikTargetBoneIndex = 0;
    int32_t ikIterationCount = 0;
    float ikLimit = 0.0f;  // radians per iteration
    std::vector<PMXIKLink> ikLinks;

    bool operator==(const PMXBone&) const = default;
};

enum class PMXMorphType : uint8_t {
    Group = 0,
    Position = 1,
    Bone = 2,
    UV = 3,
    AddUV1 = 4,
    AddUV2 = 5,
    AddUV3 = 6,
    AddUV4 = 7,
    Material = 8,
    Flip = 9,
    Impulse = 10,
};

struct PMXPositionMorph {
    int32_t vertexIndex = 0;
    Math::vec3 position;

    bool operator==(const PMXPositionMorph&) const = default;
};

/// UV morph offsets; types UV and AddUV1..AddUV4 share this form.
struct PMXUVMorph {
    int32_t vertexIndex = 0;
    Math::vec4 uv;

    bool operator==(const PMXUVMorph&) const = default;
};

struct PMXBoneMorph {
    int32_t boneIndex = 0;
    Math::vec3 position;
    Math::quat quaternion{0, 0, 0, 0};  // (x, y, z, w) as stored

    bool operator==(const PMXBoneMorph&) const = default;
};

enum class PMXMaterialMorphOp : uint8_t {
    Mul = 0,
    Add = 1,
};

struct PMXMaterialMorph {
    int32_t materialIndex = 0;  // -1 applies to every material
    PMXMaterialMorphOp opType = PMXMaterialMorphOp::Mul;
    Math::vec4 diffuse;
    Math::vec3 specular;
    float specularPower = 0.0f;
    Math::vec3 ambient;
    Math::vec4 edgeColor;
    float edgeSize = 0.0f;
    Math::vec4 textureFactor;
    Math::vec4 sphereTextureFactor;
    Math::vec4 toonTextureFactor;

    bool operator==(const PMXMaterialMorph&) const = default;
};

struct PMXGroupMorph {
    int32_t morphIndex = 0;
    float weight = 0.0f;

    bool operator==(const PMXGroupMorph&) const = default;
};

struct PMXFlipMorph {
    int32_t morphIndex = 0;
    float weight = 0.0f;

    bool operator==(const PMXFlipMorph&) const = default;
};

struct PMXImpulseMorph {
    int32_t rigidBodyIndex = 0;
    uint8_t localFlag = 0;
    Math::vec3 translateVelocity;
    Math::vec3 rotateTorque;

    bool operator==(const PMXImpulseMorph&) const = default;
};

/// One morph. Only the offset list of its own type is filled.
struct PMXMorph {
    std::u16string name;
    std::u16string englishName;
    uint8_t controlPanel = 0;
    PMXMorphType morphType = PMXMorphType::Group;
    std::vector<PMXPositionMorph> positionMorph;
    std::vector<PMXUVMorph> uvMorph;  // UV and AddUV1..AddUV4
    std::vector<PMXBoneMorph> boneMorph;
    std::vector<PMXMaterialMorph> materialMorph;
    std::vector<PMXGroupMorph> groupMorph;
    std::vector<PMXFlipMorph> flipMorph;
    std::vector<PMXImpulseMorph> impulseMorph;

    bool operator==(const PMXMorph&) const = default;
};

enum class PMXDisplayFrameTargetType : uint8_t {
    BoneIndex = 0,
    MorphIndex = 1,
};

struct PMXDisplayFrameTarget {
    PMXDisplayFrameTargetType type = PMXDisplayFrameTargetType::BoneIndex;
    int32_t index = 0;  // a bone index or a morph index, by type

    bool operator==(const PMXDisplayFrameTarget&) const = default;
};

struct PMXDisplayFrame {
    std::u16string name;
    std::u16string englishName;
    uint8_t flag = 0;  // 1 marks a special frame (root, facial)
    std::vector<PMXDisplayFrameTarget> targets;

    bool operator==(const PMXDisplayFrame&) const = default;
};

enum class PMXRigidBodyShape : uint8_t {
    Sphere = 0,
    Box = 1,
    Capsule = 2,
};

enum class PMXRigidBodyOperation : uint8_t {
    Static = 0,             // follows the bone
    Dynamic = 1,            // simulated
    DynamicAndBoneMerge = 2,  // simulated, keeps the bone's position
};

struct PMXRigidBody {
    std::u16string name;
    std::u16string englishName;
    int32_t boneIndex = 0;  // -1: not attached
    uint8_t group = 0;      // collision group 0..15
    uint16_t collisionGroup = 0;  // collision filter mask
    PMXRigidBodyShape shape = PMXRigidBodyShape::Sphere;
    Math::vec3 shapeSize;
    Math::vec3 translate;
    Math::vec3 rotate;  // Euler angles, radians
    float mass = 0.0f;
    float translateDimmer = 0.0f;  // translation damping
    float rotateDimmer = 0.0f;     // rotation damping
    float repulsion = 0.0f;        // restitution
    float friction = 0.0f;
    PMXRigidBodyOperation op = PMXRigidBodyOperation::Static;

    bool operator==(const PMXRigidBody&) const = default;
};

enum class PMXJointType : uint8_t {
    SpringDOF6 = 0,
};

struct PMXJoint {
    std::u16string name;
    std::u16string englishName;
    PMXJointType type = PMXJointType::SpringDOF6;
    int32_t rigidbodyAIndex = 0;
    int32_t rigidbodyBIndex = 0;
    Math::vec3 translate;
    Math::vec3 rotate;
    Math::vec3 translateLowerLimit;
    Math::vec3 translateUpperLimit;
    Math::vec3 rotateLowerLimit;
    Math::vec3 rotateUpperLimit;
    Math::vec3 springTranslateFactor;
    Math::vec3 springRotateFactor;

    bool operator==(const PMXJoint&) const = default;
};

struct PMXSoftBodyAnchor {
    int32_t rigidBodyIndex = 0;
    int32_t vertexIndex = 0;
    uint8_t nearMode = 0;

    bool operator==(const PMXSoftBodyAnchor&) const = default;
};

/// Soft bodies (format 2.1). Kept as read; nothing else uses them.
struct PMXSoftBody {
    /// Positions in `parameters`, in file order.
    enum Parameter : int {
        // configuration coefficients
        VCF, DP, DG, LF, PR, VC, DF, MT, CHR, KHR, SHR, AHR,
        // cluster coefficients
        SRHR_CL, SKHR_CL, SSHR_CL, SR_SPLT_CL, SK_SPLT_CL, SS_SPLT_CL,
        // iteration counts
        V_IT, P_IT, D_IT, C_IT,
        // material coefficients
        LST, AST, VST,
        ParameterCount
    };

    std::u16string name;
    std::u16string englishName;
    uint8_t type = 0;  // shape: 0 tri-mesh, 1 rope
    int32_t materialIndex = 0;
    uint8_t group = 0;
    uint16_t collisionGroup = 0;
    uint8_t flag = 0;
    int32_t bLinkLength = 0;
    int32_t numClusters = 0;
    float totalMass = 0.0f;
    float collisionMargin = 0.0f;
    int32_t aeroModel = 0;
    std::array<uint32_t, ParameterCount> parameters{};  // raw 32-bit values (floats or integers)
    std::vector<PMXSoftBodyAnchor> anchorRigidBodies;
    std::vector<int32_t> pinVertexIndices;

    bool operator==(const PMXSoftBody&) const = default;
};

/// A whole PMX file. `buffer` holds the file's bytes while it is read and is emptied after a
/// successful read; `position` is the read position in it.
struct PMXFile {
    std::vector<uint8_t> buffer;
    uint64_t position = 0;

    PMXHeader header;
    std::u16string modelName;
    std::u16string englishModelName;
    std::u16string comment;
    std::u16string englishComment;

    std::vector<PMXVertex> vertices;
    std::vector<PMXFace> faces;
    std::vector<std::u16string> textures;  // paths as written in the file
    std::vector<PMXMaterial> materials;
    std::vector<PMXBone> bones;
    std::vector<PMXMorph> morphs;
    std::vector<PMXDisplayFrame> displayFrames;
    std::vector<PMXRigidBody> rigidBodies;
    std::vector<PMXJoint> joints;
    std::vector<PMXSoftBody> softBodies;

    /// Empties every list and string (releasing their memory) so the record can be reused.
    void Clear() { *this = PMXFile{}; }
    /// Empties the record for a new read but keeps `buffer`, whose bytes may be the ones about to
    /// be read (moving a vector keeps its storage in place).
    void ClearForRead() {
        std::vector<uint8_t> kept = std::move(buffer);
        Clear();
        buffer = std::move(kept);
    }
    /// Reads the file's bytes `bytes` with `readBytes` (a reader over a span: the PMX or PMD
    /// one), holding them in `buffer` while it reads; the buffer is freed after a success.
    template <typename ReadBytes>
    bool ReadOwnedBytes(std::vector<uint8_t>&& bytes, ReadBytes readBytes) {
        buffer = std::move(bytes);
        if (!readBytes(*this, std::span<const uint8_t>(buffer))) return false;
        std::vector<uint8_t>().swap(buffer);
        return true;
    }
};

}  // namespace Vesma
