#pragma once
// Model and motion files on disk for the scene-loading and engine-loop tests.
//
// The model "rig" has a root bone and a "hair" bone 10 units up; a triangle at the hair bone
// follows it (vertex 3 follows the root), and a dynamic sphere on the hair bone falls under gravity unless its physics is
// reset. Motions key the root bone; camera motions hold camera keys only.
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

#include "core/TextConvert.h"
#include "model/io/PmxWriter.h"
#include "tests/model/ModelTestRigs.h"
#include "tests/support/VmdWriter.h"

namespace SceneTest {

class SceneFiles {
public:
    SceneFiles() {
        static int serial = 0;
        m_dir = std::filesystem::temp_directory_path() /
                ("tavrin-scene-" + std::to_string(getpid()) + "-" + std::to_string(serial++));
        std::filesystem::create_directories(m_dir);
    }
    ~SceneFiles() { std::filesystem::remove_all(m_dir); }
    SceneFiles(const SceneFiles&) = delete;
    SceneFiles& operator=(const SceneFiles&) = delete;

    std::u16string Path(const std::string& name) const { return Utf8ToUtf16((m_dir / name).string()); }

    /// Writes the rig under `name` with the model name `modelName`; returns its path. With
    /// `texture`, its material's diffuse texture is that file (relative to the model).
    std::u16string Model(const std::string& name, const std::u16string& modelName, const std::u16string& texture = {}) const {
        using namespace Vesma;
        PMXFile file;
        file.header = MakePmxHeader();
        file.modelName = modelName;
        file.bones.push_back(ModelRigs::Bone(u"root", {0, 0, 0}, -1));
        file.bones.push_back(ModelRigs::Bone(u"hair", {0, 10, 0}, 0));
        for (Math::vec3 p : {Math::vec3{0, 10, 0}, Math::vec3{1, 10, 0}, Math::vec3{0, 11, 0}})
            file.vertices.push_back(ModelRigs::Vertex(p, PMXVertexWeight::BDEF1, {1, -1, -1, -1}, {1, 0, 0, 0}));
        // A fourth vertex, at (2, 0, 0), follows the root bone.
        file.vertices.push_back(ModelRigs::Vertex({2, 0, 0}, PMXVertexWeight::BDEF1, {0, -1, -1, -1}, {1, 0, 0, 0}));
        file.faces = {{{0, 1, 2}}, {{0, 3, 1}}};
        PMXMaterial material;
        material.name = u"hair";
        material.diffuse = {1, 1, 1, 1};
        material.textureIndex = -1;
        material.sphereTextureIndex = -1;
        material.numFaceVertices = 6;
        if (!texture.empty()) {
            file.textures = {texture};
            material.textureIndex = 0;
        }
        file.materials = {material};
        PMXRigidBody body;
        body.name = u"hair";
        body.boneIndex = 1;
        body.shape = PMXRigidBodyShape::Sphere;
        body.shapeSize = {1, 0, 0};
        body.translate = {0, 10, 0};
        body.mass = 1.0f;
        body.op = PMXRigidBodyOperation::Dynamic;
        body.collisionGroup = 0;
        file.rigidBodies = {body};
        Write(name, WritePmx(file));
        return Path(name);
    }

    /// A body motion moving the root bone along x: x = frame / 10 between frames 0 and 300.
    std::u16string Motion(const std::string& name) const {
        TestSupport::VmdContent content = TestSupport::VmdContent::WithSignature("rig");
        content.boneKeys.push_back(TestSupport::MakeBoneKey("root", 0, {0, 0, 0}));
        content.boneKeys.push_back(TestSupport::MakeBoneKey("root", 300, {30, 0, 0}));
        Write(name, TestSupport::WriteVmd(content).bytes);
        return Path(name);
    }

    /// A camera motion with keys at frames 0 and 60 at the given distance.
    std::u16string CameraMotion(const std::string& name, float distance) const {
        TestSupport::VmdContent content = TestSupport::VmdContent::WithSignature("camera");
        content.cameraKeys.push_back(TestSupport::MakeCameraKey(0, distance, {0, 10, 0}));
        content.cameraKeys.push_back(TestSupport::MakeCameraKey(60, distance, {0, 10, 0}));
        Write(name, TestSupport::WriteVmd(content).bytes);
        return Path(name);
    }

    /// A valid VMD without camera keys.
    std::u16string MotionWithoutCamera(const std::string& name) const { return Motion(name); }

    /// A file that is no VMD: its bone count claims more keys than the file holds.
    std::u16string BrokenMotion(const std::string& name) const {
        TestSupport::VmdContent content = TestSupport::VmdContent::WithSignature("rig");
        content.boneKeys.push_back(TestSupport::MakeBoneKey("root", 0));
        content.countOverride[0] = 1000;
        Write(name, TestSupport::WriteVmd(content).bytes);
        return Path(name);
    }

    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream out(m_dir / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

private:
    std::filesystem::path m_dir;
};

}  // namespace SceneTest
