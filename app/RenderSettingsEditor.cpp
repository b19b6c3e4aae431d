#include "app/RenderSettingsEditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSignalBlocker>
#include <QStringList>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "core/MessageLog.h"

namespace TavrinApp {

using ProjectTavrin::FrameSettings;

namespace {

// The elevation field runs from -1 (straight down) to 1 (straight up) in quarter turns; 3.14159
// rather than pi, so overhead is exact only up to rounding.
constexpr double kQuarterTurn = 3.14159 * 0.5;

QString ShowNumber(double value) { return QLocale::c().toString(value, 'g', 6); }

QString ShowColour(const Math::vec3& c) {
    return ShowNumber(c.x) + ", " + ShowNumber(c.y) + ", " + ShowNumber(c.z);
}

void MarkField(QWidget* field, bool bad) {
    field->setProperty("badValue", bad);
    field->setStyleSheet(bad ? "border: 1px solid #d03030;" : "");
}

}  // namespace

bool ParseTypedNumber(const QString& text, double& value) {
    bool ok = false;
    const double parsed = QLocale::c().toDouble(text.trimmed(), &ok);
    if (!ok || !std::isfinite(parsed)) return false;
    value = parsed;
    return true;
}

Math::vec3 SunDirectionFromAngles(double azimuth, double elevation) {
    const double flat = std::cos(elevation * kQuarterTurn);
    const double x = flat * std::cos(azimuth);
    const double y = std::sin(elevation * kQuarterTurn);
    const double z = flat * std::sin(azimuth);
    const double length = std::sqrt(x * x + y * y + z * z);
    return {float(x / length), float(y / length), float(z / length)};
}

RenderSettingsEditor::RenderSettingsEditor(ProjectTavrin::SettingsExchange& settings, bool raytracing, QWidget* parent)
    : QWidget(parent), m_settings(settings), m_raytracing(raytracing) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_groups = new QWidget(this);
    new QVBoxLayout(m_groups);
    m_groups->layout()->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_groups);
    m_error = new QLabel(this);
    m_error->setObjectName("errorText");
    m_error->setWordWrap(true);
    m_error->setStyleSheet("color: #d03030;");
    layout->addWidget(m_error);
    auto* reset = new QPushButton(tr("Reset to defaults"), this);
    reset->setObjectName("resetButton");
    layout->addWidget(reset);
    connect(reset, &QPushButton::clicked, this, [this] { ResetToDefaults(); });

    QFormLayout* sun = AddGroup(tr("Sun, ambient and sky light"));
    AddNumber(sun, "SunAzimuth", tr("Sun azimuth (radians)"), -6.2832, 6.2832,
              [](const FrameSettings& s) { const auto& d = s.render.config.SunDirection; return std::atan2(double(d.z), double(d.x)); },
              [this](FrameSettings& s, double v) { m_sunAzimuth = v; WriteSunDirection(s); });
    AddNumber(sun, "SunElevation", tr("Sun elevation (1 = overhead)"), -1.0, 1.0,
              [](const FrameSettings& s) {
                  const auto& d = s.render.config.SunDirection;
                  const double length = std::sqrt(double(d.x) * d.x + double(d.y) * d.y + double(d.z) * d.z);
                  return length > 0.0 ? std::asin(std::clamp(d.y / length, -1.0, 1.0)) / kQuarterTurn : 0.0;
              },
              [this](FrameSettings& s, double v) { m_sunElevation = v; WriteSunDirection(s); });
    AddFlag(sun, "SunLightEnable", tr("Sun light"), [](const FrameSettings& s) { return s.render.config.SunLightEnable != 0; },
            [](FrameSettings& s, bool on) { s.render.config.SunLightEnable = on ? 1 : 0; });
    AddNumber(sun, "SunIntensity", tr("Sun intensity"), 0.0, 100.0, [](const FrameSettings& s) { return s.render.config.SunIntensity; },
              [](FrameSettings& s, double v) { s.render.config.SunIntensity = float(v); });
    AddColour(sun, "SunColor", tr("Sun colour (r, g, b)"), [](FrameSettings& s) -> Math::vec3& { return s.render.config.SunColor; });
    AddNumber(sun, "AmbientIntensity", tr("Ambient intensity"), 0.0, 100.0,
              [](const FrameSettings& s) { return s.render.config.AmbientIntensity; },
              [](FrameSettings& s, double v) { s.render.config.AmbientIntensity = float(v); });
    AddColour(sun, "AmbientColor", tr("Ambient colour (r, g, b)"),
              [](FrameSettings& s) -> Math::vec3& { return s.render.config.AmbientColor; });
    AddNumber(sun, "SkyLightUpperLimit", tr("Sky light upper limit"), 0.0, 100000.0,
              [](const FrameSettings& s) { return s.render.config.SkyLightUpperLimit; },
              [](FrameSettings& s, double v) { s.render.config.SkyLightUpperLimit = float(v); });

    QFormLayout* gi = AddGroup(tr("Global illumination, occlusion and reflections"));
    AddMode(gi, "GI_Mode", tr("Global illumination"), {tr("Off"), tr("Probe GI"), tr("Voxel GI")}, 1,
            [](FrameSettings& s) -> int32_t& { return s.render.config.GI_Mode; });
    AddNumber(gi, "GI_Diffuse_Strength", tr("GI diffuse strength"), 0.0, 10.0,
              [](const FrameSettings& s) { return s.render.config.GI_Diffuse_Strength; },
              [](FrameSettings& s, double v) { s.render.config.GI_Diffuse_Strength = float(v); });
    AddNumber(gi, "GI_Specular_Strength", tr("GI specular strength"), 0.0, 10.0,
              [](const FrameSettings& s) { return s.render.config.GI_Specular_Strength; },
              [](FrameSettings& s, double v) { s.render.config.GI_Specular_Strength = float(v); });
    AddNumber(gi, "GI_AO_Strength", tr("GI occlusion strength"), 0.0, 10.0,
              [](const FrameSettings& s) { return s.render.config.GI_AO_Strength; },
              [](FrameSettings& s, double v) { s.render.config.GI_AO_Strength = float(v); });
    AddMode(gi, "AO_Mode", tr("Ambient occlusion"), {tr("Off"), tr("Screen-space"), tr("Ray-traced")}, 2,
            [](FrameSettings& s) -> int32_t& { return s.render.config.AO_Mode; });
    AddFlag(gi, "RtaoTemporal", tr("Ray-traced AO: temporal"), [](const FrameSettings& s) { return s.post.RtaoTemporal; },
            [](FrameSettings& s, bool on) { s.post.RtaoTemporal = on; });
    AddFlag(gi, "RtaoDenoise", tr("Ray-traced AO: denoise"), [](const FrameSettings& s) { return s.post.RtaoDenoise; },
            [](FrameSettings& s, bool on) { s.post.RtaoDenoise = on; });
    AddMode(gi, "SR_Mode", tr("Reflections"), {tr("Off"), tr("Ray-traced")}, 1,
            [](FrameSettings& s) -> int32_t& { return s.render.config.SR_Mode; });
    AddFlag(gi, "ReflectionTemporal", tr("Reflections: temporal"), [](const FrameSettings& s) { return s.post.ReflectionTemporal; },
            [](FrameSettings& s, bool on) { s.post.ReflectionTemporal = on; });

    QFormLayout* tone = AddGroup(tr("Exposure, bloom and tone mapping"));
    AddFlag(tone, "ToneMapEnable", tr("Tone mapping"), [](const FrameSettings& s) { return s.post.ToneMapEnable; },
            [](FrameSettings& s, bool on) { s.post.ToneMapEnable = on; });
    AddFlag(tone, "AdaptationEnable", tr("Exposure adaptation"), [](const FrameSettings& s) { return s.post.AdaptationEnable; },
            [](FrameSettings& s, bool on) { s.post.AdaptationEnable = on; });
    AddNumber(tone, "TargetLuminance", tr("Target luminance"), 0.001, 10.0, [](const FrameSettings& s) { return s.post.TargetLuminance; },
              [](FrameSettings& s, double v) { s.post.TargetLuminance = float(v); });
    // The rate is edited in tenths: a field value of 0.5 adapts at 0.05 per frame.
    AddNumber(tone, "AdaptationRate", tr("Adaptation speed"), 0.0, 10.0,
              [](const FrameSettings& s) { return s.post.AdaptationRate * 10.0; },
              [](FrameSettings& s, double v) { s.post.AdaptationRate = float(v * 0.1); });
    AddNumber(tone, "BloomThreshold", tr("Bloom threshold"), 0.0, 100.0, [](const FrameSettings& s) { return s.post.BloomThreshold; },
              [](FrameSettings& s, double v) { s.post.BloomThreshold = float(v); });
    AddNumber(tone, "BloomStrength", tr("Bloom strength"), 0.0, 10.0, [](const FrameSettings& s) { return s.post.BloomStrength; },
              [](FrameSettings& s, double v) { s.post.BloomStrength = float(v); });
    AddNumber(tone, "Exposure", tr("Exposure"), 0.0, 64.0, [](const FrameSettings& s) { return s.post.Exposure; },
              [](FrameSettings& s, double v) { s.post.Exposure = float(v); });

    QFormLayout* post = AddGroup(tr("Anti-aliasing and post effects"));
    m_fxaa = AddFlag(post, "FxaaEnable", tr("FXAA"), [](const FrameSettings& s) { return s.render.FxaaEnable; },
                     [](FrameSettings& s, bool on) { s.render.FxaaEnable = on; });
    m_taa = AddFlag(post, "TaaEnable", tr("Temporal anti-aliasing"), [](const FrameSettings& s) { return s.render.TaaEnable; },
                    [this](FrameSettings& s, bool on) {
                        s.render.TaaEnable = on;
                        // The two anti-aliasing passes never run together: TAA switches FXAA off.
                        if (on) s.render.FxaaEnable = false;
                    });
    AddNumber(post, "TaaSpeedExponent", tr("TAA speed exponent"), 0.0, 10.0, [](const FrameSettings& s) { return s.post.TaaSpeedExponent; },
              [](FrameSettings& s, double v) { s.post.TaaSpeedExponent = float(v); });
    AddFlag(post, "DofEnable", tr("Depth of field"), [](const FrameSettings& s) { return s.render.DofEnable; },
            [](FrameSettings& s, bool on) { s.render.DofEnable = on; });
    AddFlag(post, "DofAutoFocus", tr("Auto focus"), [](const FrameSettings& s) { return s.post.DofAutoFocus != 0; },
            [](FrameSettings& s, bool on) { s.post.DofAutoFocus = on ? 1 : 0; });
    AddNumber(post, "DofFocusDistance", tr("Focus distance"), 0.0, 100000.0, [](const FrameSettings& s) { return s.post.DofFocusDistance; },
              [](FrameSettings& s, double v) { s.post.DofFocusDistance = float(v); });
    AddNumber(post, "DofFNumber", tr("F-number"), 0.1, 64.0, [](const FrameSettings& s) { return s.post.DofFNumber; },
              [](FrameSettings& s, double v) { s.post.DofFNumber = float(v); });
    AddNumber(post, "DofFocalLength", tr("Focal length"), 0.001, 10.0, [](const FrameSettings& s) { return s.post.DofFocalLength; },
              [](FrameSettings& s, double v) { s.post.DofFocalLength = float(v); });
    AddNumber(post, "MotionBlurLength", tr("Motion blur length"), 0.0, 10.0, [](const FrameSettings& s) { return s.render.MotionBlurLength; },
              [](FrameSettings& s, double v) { s.render.MotionBlurLength = float(v); });
    AddFlag(post, "LensFlareEnable", tr("Lens flare"), [](const FrameSettings& s) { return s.render.LensFlareEnable; },
            [](FrameSettings& s, bool on) { s.render.LensFlareEnable = on; });
    AddNumber(post, "SoftenStrength", tr("Soften"), 0.0, 1.0, [](const FrameSettings& s) { return s.post.SoftenStrength; },
              [](FrameSettings& s, double v) { s.post.SoftenStrength = float(v); });
    AddNumber(post, "SharpenAmount", tr("Sharpen"), 0.0, 1.0, [](const FrameSettings& s) { return s.post.SharpenAmount; },
              [](FrameSettings& s, double v) { s.post.SharpenAmount = float(v); });
    AddNumber(post, "VignetteAmount", tr("Vignette"), 0.0, 1.0, [](const FrameSettings& s) { return s.post.VignetteAmount; },
              [](FrameSettings& s, double v) { s.post.VignetteAmount = float(v); });
    AddNumber(post, "ColorFilterStrength", tr("Colour filter strength"), 0.0, 1.0,
              [](const FrameSettings& s) { return s.post.ColorFilterStrength; },
              [](FrameSettings& s, double v) { s.post.ColorFilterStrength = float(v); });

    QFormLayout* volume = AddGroup(tr("Volumetric light"));
    AddFlag(volume, "VolumetricLightEnable", tr("Volumetric light"), [](const FrameSettings& s) { return s.render.VolumetricLightEnable; },
            [](FrameSettings& s, bool on) { s.render.VolumetricLightEnable = on; });

    QFormLayout* ocean = AddGroup(tr("Ocean"));
    AddFlag(ocean, "OceanEnable", tr("Ocean"), [](const FrameSettings& s) { return s.render.OceanEnable; },
            [](FrameSettings& s, bool on) { s.render.OceanEnable = on; });
    AddNumber(ocean, "SEA_HEIGHT", tr("Wave height"), 0.0, 10.0, [](const FrameSettings& s) { return s.render.ocean.SEA_HEIGHT; },
              [](FrameSettings& s, double v) { s.render.ocean.SEA_HEIGHT = float(v); });
    AddNumber(ocean, "SEA_CHOPPY", tr("Choppiness"), 0.0, 20.0, [](const FrameSettings& s) { return s.render.ocean.SEA_CHOPPY; },
              [](FrameSettings& s, double v) { s.render.ocean.SEA_CHOPPY = float(v); });
    AddNumber(ocean, "SEA_SPEED", tr("Wave speed"), 0.0, 10.0, [](const FrameSettings& s) { return s.render.ocean.SEA_SPEED; },
              [](FrameSettings& s, double v) { s.render.ocean.SEA_SPEED = float(v); });
    AddNumber(ocean, "SEA_FREQ", tr("Wave frequency"), 0.0, 10.0, [](const FrameSettings& s) { return s.render.ocean.SEA_FREQ; },
              [](FrameSettings& s, double v) { s.render.ocean.SEA_FREQ = float(v); });
    AddNumber(ocean, "SEA_SURFACE_HEIGHT", tr("Surface height"), -10000.0, 10000.0,
              [](const FrameSettings& s) { return s.render.ocean.SEA_SURFACE_HEIGHT; },
              [](FrameSettings& s, double v) { s.render.ocean.SEA_SURFACE_HEIGHT = float(v); });
    AddColour(ocean, "SEA_BASE", tr("Deep colour (r, g, b)"), [](FrameSettings& s) -> Math::vec3& { return s.render.ocean.SEA_BASE; });
    AddColour(ocean, "SEA_WATER_COLOR", tr("Water colour (r, g, b)"),
              [](FrameSettings& s) -> Math::vec3& { return s.render.ocean.SEA_WATER_COLOR; });

    // FXAA follows TAA: switched off (through its own handler) and locked while TAA runs.
    connect(m_taa, &QCheckBox::toggled, this, [this](bool on) {
        if (on) m_fxaa->setChecked(false);
        m_fxaa->setEnabled(!on);
    });
    static_cast<QVBoxLayout*>(m_groups->layout())->addStretch(1);
    ShowCurrentValues();
}

QFormLayout* RenderSettingsEditor::AddGroup(const QString& title) {
    auto* group = new QGroupBox(title, m_groups);
    m_groups->layout()->addWidget(group);
    return new QFormLayout(group);
}

void RenderSettingsEditor::AddNumber(QFormLayout* form, const QString& name, const QString& label, double min, double max, Read read,
                                     Write write) {
    auto* box = new QLineEdit(form->parentWidget());
    box->setObjectName(name);
    box->setToolTip(tr("A number from %1 to %2").arg(ShowNumber(min), ShowNumber(max)));
    form->addRow(label, box);
    m_numbers.push_back({box, label, min, max, std::move(read), std::move(write)});
    const size_t index = m_numbers.size() - 1;
    connect(box, &QLineEdit::editingFinished, this, [this, index] { CommitNumber(m_numbers[index]); });
}

QCheckBox* RenderSettingsEditor::AddFlag(QFormLayout* form, const QString& name, const QString& label, ReadFlag read, WriteFlag write) {
    auto* box = new QCheckBox(label, form->parentWidget());
    box->setObjectName(name);
    form->addRow(box);
    m_flags.push_back({box, std::move(read)});
    connect(box, &QCheckBox::toggled, this,
            [this, write = std::move(write)](bool on) { m_settings.Edit([&](FrameSettings& s) { write(s, on); }); });
    return box;
}

void RenderSettingsEditor::AddColour(QFormLayout* form, const QString& name, const QString& label, Colour field) {
    auto* box = new QLineEdit(form->parentWidget());
    box->setObjectName(name);
    box->setToolTip(tr("Red, green and blue, each from 0 to 1"));
    form->addRow(label, box);
    m_colours.push_back({box, label, std::move(field)});
    const size_t index = m_colours.size() - 1;
    connect(box, &QLineEdit::editingFinished, this, [this, index] { CommitColour(m_colours[index]); });
}

void RenderSettingsEditor::AddMode(QFormLayout* form, const QString& name, const QString& label, const QStringList& items,
                                   int raytracedIndex, std::function<int32_t&(FrameSettings&)> field) {
    auto* list = new QComboBox(form->parentWidget());
    list->setObjectName(name);
    list->addItems(items);
    form->addRow(label, list);
    m_modes.push_back({list, raytracedIndex, std::move(field)});
    const size_t index = m_modes.size() - 1;
    connect(list, &QComboBox::currentIndexChanged, this, [this, index](int item) { ChooseMode(m_modes[index], item); });
}

void RenderSettingsEditor::CommitNumber(const NumberRow& row) {
    double value = 0.0;
    const QString text = row.box->text();
    if (!ParseTypedNumber(text, value)) {
        Refuse(row.box, tr("%1: \"%2\" is not a number.").arg(row.label, text.trimmed()));
        return;
    }
    if (value < row.min || value > row.max) {
        Refuse(row.box, tr("%1 must be between %2 and %3.").arg(row.label, ShowNumber(row.min), ShowNumber(row.max)));
        return;
    }
    m_settings.Edit([&](FrameSettings& s) { row.write(s, value); });
    Accept(row.box);
}

void RenderSettingsEditor::CommitColour(const ColourRow& row) {
    const QStringList parts = row.box->text().split(',');
    Math::vec3 colour;
    bool good = parts.size() == 3;
    for (int i = 0; good && i < 3; ++i) {
        double value = 0.0;
        good = ParseTypedNumber(parts[i], value) && value >= 0.0 && value <= 1.0;
        colour[i] = float(value);
    }
    if (!good) {
        Refuse(row.box, tr("%1 needs three numbers from 0 to 1, separated by commas.").arg(row.label));
        return;
    }
    m_settings.Edit([&](FrameSettings& s) { row.field(s) = colour; });
    Accept(row.box);
}

void RenderSettingsEditor::ChooseMode(const ModeRow& row, int index) {
    if (index == row.raytracedIndex && !m_raytracing) {
        const QString message = tr("No Vulkan ray tracing support found");
        MessageLog::Instance().AppendUtf8(message.toStdString());
        FrameSettings current = m_settings.Snapshot();
        const QSignalBlocker quiet(row.list);
        row.list->setCurrentIndex(row.field(current));
        m_error->setText(message);
        return;
    }
    if (index < 0) return;
    m_settings.Edit([&](FrameSettings& s) { row.field(s) = index; });
    m_error->clear();
}

void RenderSettingsEditor::Refuse(QWidget* field, const QString& message) {
    MarkField(field, true);
    m_error->setText(message);
}

void RenderSettingsEditor::Accept(QWidget* field) {
    MarkField(field, false);
    m_error->clear();
}

void RenderSettingsEditor::WriteSunDirection(FrameSettings& s) const {
    const Math::vec3 d = SunDirectionFromAngles(m_sunAzimuth, m_sunElevation);
    s.render.config.SunDirection = d;
    // The lens flare's sun sits far along the same direction.
    s.post.LensFlareSunPosition = {d.x * 10000.0f, d.y * 10000.0f, d.z * 10000.0f};
}

void RenderSettingsEditor::ShowCurrentValues() {
    FrameSettings current = m_settings.Snapshot();
    for (const NumberRow& row : m_numbers) {
        row.box->setText(ShowNumber(row.read(current)));
        MarkField(row.box, false);
    }
    for (const ColourRow& row : m_colours) {
        row.box->setText(ShowColour(row.field(current)));
        MarkField(row.box, false);
    }
    for (const FlagRow& row : m_flags) {
        const QSignalBlocker quiet(row.box);
        row.box->setChecked(row.read(current));
    }
    for (const ModeRow& row : m_modes) {
        const QSignalBlocker quiet(row.list);
        row.list->setCurrentIndex(row.field(current));
    }
    m_fxaa->setEnabled(!current.render.TaaEnable);
    // The sun's angles are the first two rows.
    m_sunAzimuth = m_numbers[0].read(current);
    m_sunElevation = m_numbers[1].read(current);
    m_error->clear();
}

void RenderSettingsEditor::ResetToDefaults() {
    m_settings.Edit([](FrameSettings& s) {
        FrameSettings defaults;
        defaults.render.ExportWidth = s.render.ExportWidth;
        defaults.render.ExportHeight = s.render.ExportHeight;
        defaults.render.forceFreeCamera = s.render.forceFreeCamera;
        s = defaults;
    });
    ShowCurrentValues();
}

QString RenderSettingsEditor::ErrorText() const { return m_error->text(); }

}  // namespace TavrinApp
