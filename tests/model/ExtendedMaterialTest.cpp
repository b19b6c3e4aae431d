#include "model/ExtendedMaterial.h"

#include <filesystem>
#include <string>
#include <unistd.h>

#include <gtest/gtest.h>

#include "core/FileIO.h"
#include "core/MessageLog.h"
#include "core/TextConvert.h"

namespace {

using Vesma::ExtendedMaterial;
using Vesma::ExtendedMaterialMap;
using Vesma::NamedExtendedMaterial;

ExtendedMaterialMap Parse(const std::string& document) {
    ExtendedMaterialMap map;
    Vesma::ParseExtendedMaterials(std::span(reinterpret_cast<const uint8_t*>(document.data()), document.size()), map);
    return map;
}

std::string Material(const std::string& attributes) {
    return "<materials><material name=\"m\" " + attributes + "/></materials>";
}

int CountFailures(const std::u16string& log) {
    const std::u16string needle = u"LoadExtendedMaterial Failure!\r\n";
    int count = 0;
    for (std::size_t at = log.find(needle); at != std::u16string::npos; at = log.find(needle, at + 1)) ++count;
    return count;
}

class ExtendedMaterialTest : public ::testing::Test {
protected:
    void SetUp() override { MessageLog::Instance().Clear(); }
};

TEST_F(ExtendedMaterialTest, ScalarsAreClampedByTheirRange) {
    struct Case {
        std::string attribute;
        float ExtendedMaterial::*field;
        float want;
    };
    const Case cases[] = {
        {"metallic=\"1.7\"", &ExtendedMaterial::metallic, 1.0f},
        {"metallic=\"-2\"", &ExtendedMaterial::metallic, 0.0f},
        {"roughness=\" 0.25 \"", &ExtendedMaterial::roughness, 0.25f},
        {"clearCoatRoughness=\"3\"", &ExtendedMaterial::clearCoatRoughness, 1.0f},
        {"thickness=\"+0.5\"", &ExtendedMaterial::thickness, 0.5f},
        {"emission=\"3.5\"", &ExtendedMaterial::emission, 3.5f},
        {"emission=\"-1\"", &ExtendedMaterial::emission, 0.0f},
        {"subsurface=\"12\"", &ExtendedMaterial::subsurface, 12.0f},
        {"occlusion=\"1e-1\"", &ExtendedMaterial::occlusion, 0.1f},
    };
    for (const Case& c : cases) {
        const ExtendedMaterialMap map = Parse(Material(c.attribute));
        ASSERT_NE(map.Find(u"m"), nullptr) << c.attribute;
        EXPECT_FLOAT_EQ(map.Find(u"m")->*(c.field), c.want) << c.attribute;
    }
    EXPECT_EQ(CountFailures(MessageLog::Instance().Peek()), 0);
}

TEST_F(ExtendedMaterialTest, ColoursAreClampedBytesOver255) {
    struct Case {
        std::string text;
        Math::vec3 want;
    };
    const Case cases[] = {
        {"255 128 0", {1.0f, 128.0f / 255.0f, 0.0f}},
        {"300 -5 10", {1.0f, 0.0f, 10.0f / 255.0f}},
        {"  1   2 3 trailing", {1.0f / 255.0f, 2.0f / 255.0f, 3.0f / 255.0f}},
    };
    for (const Case& c : cases) {
        const ExtendedMaterialMap map = Parse(Material("baseColorTint=\"" + c.text + "\""));
        ASSERT_NE(map.Find(u"m"), nullptr) << c.text;
        const ExtendedMaterial& m = *map.Find(u"m");
        EXPECT_FLOAT_EQ(m.baseColorTint.x, c.want.x) << c.text;
        EXPECT_FLOAT_EQ(m.baseColorTint.y, c.want.y) << c.text;
        EXPECT_FLOAT_EQ(m.baseColorTint.z, c.want.z) << c.text;
    }
}

TEST_F(ExtendedMaterialTest, BadNumbersLogOnceEachAndKeepTheField) {
    const ExtendedMaterialMap map = Parse(Material(
        "metallic=\"0.5\" roughness=\"abc\" emission=\"1e99\" cloth=\"nan\" anisotropy=\"0.5x\" "
        "specularTint=\"1 2\" clothFuzzColor=\"99999999999 1 1\" curvature=\"0.5\""));
    const ExtendedMaterial& m = *map.Find(u"m");
    EXPECT_EQ(CountFailures(MessageLog::Instance().Peek()), 6);
    const ExtendedMaterial defaults;
    EXPECT_FLOAT_EQ(m.metallic, 0.5f);
    EXPECT_FLOAT_EQ(m.curvature, 0.5f);  // reading goes on after a bad attribute
    EXPECT_FLOAT_EQ(m.roughness, defaults.roughness);
    EXPECT_FLOAT_EQ(m.emission, defaults.emission);
    EXPECT_FLOAT_EQ(m.cloth, defaults.cloth);
    EXPECT_FLOAT_EQ(m.anisotropy, defaults.anisotropy);
    EXPECT_FLOAT_EQ(m.specularTint.y, 1.0f);
    EXPECT_FLOAT_EQ(m.clothFuzzColor.x, 1.0f);
}

TEST_F(ExtendedMaterialTest, ShadingModelNamesAndUnknownNames) {
    EXPECT_EQ(Parse(Material("shadingModel=\"Skin\""))  .Find(u"m")->shadingModel, 3u);
    EXPECT_EQ(Parse(Material("shadingModel=\"ThinTranslucent\"")).Find(u"m")->shadingModel, 11u);
    EXPECT_EQ(Parse(Material("shadingModel=\"None\"")).Find(u"m")->shadingModel, 0u);
    // Unknown (and wrongly cased) names leave the value as it was: the default for a new entry,
    // the earlier value for a second element of the same name.
    EXPECT_EQ(Parse(Material("shadingModel=\"Velvet\"")).Find(u"m")->shadingModel, 1u);
    EXPECT_EQ(Parse("<materials><material name=\"m\" shadingModel=\"Cloth\"/>"
                    "<material name=\"m\" shadingModel=\"skin\" metallic=\"0.5\"/></materials>")
                  .Find(u"m")
                  ->shadingModel,
              8u);
    for (uint32_t value = 0; value < 16; ++value) {
        const auto back = Vesma::ShadingModelFromName(Vesma::ShadingModelName(value));
        ASSERT_TRUE(back);
        const bool named = value <= 4 || value == 6 || value == 8 || value == 11;
        EXPECT_EQ(*back, named ? value : 1u) << value;
    }
}

TEST_F(ExtendedMaterialTest, MaterialStyleIsReadWhereNamedAndWrittenOnlyWhereSet) {
    EXPECT_EQ(Parse(Material("materialStyle=\"Classic\"")).Find(u"m")->materialStyle, Vesma::MaterialStyle::Classic);
    EXPECT_EQ(Parse(Material("materialStyle=\"PhysicallyBased\"")).Find(u"m")->materialStyle,
              Vesma::MaterialStyle::PhysicallyBased);
    // Absent or unknown: the material has no style of its own and follows the render settings.
    EXPECT_FALSE(Parse(Material("metallic=\"0.5\"")).Find(u"m")->materialStyle.has_value());
    EXPECT_FALSE(Parse(Material("materialStyle=\"classic\"")).Find(u"m")->materialStyle.has_value());

    NamedExtendedMaterial own{u"a", {}}, follows{u"b", {}};
    own.values.materialStyle = Vesma::MaterialStyle::Classic;
    const NamedExtendedMaterial both[] = {own, follows};
    const std::string text = Vesma::FormatExtendedMaterials(both);
    EXPECT_NE(text.find("subsurfaceColor=\"255 255 255\" materialStyle=\"Classic\""), std::string::npos) << text;
    EXPECT_EQ(text.find("materialStyle", text.find("name=\"b\"")), std::string::npos) << text;
    const ExtendedMaterialMap back = Parse(text);
    EXPECT_EQ(back.Find(u"a")->materialStyle, Vesma::MaterialStyle::Classic);
    EXPECT_FALSE(back.Find(u"b")->materialStyle.has_value());
}

TEST_F(ExtendedMaterialTest, AttributesCountOnlyAfterTheName) {
    const ExtendedMaterialMap map = Parse(
        "<materials>"
        "<material metallic=\"0.9\" name=\"late\" roughness=\"0.3\"/>"
        "<material metallic=\"0.9\" roughness=\"0.1\" name=\"last\"/>"
        "<material metallic=\"0.9\" unknown=\"1\"/>"
        "<material name=\"a\" metallic=\"0.2\" name=\"b\" metallic=\"0.4\"/>"
        "</materials>");
    EXPECT_EQ(map.Size(), 4u);
    EXPECT_FLOAT_EQ(map.Find(u"late")->metallic, 0.0f);
    EXPECT_FLOAT_EQ(map.Find(u"late")->roughness, 0.3f);
    // A name that comes last creates the entry and changes nothing.
    EXPECT_FLOAT_EQ(map.Find(u"last")->metallic, 0.0f);
    EXPECT_FLOAT_EQ(map.Find(u"last")->roughness, 1.0f);
    // A second name switches the entry the rest of the element fills.
    EXPECT_FLOAT_EQ(map.Find(u"a")->metallic, 0.2f);
    EXPECT_FLOAT_EQ(map.Find(u"b")->metallic, 0.4f);
}

TEST_F(ExtendedMaterialTest, MaterialElementsAnywhereAndNonAsciiNames) {
    const ExtendedMaterialMap map = Parse(
        "<whatever><group><material name=\"\xE8\xA1\xA3\xE6\x9C\x8D\" cloth=\"0.5\"/></group>"
        "<material name=\"x\"><material name=\"y\" metallic=\"1\"/></material></whatever>");
    ASSERT_NE(map.Find(u"\u8863\u670D"), nullptr);
    EXPECT_FLOAT_EQ(map.Find(u"\u8863\u670D")->cloth, 0.5f);
    EXPECT_FLOAT_EQ(map.Find(u"y")->metallic, 1.0f);
    EXPECT_NE(map.Find(u"x"), nullptr);
}

TEST_F(ExtendedMaterialTest, MalformedDocumentsKeepWhatWasReadBeforeTheFault) {
    struct Case {
        std::string document;
        std::vector<std::u16string> present;
        std::vector<std::u16string> absent;
    };
    const Case cases[] = {
        // Cut inside the second start tag: the second element is not read.
        {"<materials><material name=\"a\" metallic=\"0.5\"/><material name=\"b\" metallic=\"0.7\"", {u"a"}, {u"b"}},
        {"<materials><material name=\"a\"/><material name=\"b\" met", {u"a"}, {u"b"}},
        // A mismatched end tag after two complete elements.
        {"<materials><material name=\"a\"/><material name=\"b\"/></wrong><material name=\"c\"/>", {u"a", u"b"}, {u"c"}},
        // Document type declarations are refused: nothing is read.
        {"<!DOCTYPE materials [<!ENTITY e \"x\">]><materials><material name=\"a\"/></materials>", {}, {u"a"}},
        {"", {}, {}},
        {"\xFF\xFE\x00garbage", {}, {}},
    };
    for (const Case& c : cases) {
        const ExtendedMaterialMap map = Parse(c.document);
        for (const auto& name : c.present) EXPECT_NE(map.Find(name), nullptr) << c.document;
        for (const auto& name : c.absent) EXPECT_EQ(map.Find(name), nullptr) << c.document;
    }
}

TEST_F(ExtendedMaterialTest, FormatWritesTheAttributeOrderAndFormats) {
    NamedExtendedMaterial material{u"body & <skin>", {}};
    material.values.metallic = 0.25f;
    material.values.baseColorTint = {0.5f, 0.5f, 0.5f};
    material.values.shadingModel = 5;  // no name: written as Default
    const std::string text = Vesma::FormatExtendedMaterials(std::span(&material, 1));
    EXPECT_EQ(text,
              "<materials>\n"
              "  <material name=\"body &amp; &lt;skin>\" shadingModel=\"Default\" metallic=\"0.250000\" "
              "roughness=\"1.000000\" emission=\"0.000000\" anisotropy=\"0.000000\" occlusion=\"1.000000\" "
              "clearCoat=\"1.000000\" clearCoatRoughness=\"0.000000\" cloth=\"1.000000\" subsurface=\"1.000000\" "
              "curvature=\"1.000000\" thickness=\"0.000000\" baseColorTint=\"127 127 127\" specularTint=\"255 255 255\" "
              "clothFuzzColor=\"255 255 255\" subsurfaceColor=\"255 255 255\" />\n"
              "</materials>\n");
    EXPECT_EQ(Vesma::FormatExtendedMaterials({}), "<materials></materials>\n");
}

TEST_F(ExtendedMaterialTest, EveryByteColourSurvivesSaveAndLoad) {
    std::vector<NamedExtendedMaterial> materials;
    for (int k = 0; k < 256; ++k) {
        NamedExtendedMaterial m{u"m" + Utf8ToUtf16(std::to_string(k)), {}};
        m.values.specularTint = {k / 255.0f, k / 255.0f, k / 255.0f};
        materials.push_back(m);
    }
    const ExtendedMaterialMap map = Parse(Vesma::FormatExtendedMaterials(materials));
    for (int k = 0; k < 256; ++k)
        EXPECT_EQ(map.Find(u"m" + Utf8ToUtf16(std::to_string(k)))->specularTint.x, k / 255.0f) << k;
}

class ExtendedMaterialFileTest : public ExtendedMaterialTest {
protected:
    void SetUp() override {
        ExtendedMaterialTest::SetUp();
        m_dir = std::filesystem::temp_directory_path() / ("tavrin-extmat-" + std::to_string(getpid()));
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override { std::filesystem::remove_all(m_dir); }
    std::filesystem::path m_dir;
};

TEST_F(ExtendedMaterialFileTest, WriteThenReadBack) {
    const std::u16string modelPath = Utf8ToUtf16((m_dir / "Miku.v2.pmx").string());
    EXPECT_EQ(Vesma::ExtendedMaterialPath(modelPath), m_dir / "Miku.v2.xml");

    NamedExtendedMaterial a{u"face", {}}, b{u"hair", {}};
    a.values.metallic = 0.25f;
    a.values.baseColorTint = {0.5f, 0.5f, 0.5f};
    a.values.shadingModel = 3;
    a.values.emission = 7.5f;
    b.values.shadingModel = 11;
    b.values.clothFuzzColor = {0.2f, 0.4f, 1.0f};
    const NamedExtendedMaterial both[] = {a, b};
    ASSERT_TRUE(Vesma::WriteExtendedMaterials(modelPath, both));

    ExtendedMaterialMap map;
    Vesma::ReadExtendedMaterials(modelPath, map);
    ASSERT_EQ(map.Size(), 2u);
    const ExtendedMaterial& face = *map.Find(u"face");
    EXPECT_FLOAT_EQ(face.metallic, 0.25f);
    EXPECT_FLOAT_EQ(face.baseColorTint.x, 127.0f / 255.0f);
    EXPECT_FLOAT_EQ(face.emission, 7.5f);
    EXPECT_EQ(face.shadingModel, 3u);
    const ExtendedMaterial& hair = *map.Find(u"hair");
    EXPECT_EQ(hair.shadingModel, 11u);
    EXPECT_FLOAT_EQ(hair.clothFuzzColor.x, 51.0f / 255.0f);
    EXPECT_FLOAT_EQ(hair.clothFuzzColor.y, 102.0f / 255.0f);
    EXPECT_EQ(CountFailures(MessageLog::Instance().Peek()), 0);
}

TEST_F(ExtendedMaterialFileTest, AFailedWriteIsReportedAndLeavesWhatWasThere) {
    NamedExtendedMaterial a{u"face", {}};
    // The target is a directory: the finished temporary file cannot replace it.
    std::filesystem::create_directories(m_dir / "blocked.xml" / "keep");
    EXPECT_FALSE(Vesma::WriteExtendedMaterials(Utf8ToUtf16((m_dir / "blocked.pmx").string()), std::span(&a, 1)));
    EXPECT_TRUE(std::filesystem::is_directory(m_dir / "blocked.xml" / "keep"));
    // The model's directory does not exist.
    EXPECT_FALSE(Vesma::WriteExtendedMaterials(Utf8ToUtf16((m_dir / "gone" / "m.pmx").string()), std::span(&a, 1)));
    EXPECT_FALSE(std::filesystem::exists(m_dir / "gone"));
    const std::u16string log = MessageLog::Instance().Peek();
    EXPECT_NE(log.find(u"Failed to write extended materials"), std::u16string::npos);
    // Nothing but the blocked directory is left behind (no temporary files).
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(m_dir)) ++entries;
    EXPECT_EQ(entries, 1);
}

TEST_F(ExtendedMaterialFileTest, NoFileAndTheSampleModelReadNothing) {
    ExtendedMaterialMap map;
    Vesma::ReadExtendedMaterials(Utf8ToUtf16((m_dir / "absent.pmx").string()), map);
    Vesma::ReadExtendedMaterials(u"<Sample>", map);
    EXPECT_EQ(map.Size(), 0u);
    EXPECT_TRUE(Vesma::ExtendedMaterialPath(u"<Sample>").empty());
    EXPECT_TRUE(Vesma::WriteExtendedMaterials(u"<Sample>", {}));
    EXPECT_TRUE(MessageLog::Instance().Peek().empty());
}

}  // namespace
