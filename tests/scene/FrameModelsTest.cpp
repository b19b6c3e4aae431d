// "Frame the models": the free camera looks at the loaded models from the front so that their
// bounding box fills about 80 % of the picture's height, for a tiny model and a huge one alike.
#include <gtest/gtest.h>

#include <algorithm>

#include "model/io/PmxWriter.h"
#include "tests/model/ModelTestRigs.h"
#include "tests/scene/EngineFixture.h"

namespace {

using SceneTest::EngineTest;

class FrameModels : public EngineTest {
protected:
    /// A box model standing on the floor, `height` tall, a quarter of that wide, off to the side.
    std::u16string BoxModel(const std::string& name, float height) {
        using namespace Vesma;
        PMXFile file;
        file.header = MakePmxHeader();
        file.modelName = u"box";
        file.bones.push_back(ModelRigs::Bone(u"root", {0, 0, 0}, -1));
        const float w = height / 8.0f, x = height / 3.0f;
        for (int i = 0; i < 8; ++i) {
            const Math::vec3 p{x + (i & 1 ? w : -w), i & 2 ? height : 0.0f, i & 4 ? w : -w};
            file.vertices.push_back(ModelRigs::Vertex(p, PMXVertexWeight::BDEF1, {0, -1, -1, -1}, {1, 0, 0, 0}));
        }
        file.faces = {{{0, 1, 2}}, {{4, 5, 6}}};
        PMXMaterial material;
        material.name = u"box";
        material.textureIndex = material.sphereTextureIndex = -1;
        material.numFaceVertices = 6;
        file.materials = {material};
        files.Write(name, WritePmx(file));
        return files.Path(name);
    }

    /// The share of the picture's height and the horizontal centre of the loaded models' box as
    /// the free camera sees it now.
    void Measure(float height, float& share, float& centreX) {
        const float width = Engine().GetRenderWidth(), tall = Engine().GetRenderHeight();
        const Engine::CameraOutputs view = Engine().GetCamera().FreeCameraView(0.0f, width, tall);
        const Math::mat4 viewProjection = view.view * view.projection;
        float top = -1e9f, bottom = 1e9f, left = 1e9f, right = -1e9f;
        const float w = height / 8.0f, x = height / 3.0f;
        for (int i = 0; i < 8; ++i) {
            // The loader turns the file's left-handed z around.
            const Math::vec3 p{x + (i & 1 ? w : -w), i & 2 ? height : 0.0f, -(i & 4 ? w : -w)};
            const Math::vec3 ndc = Math::TransformCoord(p, viewProjection);
            top = std::max(top, ndc.y);
            bottom = std::min(bottom, ndc.y);
            left = std::min(left, ndc.x);
            right = std::max(right, ndc.x);
        }
        share = (top - bottom) / 2.0f;
        centreX = (left + right) / 2.0f;
    }
};

TEST_F(FrameModels, SmallAndLargeModelsEachFillFourFifthsOfThePictureHeight) {
    Engine().Resize(640, 360);
    for (const float height : {2.0f, 200.0f}) {
        SCOPED_TRACE(height);
        Load({{BoxModel("box" + std::to_string(int(height)) + ".pmx", height), u"<None>"}});
        ASSERT_TRUE(Engine().FrameModels());
        float share = 0, centreX = 0;
        Measure(height, share, centreX);
        EXPECT_NEAR(share, 0.8f, 0.02f);
        EXPECT_NEAR(centreX, 0.0f, 0.02f) << "the box is in the middle";
        // The view is there at once and stays: the camera's smoothing has nothing left to do.
        Step(33);
        float after = 0;
        Measure(height, after, centreX);
        EXPECT_NEAR(after, share, 1e-3f);
    }
}

TEST_F(FrameModels, WithoutModelsNothingMoves) {
    Load({});
    const Math::vec3 before = Engine().GetCamera().position;
    EXPECT_FALSE(Engine().FrameModels());
    EXPECT_EQ(Engine().GetCamera().position.z, before.z);
}

}  // namespace
