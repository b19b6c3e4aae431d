#include <gtest/gtest.h>

#include <cmath>

#include "assets/SampleModel.h"
#include "core/MessageLog.h"
#include "model/io/PmxReader.h"

using namespace Vesma;

TEST(SampleModelTest, IsAValidMaterialPreviewModel) {
    MessageLog::Instance().Clear();
    PMXFile model;
    ASSERT_TRUE(ReadPMXFile(model, SampleModelData()));
    EXPECT_TRUE(MessageLog::Instance().Peek().empty());
    EXPECT_EQ(SampleModelData().size(), model.position);

    const PMXHeader& h = model.header;
    EXPECT_EQ((std::array<char, 4>{'P', 'M', 'X', ' '}), h.magic);
    EXPECT_EQ(2.0f, h.version);
    EXPECT_EQ(8, h.dataSize);
    EXPECT_EQ(PMXEncoding::UTF16, h.encoding);
    EXPECT_EQ(0, h.additionalUVCount);
    EXPECT_EQ(2, h.vertexIndexSize);
    for (uint8_t size : {h.textureIndexSize, h.materialIndexSize, h.boneIndexSize, h.morphIndexSize,
                         h.rigidBodyIndexSize}) {
        EXPECT_EQ(1, size);
    }
    EXPECT_FALSE(model.modelName.empty());

    EXPECT_TRUE(model.textures.empty());
    ASSERT_EQ(5u, model.materials.size());
    ASSERT_GE(model.bones.size(), 1u);
    EXPECT_EQ(-1, model.bones[0].parentBoneIndex);
    EXPECT_TRUE(model.softBodies.empty());

    // Materials take consecutive whole-triangle ranges that cover the index list exactly.
    size_t indices = 0;
    for (const PMXMaterial& m : model.materials) {
        EXPECT_FALSE(m.name.empty());
        EXPECT_GT(m.numFaceVertices, 0);
        EXPECT_EQ(0, m.numFaceVertices % 3);
        EXPECT_EQ(-1, m.textureIndex);
        EXPECT_EQ(-1, m.sphereTextureIndex);
        indices += static_cast<size_t>(m.numFaceVertices);
    }
    EXPECT_EQ(model.faces.size() * 3, indices);

    for (const PMXVertex& v : model.vertices) {
        ASSERT_EQ(PMXVertexWeight::BDEF1, v.weightType);
        ASSERT_GE(v.boneIndices[0], 0);
        ASSERT_LT(static_cast<size_t>(v.boneIndices[0]), model.bones.size());
        ASSERT_NEAR(1.0f, Math::Length(v.normal), 1e-4f);
        ASSERT_GE(v.position.y, -1e-4f);  // everything stands on the floor
    }

    // Every triangle is non-degenerate, indexes real vertices and is wound so that
    // cross(b - a, c - a) points the way its vertex normals do.
    for (size_t f = 0; f < model.faces.size(); ++f) {
        const auto& idx = model.faces[f].vertices;
        for (uint32_t i : idx) ASSERT_LT(i, model.vertices.size()) << f;
        const PMXVertex& a = model.vertices[idx[0]];
        const PMXVertex& b = model.vertices[idx[1]];
        const PMXVertex& c = model.vertices[idx[2]];
        const Math::vec3 n = Math::Cross(b.position - a.position, c.position - a.position);
        ASSERT_GT(Math::Length(n), 1e-6f) << "face " << f;
        ASSERT_GT(Math::Dot(n, a.normal + b.normal + c.normal), 0.0f) << "face " << f;
    }
}
