// Writes the built-in environment "<Sample>": a 2048 x 1024 equirectangular Radiance (RGBE,
// run-length encoded) image of a clear afternoon sky over open land, and a C++ source that
// carries the file inside the program.
//
// The sky is single scattering in a spherical atmosphere (Rayleigh and Mie, exponential density
// profiles, the light's own extinction towards the sun), computed per view elevation and
// azimuth from the sun and interpolated across azimuth. The sun (0.75 degrees in radius, limb
// darkened) carries the solar irradiance attenuated along its path, so an object lit by the
// image receives the sun's light from the sun's direction. Below the horizon lies Lambertian
// ground, lit by the attenuated sun and by the sky, its albedo varied by noise, seen through the
// air between it and the viewer. The sun stands where the renderer's default sun direction
// (1, 1, 1) points. Pixel (column, row) looks along the direction the renderer's EquirectUv maps
// to ((column + 0.5) / 2048, (row + 0.5) / 1024).
//
// The renderer writes its colours to the screen as they are, with no transfer curve (a material
// reproduces its texture's colours), so the image holds display values: the sky and the ground
// are exposed and encoded with a 1/2.2 power. The sun's disc is then added far above white, with
// the radiance that gives a surface facing it a third of what the sky gives one facing up.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 2048, kHeight = 1024;
constexpr double kPi = 3.14159265358979323846;

struct Vec {
    double x = 0, y = 0, z = 0;
};
Vec operator+(Vec a, Vec b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
Vec operator*(Vec a, double s) { return {a.x * s, a.y * s, a.z * s}; }
Vec operator*(Vec a, Vec b) { return {a.x * b.x, a.y * b.y, a.z * b.z}; }
double Dot(Vec a, Vec b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
Vec Normalize(Vec a) { return a * (1.0 / std::sqrt(Dot(a, a))); }
Vec Exp(Vec a) { return {std::exp(a.x), std::exp(a.y), std::exp(a.z)}; }

// The atmosphere, in metres.
constexpr double kEarthRadius = 6360e3, kAtmosphereRadius = 6420e3, kViewerHeight = 2.0;
constexpr double kRayleighHeight = 7994.0, kMieHeight = 1200.0, kMieG = 0.76;
const Vec kRayleigh{5.8e-6, 13.5e-6, 33.1e-6};
constexpr double kMie = 21e-6;
// Solar irradiance (the unit the image is scaled in afterwards), the sun's angular radius.
constexpr double kSunIrradiance = 20.0;
constexpr double kSunRadius = 0.75 * kPi / 180.0;
// Light scattered more than once, which single scattering leaves out, roughly doubles a clear
// sky's radiance and whitens it towards the horizon, where the paths are long.
constexpr double kMultipleScattering = 2.0;
constexpr double kHorizonWhitening = 0.6;
// Exposure before the display encoding, and the sun disc's radiance (display units).
constexpr double kExposure = 0.5;
constexpr double kDisplayGamma = 1.0 / 2.2;
constexpr double kSunDiscRadiance = 1700.0;

const Vec kSunDirection = Normalize({1, 1, 1});

// Distance along `dir` from `origin` to the sphere of `radius` around the planet's centre
// (the far intersection), or -1 when the ray misses it.
double SphereExit(Vec origin, Vec dir, double radius) {
    const double b = Dot(origin, dir), c = Dot(origin, origin) - radius * radius;
    const double d = b * b - c;
    if (d < 0) return -1;
    return -b + std::sqrt(d);
}

// Distance to the ground along `dir`, or -1 when the ray never reaches it.
double GroundHit(Vec origin, Vec dir) {
    const double b = Dot(origin, dir), c = Dot(origin, origin) - kEarthRadius * kEarthRadius;
    const double d = b * b - c;
    if (d < 0 || b > 0) return -1;
    const double t = -b - std::sqrt(d);
    return t > 0 ? t : -1;
}

// Optical depths (Rayleigh, Mie) from `p` to the top of the atmosphere towards the sun; false
// when the planet is in the way.
bool LightDepth(Vec p, double& rayleigh, double& mie) {
    constexpr int kSteps = 6;
    rayleigh = mie = 0;
    if (GroundHit(p, kSunDirection) > 0) return false;
    const double length = SphereExit(p, kSunDirection, kAtmosphereRadius);
    const double ds = length / kSteps;
    for (int i = 0; i < kSteps; ++i) {
        const Vec q = p + kSunDirection * ((i + 0.5) * ds);
        const double h = std::sqrt(Dot(q, q)) - kEarthRadius;
        rayleigh += std::exp(-h / kRayleighHeight) * ds;
        mie += std::exp(-h / kMieHeight) * ds;
    }
    return true;
}

Vec Extinction(double rayleighDepth, double mieDepth) { return Exp((kRayleigh * rayleighDepth + Vec{1, 1, 1} * (kMie * 1.1 * mieDepth)) * -1.0); }

struct Scattering {
    Vec inscatter;      // light scattered towards the viewer along the ray
    Vec transmittance;  // of the whole ray
    double distance;    // to the ground, or -1 for the sky
};

Scattering Scatter(Vec dir) {
    constexpr int kSteps = 14;
    const Vec origin{0, kEarthRadius + kViewerHeight, 0};
    const double ground = GroundHit(origin, dir);
    const double length = ground > 0 ? ground : SphereExit(origin, dir, kAtmosphereRadius);
    const double ds = length / kSteps;
    double depthR = 0, depthM = 0;
    Vec sumR, sumM;
    for (int i = 0; i < kSteps; ++i) {
        const Vec p = origin + dir * ((i + 0.5) * ds);
        const double h = std::sqrt(Dot(p, p)) - kEarthRadius;
        const double r = std::exp(-h / kRayleighHeight) * ds, m = std::exp(-h / kMieHeight) * ds;
        depthR += r;
        depthM += m;
        double lightR = 0, lightM = 0;
        if (!LightDepth(p, lightR, lightM)) continue;
        const Vec attenuation = Extinction(depthR + lightR, depthM + lightM);
        sumR = sumR + attenuation * r;
        sumM = sumM + attenuation * m;
    }
    const double mu = Dot(dir, kSunDirection);
    const double phaseR = 3.0 / (16.0 * kPi) * (1 + mu * mu);
    const double g2 = kMieG * kMieG;
    const double phaseM = 3.0 / (8.0 * kPi) * ((1 - g2) * (1 + mu * mu)) / ((2 + g2) * std::pow(1 + g2 - 2 * kMieG * mu, 1.5));
    Scattering s;
    s.inscatter = (sumR * kRayleigh * phaseR + Vec{1, 1, 1} * (kMie * phaseM) * sumM) * kSunIrradiance;
    s.transmittance = Extinction(depthR, depthM);
    s.distance = ground;
    return s;
}

// Smooth value noise in 0 .. 1 (integer hashing only).
double Hash(int x, int y) {
    uint32_t h = uint32_t(x) * 374761393u + uint32_t(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return double((h ^ (h >> 16)) & 0xffffff) / double(0xffffff);
}
double Noise(double x, double y) {
    const int ix = int(std::floor(x)), iy = int(std::floor(y));
    const double fx = x - ix, fy = y - iy;
    const double ux = fx * fx * (3 - 2 * fx), uy = fy * fy * (3 - 2 * fy);
    const double a = Hash(ix, iy), b = Hash(ix + 1, iy), c = Hash(ix, iy + 1), d = Hash(ix + 1, iy + 1);
    return (a + (b - a) * ux) + ((c + (d - c) * ux) - (a + (b - a) * ux)) * uy;
}
double Fbm(double x, double y) {
    double sum = 0, amplitude = 0.5;
    for (int i = 0; i < 5; ++i, amplitude *= 0.5, x *= 2.03, y *= 2.03) sum += amplitude * Noise(x, y);
    return sum;
}

Vec Direction(int column, int row) {
    // The inverse of u = fract(-atan2(x, z) / 2pi), v = acos(y) / pi.
    const double u = (column + 0.5) / kWidth, v = (row + 0.5) / kHeight;
    const double azimuth = -2.0 * kPi * u, polar = kPi * v;
    return {std::sin(polar) * std::sin(azimuth), std::cos(polar), std::sin(polar) * std::cos(azimuth)};
}

void ToRgbe(Vec c, uint8_t out[4]) {
    const double v = std::max({c.x, c.y, c.z});
    if (v < 1e-32) {
        out[0] = out[1] = out[2] = out[3] = 0;
        return;
    }
    int e = 0;
    const double scale = std::frexp(v, &e) * 256.0 / v;
    out[0] = uint8_t(std::min(255.0, c.x * scale));
    out[1] = uint8_t(std::min(255.0, c.y * scale));
    out[2] = uint8_t(std::min(255.0, c.z * scale));
    out[3] = uint8_t(e + 128);
}

// One component of one scanline, run-length encoded: runs of 4 or more equal bytes as
// (128 + count, value), everything else as (count, bytes...).
void EncodeComponent(const std::vector<uint8_t>& data, std::string& out) {
    size_t i = 0;
    const size_t n = data.size();
    while (i < n) {
        size_t run = 1;
        while (i + run < n && run < 127 && data[i + run] == data[i]) ++run;
        if (run >= 4) {
            out += char(128 + run);
            out += char(data[i]);
            i += run;
            continue;
        }
        // Literal bytes up to the next run of four (or 128 bytes).
        size_t literal = 0;
        while (i + literal < n && literal < 128) {
            size_t ahead = 1;
            while (i + literal + ahead < n && ahead < 4 && data[i + literal + ahead] == data[i + literal]) ++ahead;
            if (ahead >= 4) break;
            ++literal;
        }
        out += char(literal);
        out.append(reinterpret_cast<const char*>(&data[i]), literal);
        i += literal;
    }
}

uint64_t Fnv1a(const std::string& bytes) {
    uint64_t h = 1469598103934665603ull;
    for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
    return h;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_sample_environment <output.hdr> <output.cpp>\n");
        return 2;
    }

    // The sky depends on the view elevation and the azimuth away from the sun: computed on a
    // table of each image row by 257 azimuth steps (0 .. pi), then interpolated.
    constexpr int kAzimuthSteps = 256;
    const double sunAzimuth = std::atan2(kSunDirection.x, kSunDirection.z);
    std::vector<Scattering> table(size_t(kHeight) * (kAzimuthSteps + 1));
    for (int row = 0; row < kHeight; ++row) {
        const double polar = kPi * (row + 0.5) / kHeight;
        for (int a = 0; a <= kAzimuthSteps; ++a) {
            const double azimuth = sunAzimuth + kPi * a / kAzimuthSteps;
            const Vec dir{std::sin(polar) * std::sin(azimuth), std::cos(polar), std::sin(polar) * std::cos(azimuth)};
            table[size_t(row) * (kAzimuthSteps + 1) + a] = Scatter(dir);
        }
    }
    // What reaches the ground: the sun through the whole atmosphere, and the sky (as the mean of
    // the upper hemisphere's radiance times pi, a plain but plausible estimate).
    double lightR = 0, lightM = 0;
    LightDepth({0, kEarthRadius, 0}, lightR, lightM);
    const Vec sunAtGround = Extinction(lightR, lightM) * kSunIrradiance;
    Vec skyMean;
    double skyWeight = 0;
    for (int row = 0; row < kHeight / 2; ++row) {
        const double polar = kPi * (row + 0.5) / kHeight;
        for (int a = 0; a <= kAzimuthSteps; ++a) {
            const double w = std::sin(polar) * std::cos(polar);
            skyMean = skyMean + table[size_t(row) * (kAzimuthSteps + 1) + a].inscatter * w;
            skyWeight += w;
        }
    }
    const Vec skyAtGround = skyMean * (kPi / skyWeight);
    const Vec groundLight = sunAtGround * kSunDirection.y + skyAtGround;
    const double sunBrightest = std::max({sunAtGround.x, sunAtGround.y, sunAtGround.z});
    const Vec sunTint = sunAtGround * (1.0 / sunBrightest);

    std::vector<uint8_t> rgbe(size_t(kWidth) * kHeight * 4);
    for (int row = 0; row < kHeight; ++row)
        for (int column = 0; column < kWidth; ++column) {
            const Vec dir = Direction(column, row);
            double away = std::atan2(dir.x, dir.z) - sunAzimuth;
            away = std::fabs(std::remainder(away, 2 * kPi)) / kPi * kAzimuthSteps;
            const int a0 = std::min(int(away), kAzimuthSteps - 1);
            const double f = away - a0;
            const Scattering& s0 = table[size_t(row) * (kAzimuthSteps + 1) + a0];
            const Scattering& s1 = table[size_t(row) * (kAzimuthSteps + 1) + a0 + 1];
            Vec color = (s0.inscatter * (1 - f) + s1.inscatter * f) * kMultipleScattering;
            double disc = 0;
            {
                const double grey = (color.x + color.y + color.z) / 3.0;
                const double w = kHorizonWhitening * std::exp(-std::fabs(dir.y) * 10.0);
                color = color * (1 - w) + Vec{grey, grey, grey} * w;
            }
            if (s0.distance > 0) {
                // Ground: grass and bare soil in patches, finer towards the horizon.
                const double gx = dir.x / std::max(-dir.y, 1e-3), gz = dir.z / std::max(-dir.y, 1e-3);
                const double patch = Fbm(gx * 0.9 + 11.0, gz * 0.9 - 7.0);
                const Vec grass{0.06, 0.10, 0.035}, soil{0.15, 0.12, 0.08};
                const Vec albedo = grass * (1 - patch) + soil * patch;
                const Vec transmittance = s0.transmittance * (1 - f) + s1.transmittance * f;
                color = color + albedo * groundLight * transmittance * (1.0 / kPi);
            } else {
                // The sun's disc, limb darkened, coloured by what the air lets through.
                const double angle = std::acos(std::clamp(Dot(dir, kSunDirection), -1.0, 1.0));
                if (angle < kSunRadius) {
                    const double mu = std::sqrt(1 - (angle / kSunRadius) * (angle / kSunRadius));
                    disc = (1 - 0.6 * (1 - mu)) / 0.8;  // mean 1 over the disc
                }
            }
            Vec display{std::pow(color.x * kExposure, kDisplayGamma), std::pow(color.y * kExposure, kDisplayGamma),
                        std::pow(color.z * kExposure, kDisplayGamma)};
            if (disc > 0) display = display + sunTint * (disc * kSunDiscRadiance);
            ToRgbe(display, &rgbe[(size_t(row) * kWidth + column) * 4]);
        }

    std::string file = "#?RADIANCE\n# Tavrin sample sky: clear afternoon, single scattering\nFORMAT=32-bit_rle_rgbe\n\n";
    file += "-Y " + std::to_string(kHeight) + " +X " + std::to_string(kWidth) + "\n";
    std::vector<uint8_t> component(kWidth);
    for (int row = 0; row < kHeight; ++row) {
        file += char(2);
        file += char(2);
        file += char(kWidth >> 8);
        file += char(kWidth & 0xff);
        for (int c = 0; c < 4; ++c) {
            for (int column = 0; column < kWidth; ++column) component[column] = rgbe[(size_t(row) * kWidth + column) * 4 + c];
            EncodeComponent(component, file);
        }
    }

    FILE* hdr = std::fopen(argv[1], "wb");
    if (!hdr || std::fwrite(file.data(), 1, file.size(), hdr) != file.size() || std::fclose(hdr) != 0) {
        std::perror(argv[1]);
        return 1;
    }
    // The source takes the file in with the assembler's .incbin; the file's hash is written
    // into it, so a changed image also changes the source (and no compiler cache keeps the old).
    std::string path = argv[1], escaped;
    for (char c : path) {
        if (c == '\\' || c == '"') escaped += '\\';
        escaped += c;
    }
    FILE* cpp = std::fopen(argv[2], "wb");
    if (!cpp) {
        std::perror(argv[2]);
        return 1;
    }
    std::fprintf(cpp,
                 "// Generated by tools/generators/make_sample_environment.cpp. Do not edit.\n"
                 "// Image hash (FNV-1a): %016llx\n"
                 "#include \"assets/SampleEnvironment.h\"\n\n"
                 "extern \"C\" const unsigned char tavrin_sample_environment_hdr[];\n"
                 "__asm__(\".pushsection .rodata\\n\"\n"
                 "        \".balign 16\\n\"\n"
                 "        \".global tavrin_sample_environment_hdr\\n\"\n"
                 "        \"tavrin_sample_environment_hdr:\\n\"\n"
                 "        \".incbin \\\"%s\\\"\\n\"\n"
                 "        \".byte 0\\n\"\n"
                 "        \".popsection\\n\");\n\n"
                 "namespace Assets {\n"
                 "const unsigned char* const kSampleEnvironmentHdr = tavrin_sample_environment_hdr;\n"
                 "const size_t kSampleEnvironmentHdrSize = %zu;\n"
                 "}  // namespace Assets\n",
                 static_cast<unsigned long long>(Fnv1a(file)), escaped.c_str(), file.size());
    if (std::fclose(cpp) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
