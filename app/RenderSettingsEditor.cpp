#include "app/RenderSettingsEditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileInfo>
#include <QFormLayout>
#include <QFutureWatcher>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <cmath>
#include <string>

#include "app/ValueSlider.h"
#include "core/MessageLog.h"
#include "scene/RenderResourceTasks.h"

namespace TavrinApp {

using ProjectTavrin::FrameSettings;
using Values = SettingControls::Values;

namespace {

// The elevation field runs from -1 (straight down) to 1 (straight up) in quarter turns; 3.14159
// rather than pi, so overhead is exact only up to rounding.
constexpr double kQuarterTurn = 3.14159 * 0.5;

Values SunAngles(const FrameSettings& s) {
    const Math::vec3& d = s.render.config.SunDirection;
    const double length = std::sqrt(double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z);
    const double elevation = length > 0.0 ? std::asin(std::clamp(d.y / length, -1.0, 1.0)) / kQuarterTurn : 0.0;
    return {std::atan2(double(d.z), double(d.x)), elevation};
}

int32_t& GiMode(FrameSettings& s) { return s.render.config.GI_Mode; }
int32_t& AoMode(FrameSettings& s) { return s.render.config.AO_Mode; }
int32_t& SrMode(FrameSettings& s) { return s.render.config.SR_Mode; }

/// The item holding `file`, or 0 ("<Disabled>") when the list has none (yet).
int ItemOf(const QComboBox* list, const std::string& file) {
    if (!list || file.empty()) return 0;
    return std::max(0, list->findData(QString::fromStdString(file)));
}

}  // namespace

Math::vec3 SunDirectionFromAngles(double azimuth, double elevation) {
    const double flat = std::cos(elevation * kQuarterTurn);
    const double x = flat * std::cos(azimuth);
    const double y = std::sin(elevation * kQuarterTurn);
    const double z = flat * std::sin(azimuth);
    const double length = std::sqrt(x * x + y * y + z * z);
    return {float(x / length), float(y / length), float(z / length)};
}

RenderSettingsEditor::RenderSettingsEditor(ProjectTavrin::SettingsExchange& settings, RenderEditorServices services,
                                           QWidget* parent)
    : QWidget(parent), m_settings(settings), m_services(std::move(services)) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_sections = new QWidget(this);
    new QVBoxLayout(m_sections);
    m_sections->layout()->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_sections);
    m_error = new QLabel(this);
    m_error->setObjectName("errorText");
    m_error->setWordWrap(true);
    m_error->setStyleSheet("color: #d03030;");
    layout->addWidget(m_error);
    auto* reset = new QPushButton(tr("Reset to defaults"), this);
    reset->setObjectName("resetButton");
    layout->addWidget(reset);
    connect(reset, &QPushButton::clicked, this, [this] { ResetToDefaults(); });
    m_controls = new SettingControls(m_settings, m_error, this);

    BuildSunSection();
    BuildMaterialLookSection();
    BuildShadowSection();
    BuildEnvironmentSection();
    BuildGiSection();
    BuildOcclusionSection();
    BuildReflectionSection();
    BuildToneSection();
    BuildPostSection();
    BuildVolumetricSection();
    BuildOceanSection();
    static_cast<QVBoxLayout*>(m_sections->layout())->addStretch(1);
    ShowCurrentValues();

    StartFileSearch(m_environments, u".hdr");
    StartFileSearch(m_colorFilters, u".cube");
}

QFormLayout* RenderSettingsEditor::AddSection(const QString& title) {
    auto* group = new QGroupBox(title, m_sections);
    m_sections->layout()->addWidget(group);
    return new QFormLayout(group);
}

QFormLayout* RenderSettingsEditor::AddSubgroup(QFormLayout* form, const QString& name, QWidget*& container) {
    container = new QWidget(form->parentWidget());
    container->setObjectName(name);
    auto* inner = new QFormLayout(container);
    inner->setContentsMargins(12, 0, 0, 0);
    form->addRow(container);
    return inner;
}

void RenderSettingsEditor::WriteOnRelease(const char* name) {
    // A drag would ask for a scene task at every step, and each would drop the next.
    if (auto* field = findChild<ValueSlider*>(QString(name) + "Row")) field->SetReportWhileDragging(false);
}

void RenderSettingsEditor::BuildSunSection() {
    QFormLayout* form = AddSection(tr("Sun, ambient and sky light"));
    m_controls->AddNumbers(
        form,
        {{"SunAzimuth", tr("Sun azimuth (radians)"), -6.2832, 6.2832},
         {"SunElevation", tr("Sun elevation (1 = overhead)"), -1.0, 1.0}},
        SunAngles, [](FrameSettings& s, const Values& v) {
            // The passes' copies follow in the settings exchange.
            s.render.config.SunDirection = SunDirectionFromAngles(v[0], v[1]);
        });
    m_controls->AddNumber(
        form, {"SunIntensity", tr("Sun intensity"), 0.0, 100.0}, [](const FrameSettings& s) { return s.render.config.SunIntensity; },
        [](FrameSettings& s, double v) { s.render.config.SunIntensity = float(v); });
    m_controls->AddColour(
        form, "SunColor", tr("Sun colour (r, g, b)"), [](const FrameSettings& s) { return s.render.config.SunColor; },
        [](FrameSettings& s, const Math::vec3& c) { s.render.config.SunColor = c; });
    m_controls->AddFlag(
        form, "SunLightEnable", tr("Sun light"), [](const FrameSettings& s) { return s.render.config.SunLightEnable != 0; },
        [](FrameSettings& s, bool on) { s.render.config.SunLightEnable = on ? 1 : 0; });
    // Scenes whose motion files carry light or self-shadow keys drive the sun and its shadows
    // from them while this is on; scenes without such keys are not touched either way.
    m_controls->AddFlag(
        form, "SunFromMotion", tr("Sun from the motion"), [](const FrameSettings& s) { return s.render.SunFromMotion; },
        [](FrameSettings& s, bool on) { s.render.SunFromMotion = on; });
    m_controls->AddNumber(
        form, {"AmbientIntensity", tr("Ambient intensity"), 0.0, 100.0},
        [](const FrameSettings& s) { return s.render.config.AmbientIntensity; },
        [](FrameSettings& s, double v) { s.render.config.AmbientIntensity = float(v); });
    m_controls->AddColour(
        form, "AmbientColor", tr("Ambient colour (r, g, b)"), [](const FrameSettings& s) { return s.render.config.AmbientColor; },
        [](FrameSettings& s, const Math::vec3& c) { s.render.config.AmbientColor = c; });
    m_controls->AddNumber(
        form, {"SkyLightUpperLimit", tr("Sky light upper limit"), 0.0, 100000.0},
        [](const FrameSettings& s) { return s.render.config.SkyLightUpperLimit; },
        [](FrameSettings& s, double v) { s.render.config.SkyLightUpperLimit = float(v); });
}

void RenderSettingsEditor::BuildMaterialLookSection() {
    QFormLayout* form = AddSection(tr("Material look"));
    // Item order follows Vesma::MaterialStyle's values.
    m_controls->AddList(
        form, "MaterialStyle", tr("Style of models without a material file"), {tr("Physically based"), tr("Classic")},
        [](const FrameSettings& s) { return int(s.render.MaterialStyle); },
        [this](int index) {
            const auto style = index == 1 ? Vesma::MaterialStyle::Classic : Vesma::MaterialStyle::PhysicallyBased;
            m_settings.Edit([&](FrameSettings& s) { s.render.MaterialStyle = style; });
        });
    m_controls->AddFlag(
        form, "OutlineEnable", tr("Outlines of classic materials"), [](const FrameSettings& s) { return s.render.OutlineEnable; },
        [](FrameSettings& s, bool on) { s.render.OutlineEnable = on; });
    m_controls->AddNumber(
        form, {"OutlineWidth", tr("Outline width"), 0.0, 10.0}, [](const FrameSettings& s) { return s.render.OutlineWidth; },
        [](FrameSettings& s, double v) { s.render.OutlineWidth = float(v); });
}

void RenderSettingsEditor::BuildShadowSection() {
    QFormLayout* form = AddSection(tr("Shadows"));
    m_controls->AddNumber(
        form, {"shadow.Distance", tr("Shadow distance"), 1.0, 16384.0}, [](const FrameSettings& s) { return s.post.shadow.Distance; },
        [](FrameSettings& s, double v) { s.post.shadow.Distance = float(v); });
    m_controls->AddList(
        form, "shadow.CascadeCount", tr("Cascades"), {"1", "2", "3", "4"},
        [](const FrameSettings& s) { return int(s.post.shadow.CascadeCount) - 1; },
        [this](int index) {
            // No selection still draws one cascade.
            const uint32_t count = uint32_t(std::clamp(index + 1, 1, 4));
            m_settings.Edit([&](FrameSettings& s) { s.post.shadow.CascadeCount = count; });
        });
    m_controls->AddNumber(
        form, {"shadow.FilterSize", tr("Shadow filter size"), 0.0, 200.0}, [](const FrameSettings& s) { return s.post.shadow.FilterSize; },
        [](FrameSettings& s, double v) { s.post.shadow.FilterSize = float(v); });
}

void RenderSettingsEditor::BuildEnvironmentSection() {
    QFormLayout* form = AddSection(tr("Sky and image-based lighting"));
    m_environments = m_controls->AddList(
        form, "EnvironmentFile", tr("Environment"), {},
        [this](const FrameSettings& s) { return s.render.config.IBL_Enable ? ItemOf(m_environments, s.post.EnvironmentFile) : 0; },
        [this](int index) { ChooseEnvironment(index); });
    // Filling an empty list would select its first item and run the handler.
    const QSignalBlocker quiet(m_environments);
    m_environments->addItem(kDisabledItem, QString());
    m_environments->addItem(kSampleItem, QString(kSampleItem));
}

void RenderSettingsEditor::BuildGiSection() {
    QFormLayout* form = AddSection(tr("Global illumination"));
    m_giMode = m_controls->AddList(
        form, "GI_Mode", tr("Global illumination"), {tr("Off"), tr("Probe GI"), tr("Voxel GI")},
        [](const FrameSettings& s) { return int(s.render.config.GI_Mode); },
        [this](int index) { ChooseMode(m_giMode, index, 1, GiMode); });

    QFormLayout* probes = AddSubgroup(form, "probeControls", m_probeControls);
    const size_t probeGroup = m_controls->AddNumbers(
        probes,
        {{"probes.OriginX", tr("Probe volume centre x"), -10000.0, 10000.0},
         {"probes.OriginY", tr("Probe volume centre y"), -10000.0, 10000.0},
         {"probes.OriginZ", tr("Probe volume centre z"), -10000.0, 10000.0},
         {"probes.Size", tr("Probe volume size"), 1.0, 16384.0},
         {"probes.DistanceExponent", tr("Probe distance exponent"), 0.0, 100.0}},
        [](const FrameSettings& s) {
            const auto& p = s.post.probes;
            return Values{p.Origin.x, p.Origin.y, p.Origin.z, p.Size, p.DistanceExponent};
        },
        [this](FrameSettings& s, const Values& v) {
            auto& p = s.post.probes;
            p.Origin = {float(v[0]), float(v[1]), float(v[2])};
            p.Size = float(v[3]);
            p.DistanceExponent = float(v[4]);
            // The volume count list comes after the sliders; without a selection one volume.
            if (m_probeCount) p.Count = uint32_t(std::clamp(m_probeCount->currentIndex() + 1, 1, 4));
        },
        [this] {
            if (m_services.resources) m_services.resources->ReconfigureProbeVolumes(m_settings.Snapshot().post.probes);
        });
    for (const char* name : {"probes.OriginX", "probes.OriginY", "probes.OriginZ", "probes.Size", "probes.DistanceExponent"})
        WriteOnRelease(name);
    m_probeCount = m_controls->AddList(
        probes, "probes.Count", tr("Probe volumes"), {"1", "2", "3", "4"},
        [](const FrameSettings& s) { return int(s.post.probes.Count) - 1; },
        [this, probeGroup](int) { m_controls->CommitGroup(probeGroup); });

    QFormLayout* voxels = AddSubgroup(form, "voxelControls", m_voxelControls);
    QStringList resolutions;
    for (int32_t r : ProjectTavrin::kVoxelResolutions) resolutions << QString::number(r);
    m_controls->AddList(
        voxels, "voxel.Resolution", tr("Voxel resolution"), resolutions,
        [](const FrameSettings& s) {
            const auto* begin = std::begin(ProjectTavrin::kVoxelResolutions);
            const auto* end = std::end(ProjectTavrin::kVoxelResolutions);
            const auto* found = std::find(begin, end, s.post.voxel.Resolution);
            return found == end ? -1 : int(found - begin);
        },
        [this](int index) {
            if (index < 0 || index >= int(std::size(ProjectTavrin::kVoxelResolutions))) return;
            const int32_t resolution = ProjectTavrin::kVoxelResolutions[index];
            FrameSettings now;
            m_settings.Edit([&](FrameSettings& s) {
                s.post.voxel.Resolution = resolution;
                now = s;
            });
            if (m_services.resources) m_services.resources->RebuildVoxelVolumes(resolution, now.post.voxel.RegionSize);
        });
    m_controls->AddNumber(
        voxels, {"voxel.RegionSize", tr("Voxel volume extent"), 64.0, 16384.0},
        [](const FrameSettings& s) { return s.post.voxel.RegionSize; },
        [](FrameSettings& s, double v) { s.post.voxel.RegionSize = float(v); },
        [this] {
            const auto voxel = m_settings.Snapshot().post.voxel;
            if (m_services.resources) m_services.resources->RebuildVoxelVolumes(voxel.Resolution, voxel.RegionSize);
        });
    WriteOnRelease("voxel.RegionSize");
    m_controls->AddNumbers(
        voxels,
        {{"GI_AO_Strength", tr("GI occlusion strength"), 0.0, 10.0},
         {"GI_Specular_Strength", tr("GI specular strength"), 0.0, 10.0},
         {"GI_Diffuse_Strength", tr("GI diffuse strength"), 0.0, 10.0},
         {"voxel.ConeTracing2", tr("Cone tracing 2"), 0.0, 16.0, true},
         {"voxel.Ambient", tr("Voxel ambient"), 0.0, 10.0},
         {"voxel.ConeTracing3", tr("Cone tracing 3"), 0.0, 10.0},
         {"voxel.ConeTracing1", tr("Cone tracing 1"), 0.0, 10.0},
         {"voxel.ConeTracing4", tr("Cone tracing 4"), 0.0, 256.0}},
        [](const FrameSettings& s) {
            const auto& c = s.render.config;
            const auto& v = s.post.voxel;
            return Values{c.GI_AO_Strength, c.GI_Specular_Strength, c.GI_Diffuse_Strength, v.ConeTracing2,
                          v.Ambient,        v.ConeTracing3,         v.ConeTracing1,        v.ConeTracing4};
        },
        [](FrameSettings& s, const Values& v) {
            s.render.config.GI_AO_Strength = float(v[0]);
            s.render.config.GI_Specular_Strength = float(v[1]);
            s.render.config.GI_Diffuse_Strength = float(v[2]);
            s.post.voxel.ConeTracing2 = std::trunc(float(v[3]));
            s.post.voxel.Ambient = float(v[4]);
            s.post.voxel.ConeTracing3 = float(v[5]);
            s.post.voxel.ConeTracing1 = float(v[6]);
            s.post.voxel.ConeTracing4 = float(v[7]);
        });
}

void RenderSettingsEditor::BuildOcclusionSection() {
    QFormLayout* form = AddSection(tr("Ambient occlusion"));
    m_aoMode = m_controls->AddList(
        form, "AO_Mode", tr("Ambient occlusion"), {tr("Off"), tr("Screen-space"), tr("Ray-traced")},
        [](const FrameSettings& s) { return int(s.render.config.AO_Mode); },
        [this](int index) { ChooseMode(m_aoMode, index, 2, AoMode); });
    QFormLayout* ssao = AddSubgroup(form, "ssaoControls", m_ssaoControls);
    QFormLayout* rtao = AddSubgroup(form, "rtaoControls", m_rtaoControls);
    // One group over both panels: the screen-space pair, then the ray-traced six.
    m_controls->AddNumbers(
        ssao,
        {{"ssao.Accentuation", tr("Accentuation"), 0.0, 1.0, false, ssao},
         {"ssao.RejectionFalloff", tr("Rejection falloff"), 0.0, 10.0, false, ssao},
         {"rtao.Falloff", tr("Falloff"), 0.0, 10.0, false, rtao},
         {"rtao.Distance", tr("Ray length"), 0.0, 1000.0, false, rtao},
         {"rtao.NumSamples", tr("Rays per pixel"), 1.0, 64.0, true, rtao},
         {"rtao.TemporalSpeedExponent", tr("Temporal speed exponent"), 0.0, 10.0, false, rtao},
         {"rtao.DenoiseDepthThreshold", tr("Denoise depth threshold"), 0.0, 16384.0, false, rtao},
         {"rtao.Accentuation", tr("Accentuation"), 0.0, 10.0, false, rtao}},
        [](const FrameSettings& s) {
            const auto& ss = s.post.ssao;
            const auto& ao = s.post.rtao;
            return Values{ss.Accentuation, ss.RejectionFalloff,     ao.Falloff,               ao.Distance,
                          double(ao.NumSamples), ao.TemporalSpeedExponent, ao.DenoiseDepthThreshold, ao.Accentuation};
        },
        [](FrameSettings& s, const Values& v) {
            auto& ss = s.post.ssao;
            auto& ao = s.post.rtao;
            ss.Accentuation = float(v[0]);
            ss.RejectionFalloff = float(v[1]);
            ao.Falloff = float(v[2]);
            ao.Distance = float(v[3]);
            ao.NumSamples = int32_t(v[4]);
            ao.TemporalSpeedExponent = float(v[5]);
            ao.DenoiseDepthThreshold = float(v[6]);
            ao.Accentuation = float(v[7]);
        });
    m_controls->AddFlag(
        rtao, "rtao.Temporal", tr("Temporal accumulation"), [](const FrameSettings& s) { return s.post.rtao.Temporal; },
        [](FrameSettings& s, bool on) { s.post.rtao.Temporal = on; });
    m_controls->AddFlag(
        rtao, "rtao.Denoise", tr("Denoise"), [](const FrameSettings& s) { return s.post.rtao.Denoise; },
        [](FrameSettings& s, bool on) { s.post.rtao.Denoise = on; });
}

void RenderSettingsEditor::BuildReflectionSection() {
    QFormLayout* form = AddSection(tr("Reflections"));
    m_srMode = m_controls->AddList(
        form, "SR_Mode", tr("Reflections"), {tr("Off"), tr("Ray-traced")},
        [](const FrameSettings& s) { return int(s.render.config.SR_Mode); },
        [this](int index) { ChooseMode(m_srMode, index, 1, SrMode); });
    QFormLayout* panel = AddSubgroup(form, "reflectionControls", m_reflectionControls);
    m_controls->AddNumber(
        panel, {"reflection.NumSamples", tr("Rays per pixel"), 1.0, 64.0, true},
        [](const FrameSettings& s) { return double(s.post.reflection.NumSamples); },
        [](FrameSettings& s, double v) { s.post.reflection.NumSamples = int32_t(v); });
    m_controls->AddNumber(
        panel, {"reflection.TemporalSpeedExponent", tr("Temporal speed exponent"), 0.0, 10.0},
        [](const FrameSettings& s) { return s.post.reflection.TemporalSpeedExponent; },
        [](FrameSettings& s, double v) { s.post.reflection.TemporalSpeedExponent = float(v); });
    m_controls->AddFlag(
        panel, "reflection.Temporal", tr("Temporal accumulation"), [](const FrameSettings& s) { return s.post.reflection.Temporal; },
        [](FrameSettings& s, bool on) { s.post.reflection.Temporal = on; });
}

void RenderSettingsEditor::BuildToneSection() {
    QFormLayout* form = AddSection(tr("Exposure, bloom and tone mapping"));
    m_controls->AddFlag(
        form, "ToneMapEnable", tr("Tone mapping"), [](const FrameSettings& s) { return s.post.ToneMapEnable; },
        [](FrameSettings& s, bool on) { s.post.ToneMapEnable = on; });
    m_controls->AddFlag(
        form, "AdaptationEnable", tr("Exposure adaptation"), [](const FrameSettings& s) { return s.post.AdaptationEnable; },
        [](FrameSettings& s, bool on) { s.post.AdaptationEnable = on; });
    // The rate is edited in tenths: a slider value of 0.5 adapts at 0.05 per frame.
    m_controls->AddNumbers(
        form,
        {{"TargetLuminance", tr("Target luminance"), 0.001, 10.0},
         {"AdaptationRate", tr("Adaptation speed"), 0.0, 10.0},
         {"BloomThreshold", tr("Bloom threshold"), 0.0, 100.0},
         {"BloomStrength", tr("Bloom strength"), 0.0, 10.0},
         {"Exposure", tr("Exposure"), 0.0, 64.0}},
        [](const FrameSettings& s) {
            const auto& p = s.post;
            return Values{p.TargetLuminance, p.AdaptationRate * 10.0, p.BloomThreshold, p.BloomStrength, p.Exposure};
        },
        [](FrameSettings& s, const Values& v) {
            auto& p = s.post;
            p.TargetLuminance = float(v[0]);
            p.AdaptationRate = float(v[1] * 0.1);
            p.BloomThreshold = float(v[2]);
            p.BloomStrength = float(v[3]);
            p.Exposure = float(v[4]);
        });
}

void RenderSettingsEditor::BuildPostSection() {
    QFormLayout* form = AddSection(tr("Anti-aliasing and post effects"));
    m_fxaa = m_controls->AddFlag(
        form, "FxaaEnable", tr("FXAA"), [](const FrameSettings& s) { return s.render.FxaaEnable; },
        [](FrameSettings& s, bool on) { s.render.FxaaEnable = on; });
    m_taa = m_controls->AddFlag(
        form, "TaaEnable", tr("Temporal anti-aliasing"), [](const FrameSettings& s) { return s.render.TaaEnable; },
        [](FrameSettings& s, bool on) {
            s.render.TaaEnable = on;
            // The two anti-aliasing passes never run together: TAA switches FXAA off.
            if (on) s.render.FxaaEnable = false;
        });
    // FXAA follows TAA: switched off (through its own handler) and locked while TAA runs.
    connect(m_taa, &QCheckBox::toggled, this, [this](bool on) {
        if (on) m_fxaa->setChecked(false);
        m_fxaa->setEnabled(!on);
    });
    m_controls->AddNumber(
        form, {"TaaSpeedExponent", tr("TAA speed exponent"), 0.0, 10.0}, [](const FrameSettings& s) { return s.post.TaaSpeedExponent; },
        [](FrameSettings& s, double v) { s.post.TaaSpeedExponent = float(v); });

    m_controls->AddFlag(
        form, "DofEnable", tr("Depth of field"), [](const FrameSettings& s) { return s.render.DofEnable; },
        [](FrameSettings& s, bool on) { s.render.DofEnable = on; });
    m_focusMode = m_controls->AddList(
        form, "DofFocusMode", tr("Focus"), {tr("Auto focus"), tr("Manual focus")},
        [](const FrameSettings& s) { return s.post.DofAutoFocus ? 0 : 1; },
        [this](int index) {
            m_settings.Edit([&](FrameSettings& s) { s.post.DofAutoFocus = index == 0 ? 1 : 0; });
            ShowModeGroups();
        });
    QFormLayout* manual = AddSubgroup(form, "manualFocusControls", m_manualFocusControls);
    m_controls->AddNumbers(
        manual,
        {{"DofFocusDistance", tr("Focus distance"), 0.0, 100000.0},
         {"DofFNumber", tr("F-number"), 0.1, 64.0},
         {"DofFocalLength", tr("Focal length"), 0.001, 10.0}},
        [](const FrameSettings& s) { return Values{s.post.DofFocusDistance, s.post.DofFNumber, s.post.DofFocalLength}; },
        [](FrameSettings& s, const Values& v) {
            s.post.DofFocusDistance = float(v[0]);
            s.post.DofFNumber = float(v[1]);
            s.post.DofFocalLength = float(v[2]);
        });

    m_controls->AddNumber(
        form, {"MotionBlurLength", tr("Motion blur length (ms)"), 0.0, 100.0}, [](const FrameSettings& s) { return s.render.MotionBlurLength; },
        [](FrameSettings& s, double v) { s.render.MotionBlurLength = float(v); });
    m_controls->AddFlag(
        form, "LensFlareEnable", tr("Lens flare"), [](const FrameSettings& s) { return s.render.LensFlareEnable; },
        [](FrameSettings& s, bool on) { s.render.LensFlareEnable = on; });
    m_controls->AddNumber(
        form, {"SoftenStrength", tr("Soften"), 0.0, 1.0}, [](const FrameSettings& s) { return s.post.SoftenStrength; },
        [](FrameSettings& s, double v) { s.post.SoftenStrength = float(v); });
    m_controls->AddNumber(
        form, {"SharpenAmount", tr("Sharpen"), 0.0, 100.0}, [](const FrameSettings& s) { return s.post.SharpenAmount; },
        [](FrameSettings& s, double v) { s.post.SharpenAmount = float(v); });
    m_controls->AddNumber(
        form, {"VignetteAmount", tr("Vignette"), 0.0, 1.0}, [](const FrameSettings& s) { return s.post.VignetteAmount; },
        [](FrameSettings& s, double v) { s.post.VignetteAmount = float(v); });

    m_colorFilters = m_controls->AddList(
        form, "ColorFilterLutFile", tr("Colour filter"), {},
        [this](const FrameSettings& s) {
            return s.post.ColorFilterStrength > 0.0f ? ItemOf(m_colorFilters, s.post.ColorFilterLutFile) : 0;
        },
        [this](int index) { ChooseColorFilter(index); });
    {
        const QSignalBlocker quiet(m_colorFilters);
        m_colorFilters->addItem(kDisabledItem, QString());
        m_colorFilters->addItem(kSampleItem, QString(kSampleItem));
    }
    m_colorFilterStrength = m_controls->AddNumber(
        form, {"ColorFilterStrength", tr("Colour filter strength"), 0.0, 1.0},
        [](const FrameSettings& s) { return s.post.ColorFilterStrength; },
        [](FrameSettings& s, double v) { s.post.ColorFilterStrength = float(v); });
}

void RenderSettingsEditor::BuildVolumetricSection() {
    QFormLayout* form = AddSection(tr("Volumetric light"));
    m_controls->AddFlag(
        form, "VolumetricLightEnable", tr("Volumetric light"), [](const FrameSettings& s) { return s.render.VolumetricLightEnable; },
        [](FrameSettings& s, bool on) { s.render.VolumetricLightEnable = on; });
    m_controls->AddNumbers(
        form,
        {{"volumetric.Extinction", tr("Extinction"), 0.0, 1.0},
         {"volumetric.Scattering", tr("Scattering"), 0.0, 1.0},
         {"volumetric.SampleCount", tr("Samples per ray"), 1.0, 64.0, true},
         {"volumetric.MaxRayLength", tr("Longest ray"), 0.0, 10000.0},
         {"volumetric.HeightFog0", tr("Height fog level"), -1000.0, 1000.0},
         {"volumetric.HeightFog1", tr("Height fog falloff"), -1000.0, 1000.0},
         {"volumetric.NoiseScale", tr("Noise scale"), 0.0, 1.0},
         {"volumetric.NoiseIntensity", tr("Noise intensity"), 0.0, 10.0},
         {"volumetric.NoiseIntensityOffset", tr("Noise intensity offset"), 0.0, 1.0},
         {"volumetric.NoiseVelocityX", tr("Noise velocity x"), -10.0, 10.0},
         {"volumetric.NoiseVelocityZ", tr("Noise velocity z"), -10.0, 10.0}},
        [](const FrameSettings& s) {
            const auto& v = s.post.volumetric;
            return Values{v.Extinction,       v.Scattering, double(v.SampleCount), v.MaxRayLength,
                          0.0 - v.HeightFog[0],    v.HeightFog[1], v.NoiseScale,   v.NoiseIntensity,
                          v.NoiseIntensityOffset,  v.NoiseVelocityX, v.NoiseVelocityZ};
        },
        [](FrameSettings& s, const Values& values) {
            auto& v = s.post.volumetric;
            v.Extinction = float(values[0]);
            v.Scattering = float(values[1]);
            v.SampleCount = int32_t(values[2]);
            v.MaxRayLength = float(values[3]);
            // The fifth slider's sense is the opposite of the fog value's.
            v.HeightFog[0] = 0.0f - float(values[4]);  // 0 stays +0
            v.HeightFog[1] = float(values[5]);
            v.NoiseScale = float(values[6]);
            v.NoiseIntensity = float(values[7]);
            v.NoiseIntensityOffset = float(values[8]);
            v.NoiseVelocityX = float(values[9]);
            v.NoiseVelocityZ = float(values[10]);
        });
    m_controls->AddColour(
        form, "volumetric.LightColor", tr("Light colour (r, g, b)"), [](const FrameSettings& s) { return s.post.volumetric.LightColor; },
        [](FrameSettings& s, const Math::vec3& c) { s.post.volumetric.LightColor = c; });
}

void RenderSettingsEditor::BuildOceanSection() {
    QFormLayout* form = AddSection(tr("Ocean"));
    m_controls->AddFlag(
        form, "OceanEnable", tr("Ocean"), [](const FrameSettings& s) { return s.render.OceanEnable; },
        [](FrameSettings& s, bool on) { s.render.OceanEnable = on; });
    m_controls->AddNumbers(
        form,
        {{"SEA_HEIGHT", tr("Wave height"), 0.0, 10.0},
         {"SEA_CHOPPY", tr("Choppiness"), 0.0, 20.0},
         {"SEA_SPEED", tr("Wave speed"), 0.0, 10.0},
         {"SEA_FREQ", tr("Wave frequency"), 0.0, 10.0},
         {"SEA_SURFACE_HEIGHT", tr("Surface height"), -10000.0, 10000.0}},
        [](const FrameSettings& s) {
            const auto& o = s.render.ocean;
            return Values{o.SEA_HEIGHT, o.SEA_CHOPPY, o.SEA_SPEED, o.SEA_FREQ, o.SEA_SURFACE_HEIGHT};
        },
        [](FrameSettings& s, const Values& v) {
            auto& o = s.render.ocean;
            o.SEA_HEIGHT = float(v[0]);
            o.SEA_CHOPPY = float(v[1]);
            o.SEA_SPEED = float(v[2]);
            o.SEA_FREQ = float(v[3]);
            o.SEA_SURFACE_HEIGHT = float(v[4]);
        });
    m_controls->AddColour(
        form, "SEA_BASE", tr("Deep colour (r, g, b)"), [](const FrameSettings& s) { return s.render.ocean.SEA_BASE; },
        [](FrameSettings& s, const Math::vec3& c) { s.render.ocean.SEA_BASE = c; });
    m_controls->AddColour(
        form, "SEA_WATER_COLOR", tr("Water colour (r, g, b)"), [](const FrameSettings& s) { return s.render.ocean.SEA_WATER_COLOR; },
        [](FrameSettings& s, const Math::vec3& c) { s.render.ocean.SEA_WATER_COLOR = c; });
}

bool RenderSettingsEditor::ChooseMode(QComboBox* list, int index, int raytracedIndex, int32_t& (*field)(FrameSettings&)) {
    if (index == raytracedIndex && !m_services.raytracing) {
        const QString message = tr("No Vulkan ray tracing support found");
        MessageLog::Instance().AppendUtf8(message.toStdString());
        FrameSettings current = m_settings.Snapshot();
        const QSignalBlocker quiet(list);
        list->setCurrentIndex(field(current));
        m_error->setText(message);
        return false;
    }
    if (index < 0) return false;
    m_settings.Edit([&](FrameSettings& s) { field(s) = index; });
    m_error->clear();
    ShowModeGroups();
    return true;
}

void RenderSettingsEditor::ShowModeGroups() {
    m_probeControls->setHidden(m_giMode->currentIndex() != 1);
    m_voxelControls->setHidden(m_giMode->currentIndex() != 2);
    m_ssaoControls->setHidden(m_aoMode->currentIndex() != 1);
    m_rtaoControls->setHidden(m_aoMode->currentIndex() != 2);
    m_reflectionControls->setHidden(m_srMode->currentIndex() != 1);
    m_manualFocusControls->setHidden(m_focusMode->currentIndex() == 0);
}

void RenderSettingsEditor::ChooseEnvironment(int index) {
    if (index < 0) return;
    if (index == 0) {
        m_settings.Edit([](FrameSettings& s) { s.render.config.IBL_Enable = 0; });
        return;
    }
    const std::string file = m_environments->itemData(index).toString().toStdString();
    m_settings.Edit([&](FrameSettings& s) {
        s.render.config.IBL_Enable = 1;
        s.post.EnvironmentFile = file;
    });
    if (m_services.resources) m_services.resources->LoadEnvironment(file);
}

void RenderSettingsEditor::ChooseColorFilter(int index) {
    if (index < 0) return;
    if (index == 0) {
        // The loaded table stays; at strength 0 the filter just does not run.
        m_settings.Edit([](FrameSettings& s) { s.post.ColorFilterStrength = 0.0f; });
        return;
    }
    const std::string file = m_colorFilters->itemData(index).toString().toStdString();
    const float strength = float(m_controls->GroupValues(m_colorFilterStrength)[0]);
    m_settings.Edit([&](FrameSettings& s) {
        s.post.ColorFilterStrength = strength;
        s.post.ColorFilterLutFile = file;
    });
    if (m_services.resources) m_services.resources->LoadColorFilterLut(file);
}

void RenderSettingsEditor::StartFileSearch(QComboBox* list, const char16_t* extension) {
    if (!m_services.search) return;
    ++m_pendingSearches;
    using Found = std::vector<std::u16string>;
    auto* watcher = new QFutureWatcher<Found>(this);
    connect(watcher, &QFutureWatcher<Found>::finished, this, [this, watcher, list] {
        for (const std::u16string& path : watcher->result()) {
            const QString full = QString::fromStdU16String(path);
            list->addItem(QFileInfo(full).fileName(), full);
        }
        watcher->deleteLater();
        if (--m_pendingSearches == 0) {
            SelectCurrentFiles();
            emit fileListsFilled();
        }
    });
    watcher->setFuture(QtConcurrent::run([search = m_services.search, extension = std::u16string(extension)]() -> Found {
        // A failed search offers no files rather than ending the program on a worker thread.
        try {
            return search(extension);
        } catch (const std::exception&) {
            return {};
        }
    }));
}

void RenderSettingsEditor::SelectCurrentFiles() {
    const FrameSettings current = m_settings.Snapshot();
    const QSignalBlocker quietEnvironments(m_environments);
    const QSignalBlocker quietFilters(m_colorFilters);
    if (current.render.config.IBL_Enable) m_environments->setCurrentIndex(ItemOf(m_environments, current.post.EnvironmentFile));
    if (current.post.ColorFilterStrength > 0.0f)
        m_colorFilters->setCurrentIndex(ItemOf(m_colorFilters, current.post.ColorFilterLutFile));
}

void RenderSettingsEditor::ShowCurrentValues() {
    const FrameSettings current = m_settings.Snapshot();
    m_controls->ShowValues(current);
    m_fxaa->setEnabled(!current.render.TaaEnable);
    ShowModeGroups();
}

void RenderSettingsEditor::ResetToDefaults() {
    FrameSettings now;
    m_settings.Edit([&](FrameSettings& s) {
        FrameSettings defaults;
        defaults.render.ExportWidth = s.render.ExportWidth;
        defaults.render.ExportHeight = s.render.ExportHeight;
        defaults.render.forceFreeCamera = s.render.forceFreeCamera;
        s = defaults;
        now = s;
    });
    ShowCurrentValues();
    if (m_services.resources) m_services.resources->MatchSettings(now);
}

QString RenderSettingsEditor::ErrorText() const { return m_error->text(); }

}  // namespace TavrinApp
