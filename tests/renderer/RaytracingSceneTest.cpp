// The ray-traced scene: the structures hold every drawable material range of every model (a ray
// at each range hits that range's record and reads its texture through it), follow a moving
// model frame by frame, keep their instance records as the device reads them, and refuse what
// they cannot hold.
#include <gtest/gtest.h>

#include "core/HrException.h"
#include "tests/renderer/RaytracingStage.h"

namespace RendererTest {
namespace {

using RaytracingScene = RaytracingStage;

const Rgba8 kColours[] = {{255, 0, 0, 255}, {0, 255, 0, 255}, {0, 0, 255, 255}, {255, 255, 0, 255}};

// Three textured quads side by side at z = 0 facing +z, then one that is not drawn (shading
// model 0): rays come from z = 10 straight down -z at both triangles of each quad.
TEST_F(RaytracingScene, EachMaterialRangeIsHitAndReadsItsOwnTexture) {
    std::vector<Quad> quads;
    for (int i = 0; i < 4; ++i) {
        Quad q{{-4.5f + 3.0f * i, 0, 0}, 1.0f};
        q.texture = AddTexture(2, 2, std::vector<Rgba8>(4, kColours[i]));
        quads.push_back(q);
    }
    ProjectTavrin::PMXModelGpu& gpu = AddModel(quads);
    gpu.GetRenderMaterials()[3].shadingModel = 0;
    UploadModels(0);
    Engine::SceneAccelerationStructures& scene = BuildScene();
    ASSERT_EQ(scene.Geometries().size(), 1u);
    const Engine::BottomLevelGeometry& all = scene.Geometries().at("All");
    ASSERT_EQ(all.instances.size(), 3u);
    EXPECT_EQ(all.triangleCount, 6u);

    std::vector<SceneRay> rays;
    for (int i = 0; i < 4; ++i)
        for (float d : {-0.5f, 0.5f}) rays.push_back(Ray({-4.5f + 3.0f * i + d, d * 0.8f, 10}, {0, 0, -1}));
    const std::vector<SceneRayHit> hits = Trace(0, rays);
    for (int i = 0; i < 3; ++i)
        for (int k = 0; k < 2; ++k) {
            const SceneRayHit& h = hits[i * 2 + k];
            ASSERT_EQ(h.geometry, uint32_t(i)) << "quad " << i << " ray " << k;
            EXPECT_NEAR(h.distance, 10.0f, 1e-3f);
            EXPECT_NEAR(h.color.x, kColours[i].r / 255.0f, 1e-3f) << "quad " << i;
            EXPECT_NEAR(h.color.y, kColours[i].g / 255.0f, 1e-3f) << "quad " << i;
            EXPECT_NEAR(h.color.z, kColours[i].b / 255.0f, 1e-3f) << "quad " << i;
        }
    EXPECT_NE(hits[0].primitive, hits[1].primitive) << "the two rays of a quad meet its two triangles";
    EXPECT_EQ(hits[6].geometry, kMissed) << "a material that is not drawn is not in the scene";
    EXPECT_EQ(hits[7].geometry, kMissed);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// Frame 0's copy holds the model at rest, frame 1's holds it moved 5 along x: each frame's build
// finds it where that frame put it.
TEST_F(RaytracingScene, AMovingModelIsHitWhereItIsThisFrame) {
    Quad q{{0, 0, 0}, 1.0f};
    q.texture = AddTexture(2, 2, std::vector<Rgba8>(4, kColours[1]));
    AddModel({q});
    UploadModels(0);
    MoveModel(0, {5, 0, 0});
    UploadModels(1);
    BuildScene();
    const std::vector<SceneRay> rays = {Ray({0, 0, 10}, {0, 0, -1}), Ray({5, 0, 10}, {0, 0, -1})};

    const std::vector<SceneRayHit> now = Trace(1, rays);
    EXPECT_EQ(now[0].geometry, kMissed) << "last frame's place";
    EXPECT_EQ(now[1].geometry, 0u) << "this frame's place";
    EXPECT_NEAR(now[1].color.y, 1.0f, 1e-3f);

    const std::vector<SceneRayHit> before = Trace(0, rays);
    EXPECT_EQ(before[0].geometry, 0u);
    EXPECT_EQ(before[1].geometry, kMissed);
    EXPECT_EQ(NewValidationMessages(), 0u);
}

// The instance records as the device reads them; a set's name taken twice and a full instance
// list are refused with the platform error.
TEST_F(RaytracingScene, InstanceRecordsAndTheirLimits) {
    AddModel({Quad{{0, 0, 0}, 1.0f}});
    UploadModels(0);
    auto geometry = ProjectTavrin::CollectGeometry(ModelGpus());
    ASSERT_EQ(geometry.count("All"), 1u);
    Engine::TopLevelAccelerationStructure tlas(Device(), 2, Engine::kFrameCount);
    Engine::BottomLevelAccelerationStructure& blas = tlas.AddBottomLevelAS(geometry.at("All"));
    EXPECT_THROW(tlas.AddBottomLevelAS(geometry.at("All")), HrException);

    Math::mat4 moved = Math::mat4::Identity();
    moved[3][0] = 5.0f;  // translation (5, 0, 0) in the fourth row of a row-vector matrix
    EXPECT_EQ(tlas.AddInstance("All", 0, moved), 0u);
    EXPECT_EQ(tlas.AddInstance("All", 0, Math::mat4::Identity()), 1u);
    try {
        tlas.AddInstance("All", 0, Math::mat4::Identity());
        ADD_FAILURE() << "a third instance fits a list of two";
    } catch (const HrException& e) {
        EXPECT_EQ(uint32_t(e.Error()), 0x80004005u);
    }
    const Engine::Platform::RaytracingInstanceDesc& r = tlas.InstanceRecord(0);
    EXPECT_FLOAT_EQ(r.transform[0][3], 5.0f);
    EXPECT_FLOAT_EQ(r.transform[0][0], 1.0f);
    EXPECT_FLOAT_EQ(r.transform[1][3], 0.0f);
    EXPECT_EQ(r.instanceMask, 1u);
    EXPECT_EQ(r.instanceID, 0u);
    EXPECT_EQ(r.instanceContributionToHitGroupIndex, 0u);
    EXPECT_EQ(r.accelerationStructure, blas.GpuAddress());
    EXPECT_NE(blas.GpuAddress(), 0u);
}

// A model with nothing drawable contributes nothing, and a scene of such models gets no
// structures at all.
TEST_F(RaytracingScene, NothingDrawableGivesNoGeometry) {
    ProjectTavrin::PMXModelGpu& gpu = AddModel({Quad{{0, 0, 0}, 1.0f}, Quad{{3, 0, 0}, 1.0f}});
    gpu.GetRenderMaterials()[0].shadingModel = 0;
    gpu.GetRenderMaterials()[1].shadingModel = 11;
    EXPECT_TRUE(ProjectTavrin::CollectGeometry(ModelGpus()).empty());
    gpu.GetRenderMaterials()[1].shadingModel = 1;
    gpu.GetRenderMaterials()[1].vertexCount = 0;
    EXPECT_TRUE(ProjectTavrin::CollectGeometry(ModelGpus()).empty());
    renderer->BuildRaytracingScene(ModelGpus(), {});
    EXPECT_EQ(renderer->GetRaytracingScene(), nullptr);
    EXPECT_EQ(renderer->GetDDGIPass(), nullptr);
}

}  // namespace
}  // namespace RendererTest
