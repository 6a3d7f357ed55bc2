#include "app/ResultMarks.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace result_marks {

namespace {

struct Stroke {
    float x1, y1, x2, y2;
};

float DistanceToSegment(float px, float py, const Stroke& s) {
    float dx = s.x2 - s.x1, dy = s.y2 - s.y1;
    float t = std::clamp(((px - s.x1) * dx + (py - s.y1) * dy) / (dx * dx + dy * dy), 0.0f, 1.0f);
    float nx = s.x1 + t * dx - px, ny = s.y1 + t * dy - py;
    return std::sqrt(nx * nx + ny * ny);
}

// Thick strokes with a one-pixel soft edge, so the marks read well at 13 pixels.
std::vector<uint32_t> Draw(std::initializer_list<Stroke> strokes, uint32_t rgb, float halfWidth) {
    std::vector<uint32_t> pixels(Size * Size, 0);
    for (int y = 0; y < Size; ++y)
        for (int x = 0; x < Size; ++x) {
            float distance = 1e9f;
            for (const Stroke& s : strokes) distance = std::min(distance, DistanceToSegment(x + 0.5f, y + 0.5f, s));
            float coverage = std::clamp(halfWidth + 0.5f - distance, 0.0f, 1.0f);
            auto alpha = static_cast<uint32_t>(std::lround(coverage * 255.0f));
            if (alpha) pixels[y * Size + x] = (alpha << 24) | rgb;
        }
    return pixels;
}

}  // namespace

std::vector<uint32_t> CheckMark() { return Draw({{1.5f, 7.0f, 5.0f, 10.5f}, {5.0f, 10.5f, 11.5f, 2.5f}}, 0x00A000, 1.2f); }

std::vector<uint32_t> Cross() { return Draw({{2.5f, 2.5f, 10.5f, 10.5f}, {10.5f, 2.5f, 2.5f, 10.5f}}, 0xD00000, 1.1f); }

}  // namespace result_marks
