// Renders the sample pictures that ship in samples/: a few made-up scenes in
// different shapes (landscape, portrait, square, panorama), so that the sample
// iPad shows paddings and real-looking thumbnails.
//   makesamples OUTDIR
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "SampleLibrary.h"

using sampleipad::Picture;

namespace {

struct Rgb {
    double r, g, b;
};

Rgb Mix(Rgb a, Rgb b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// A little deterministic grain so the pictures compress like photos.
double Grain(int x, int y) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 73856093u ^ static_cast<std::uint32_t>(y) * 19349663u;
    h ^= h >> 13;
    h *= 0x5bd1e995u;
    h ^= h >> 15;
    return ((h & 0xFF) / 255.0 - 0.5) * 10.0;
}

Picture Render(int w, int h, const std::function<Rgb(double, double)>& scene) {
    Picture p;
    p.Width = w;
    p.Height = h;
    p.Rgb.resize(static_cast<std::size_t>(w) * h * 3);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const Rgb c = scene((x + 0.5) / w, (y + 0.5) / h);
            const double g = Grain(x, y);
            std::uint8_t* px = p.At(x, y);
            px[0] = static_cast<std::uint8_t>(std::clamp(c.r + g, 0.0, 255.0));
            px[1] = static_cast<std::uint8_t>(std::clamp(c.g + g, 0.0, 255.0));
            px[2] = static_cast<std::uint8_t>(std::clamp(c.b + g, 0.0, 255.0));
        }
    }
    return p;
}

// Harbour at sunset: graded sky, a sun, water with ripples, a pier.
Rgb Sunset(double u, double v) {
    const double horizon = 0.58;
    if (std::hypot((u - 0.62) * 1.33, v - 0.45) < 0.08) return {255, 226, 150};
    if (v < horizon) return Mix(Mix({40, 50, 120}, {240, 120, 70}, v / horizon), {255, 190, 110}, (v / horizon - 0.8) * 5);
    if (u > 0.12 && u < 0.16 && v < 0.8) return {50, 35, 30};
    if (v > 0.66 && v < 0.7 && u > 0.05 && u < 0.45) return {70, 50, 40};
    const double ripple = 0.5 + 0.5 * std::sin(v * 180 + std::sin(u * 20) * 2);
    return Mix({30, 40, 80}, {230, 140, 90}, ripple * (1 - (v - horizon) * 2) * 0.7);
}

// Tall forest: fir trees against a pale sky, a path.
Rgb Forest(double u, double v) {
    Rgb c = Mix({200, 225, 240}, {150, 190, 210}, v);
    for (int t = 0; t < 7; ++t) {
        const double cx = 0.07 + t * 0.145 + 0.03 * std::sin(t * 3.1);
        const double top = 0.15 + 0.12 * ((t * 37) % 5) / 4.0;
        const double half = (v - top) * 0.32;
        if (v > top && std::abs(u - cx) < half && v < 0.85) c = Mix({20, 70, 35}, {45, 110, 55}, (t % 3) / 2.0);
    }
    if (v > 0.8) c = Mix({90, 120, 50}, {60, 85, 35}, (v - 0.8) * 5);
    if (v > 0.82 && std::abs(u - 0.5) < (v - 0.82) * 1.2) c = {170, 140, 100};
    return c;
}

// Tiles: a square mosaic floor.
Rgb Tiles(double u, double v) {
    const int tx = static_cast<int>(u * 8), ty = static_cast<int>(v * 8);
    const double fx = u * 8 - tx, fy = v * 8 - ty;
    if (fx < 0.06 || fy < 0.06) return {225, 220, 205};
    static const Rgb palette[] = {{180, 60, 50}, {40, 90, 150}, {220, 170, 60}, {60, 130, 90}, {120, 70, 140}};
    const Rgb base = palette[(tx * 3 + ty * 7 + tx * ty) % 5];
    return Mix(base, {255, 255, 255}, 0.25 * (1 - std::hypot(fx - 0.5, fy - 0.5) * 1.4));
}

// Night panorama: a skyline under stars and a moon.
Rgb Skyline(double u, double v) {
    if (std::hypot((u - 0.85) * 3.1, v - 0.2) < 0.09) return {240, 240, 215};
    const int b = static_cast<int>(u * 40);
    const double height = 0.45 + 0.35 * (((b * 2654435761u) >> 7) % 100) / 100.0;
    if (v > height) {
        const bool window = (static_cast<int>(u * 400) % 4 == 1) && (static_cast<int>(v * 60) % 3 == 1) &&
                            ((static_cast<int>(u * 400) * 31 + static_cast<int>(v * 60) * 17) % 5 < 2);
        return window ? Rgb{250, 210, 120} : Rgb{25, 25, 40};
    }
    const int sx = static_cast<int>(u * 900), sy = static_cast<int>(v * 300);
    if (((sx * 7919 + sy * 104729) % 997) == 0) return {255, 255, 240};
    return Mix({5, 10, 35}, {40, 40, 90}, v / height);
}

// Meadow: green hills, a red house, a blue sky with clouds.
Rgb Meadow(double u, double v) {
    const double hill = 0.55 + 0.08 * std::sin(u * 5.5 + 1) + 0.04 * std::sin(u * 13);
    if (v < hill) {
        const double cloud = std::exp(-std::pow((u - 0.3) * 6, 2) - std::pow((v - 0.2) * 14, 2)) +
                             std::exp(-std::pow((u - 0.7) * 5, 2) - std::pow((v - 0.3) * 16, 2));
        if (u > 0.58 && u < 0.74 && v > hill - 0.15) return v < hill - 0.1 ? Rgb{120, 40, 35} : Rgb{200, 60, 50};
        return Mix(Mix({70, 130, 220}, {170, 210, 245}, v / hill), {250, 250, 250}, cloud);
    }
    const double flowers = (static_cast<int>(u * 200) * 13 + static_cast<int>(v * 150) * 7) % 23 == 0 ? 1 : 0;
    return Mix(Mix({90, 170, 60}, {40, 110, 40}, (v - hill) * 2.5), {240, 220, 60}, flowers);
}

// Door: a narrow red door in a stone wall.
Rgb Door(double u, double v) {
    const int row = static_cast<int>(v * 16);
    const double off = (row % 2) * 0.5;
    const double bx = u * 5 + off;
    const bool mortar = std::fmod(v * 16, 1.0) < 0.08 || std::fmod(bx, 1.0) < 0.05;
    Rgb c = mortar ? Rgb{190, 185, 175} : Mix({140, 130, 120}, {170, 160, 140}, ((row * 7 + static_cast<int>(bx) * 3) % 5) / 4.0);
    if (u > 0.3 && u < 0.7 && v > 0.3) {
        c = Mix({170, 30, 30}, {120, 20, 25}, std::fmod(u * 12, 1.0) < 0.1 ? 1.0 : 0.0);
        if (std::hypot((u - 0.63) * 2, v - 0.65) < 0.02) c = {230, 200, 90};
    }
    return c;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: makesamples OUTDIR\n");
        return 2;
    }
    const std::filesystem::path out(argv[1]);
    std::filesystem::create_directories(out);
    struct Sample {
        const char* name;
        int w, h;
        Rgb (*scene)(double, double);
    };
    const Sample samples[] = {
        {"harbour-sunset.jpg", 640, 480, Sunset}, {"forest-path.jpg", 360, 480, Forest},
        {"mosaic-tiles.jpg", 400, 400, Tiles},    {"night-skyline.jpg", 900, 300, Skyline},
        {"meadow-house.jpg", 512, 384, Meadow},   {"red-door.jpg", 240, 480, Door},
    };
    for (const Sample& s : samples) {
        const std::string bytes = sampleipad::JpegBytes(Render(s.w, s.h, s.scene), 82);
        std::ofstream f(out / s.name, std::ios::binary | std::ios::trunc);
        f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!f) return 1;
        std::printf("%s %zu bytes\n", s.name, bytes.size());
    }
    return 0;
}
