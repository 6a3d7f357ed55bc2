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

// Thick strokes with a one-pixel soft edge, so the marks read well at 13 pixels. The strokes are
// given on the 13-pixel grid and drawn at size pixels, the edge staying one pixel soft.
std::vector<uint32_t> Draw(int size, std::initializer_list<Stroke> strokes, uint32_t rgb, float halfWidth) {
    const float scale = static_cast<float>(size) / Size;
    std::vector<uint32_t> pixels(static_cast<size_t>(size) * size, 0);
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            float distance = 1e9f;
            for (const Stroke& s : strokes)
                distance = std::min(distance, DistanceToSegment((x + 0.5f) / scale, (y + 0.5f) / scale, s) * scale);
            float coverage = std::clamp(halfWidth * scale + 0.5f - distance, 0.0f, 1.0f);
            auto alpha = static_cast<uint32_t>(std::lround(coverage * 255.0f));
            if (alpha) pixels[static_cast<size_t>(y) * size + x] = (alpha << 24) | rgb;
        }
    return pixels;
}

}  // namespace

std::vector<uint32_t> CheckMark(int size) {
    return Draw(size, {{1.5f, 7.0f, 5.0f, 10.5f}, {5.0f, 10.5f, 11.5f, 2.5f}}, 0x00A000, 1.2f);
}

std::vector<uint32_t> Cross(int size) {
    return Draw(size, {{2.5f, 2.5f, 10.5f, 10.5f}, {10.5f, 2.5f, 2.5f, 10.5f}}, 0xD00000, 1.1f);
}

}  // namespace result_marks
