// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/view_blocks.h"

#include <algorithm>
#include <limits>

namespace meshthin {

ViewBlocks sortIntoBlocks(std::vector<uint32_t>& indices, int corners,
                          const std::vector<float>& positions, glm::vec3 boxLow, glm::vec3 boxHigh,
                          int perSide) {
    ViewBlocks blocks;
    const auto per = static_cast<size_t>(corners);
    const size_t primitives = indices.size() / per;
    if (primitives == 0) {
        return blocks;
    }
    const glm::vec3 size = glm::max(boxHigh - boxLow, glm::vec3(1e-6f));
    const float edge = std::max({size.x, size.y, size.z}) / static_cast<float>(perSide);
    const glm::ivec3 cells = glm::ivec3(glm::floor(size / edge)) + 1;
    const auto positionOf = [&positions](uint32_t point) {
        return glm::vec3(positions[3 * size_t{point}], positions[3 * size_t{point} + 1],
                         positions[3 * size_t{point} + 2]);
    };
    const auto blockOf = [&](uint32_t point) {
        const glm::vec3 p = positionOf(point);
        const glm::ivec3 c =
            glm::clamp(glm::ivec3(glm::floor((p - boxLow) / edge)), glm::ivec3(0), cells - 1);
        return static_cast<size_t>(c.x + cells.x * (c.y + cells.y * c.z));
    };
    const size_t cellCount = static_cast<size_t>(cells.x) * cells.y * cells.z;

    // Counted, then placed: each block's primitives lie in one run.
    std::vector<uint32_t> first(cellCount + 1, 0);
    std::vector<uint32_t> cellOf(primitives);
    for (size_t t = 0; t < primitives; ++t) {
        cellOf[t] = static_cast<uint32_t>(blockOf(indices[t * per]));
        ++first[cellOf[t] + 1];
    }
    for (size_t c = 0; c < cellCount; ++c) {
        first[c + 1] += first[c];
    }
    std::vector<uint32_t> sorted(indices.size());
    std::vector<uint32_t> next(first.begin(), first.end() - 1);
    constexpr float kFar = std::numeric_limits<float>::max();
    std::vector<glm::vec3> low(cellCount, glm::vec3(kFar));
    std::vector<glm::vec3> high(cellCount, glm::vec3(-kFar));
    for (size_t t = 0; t < primitives; ++t) {
        const uint32_t c = cellOf[t];
        const size_t at = next[c]++;
        for (size_t k = 0; k < per; ++k) {
            const uint32_t point = indices[t * per + k];
            sorted[at * per + k] = point;
            const glm::vec3 p = positionOf(point);
            low[c] = glm::min(low[c], p);
            high[c] = glm::max(high[c], p);
        }
    }
    indices.swap(sorted);
    for (size_t c = 0; c < cellCount; ++c) {
        if (first[c + 1] != first[c]) {
            blocks.start.push_back(first[c]);
            blocks.low.push_back(low[c]);
            blocks.high.push_back(high[c]);
        }
    }
    blocks.start.push_back(static_cast<uint32_t>(primitives));
    return blocks;
}

namespace {

// Whether the box low..high lies wholly outside one of the six sides of the view.
bool outsideView(const glm::mat4& viewProjection, glm::vec3 low, glm::vec3 high) {
    int below[6] = {0, 0, 0, 0, 0, 0};
    for (int k = 0; k < 8; ++k) {
        const glm::vec4 corner((k & 1) != 0 ? high.x : low.x, (k & 2) != 0 ? high.y : low.y,
                               (k & 4) != 0 ? high.z : low.z, 1);
        const glm::vec4 c = viewProjection * corner;
        below[0] += c.x < -c.w ? 1 : 0;
        below[1] += c.x > c.w ? 1 : 0;
        below[2] += c.y < -c.w ? 1 : 0;
        below[3] += c.y > c.w ? 1 : 0;
        below[4] += c.z < -c.w ? 1 : 0;
        below[5] += c.z > c.w ? 1 : 0;
    }
    return std::any_of(std::begin(below), std::end(below), [](int n) { return n == 8; });
}

}  // namespace

size_t runsInView(const ViewBlocks& blocks, int corners, const glm::mat4& viewProjection,
                  std::vector<uint32_t>& firsts, std::vector<int32_t>& counts) {
    firsts.clear();
    counts.clear();
    size_t total = 0;
    const auto per = static_cast<uint32_t>(corners);
    for (size_t b = 0; b < blocks.count(); ++b) {
        if (outsideView(viewProjection, blocks.low[b], blocks.high[b])) {
            continue;
        }
        const uint32_t first = blocks.start[b] * per;
        const uint32_t count = (blocks.start[b + 1] - blocks.start[b]) * per;
        if (!firsts.empty() && firsts.back() + static_cast<uint32_t>(counts.back()) == first) {
            counts.back() += static_cast<int32_t>(count);
        } else {
            firsts.push_back(first);
            counts.push_back(static_cast<int32_t>(count));
        }
        total += count;
    }
    return total;
}

}  // namespace meshthin
