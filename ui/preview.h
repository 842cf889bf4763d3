// SPDX-License-Identifier: GPL-3.0-or-later
// The flat preview of the mesh: every point as a red dot at (x, y), every face as its outline
// (removed and rebuilt faces alike), and, for a selected point other than 0, a crosshair through
// each of its connections and a red one through the point itself, drawn last. z plays no part.
// Drawn in user units onto any surface that can clear, plot and draw lines.
#pragma once

#include <functional>
#include <string>

#include <cstdint>

#include "model/mesh.h"

namespace meshthin {

struct Rgb {
    int red = 0;
    int green = 0;
    int blue = 0;
};

inline constexpr Rgb kPointColour{255, 0, 0};

// The picture area in user units: x from -50 over this width, y from -50 (top) over this height,
// y growing downwards.
inline constexpr float kPreviewLeft = -50.0f;
inline constexpr float kPreviewTop = -50.0f;
inline constexpr float kPreviewWidth = 66.74890899658203f;
inline constexpr float kPreviewHeight = 51.150203704833984f;

class Canvas {
public:
    virtual ~Canvas() = default;
    virtual void clear() = 0;
    virtual void plot(float x, float y, Rgb colour) = 0;
    // A line in the area's foreground colour.
    virtual void line(float x1, float y1, float x2, float y2) = 0;
    virtual void line(float x1, float y1, float x2, float y2, Rgb colour) = 0;
};

// Draws mesh as it is. Expects a loaded mesh; positions holding -1 are left out of a face's
// outline, and a face without positions draws nothing. message shows Face::getX's note on
// point 0.
void drawPreview(Canvas& canvas, const Mesh& mesh, PointNumber selectedPoint,
                 const std::function<void(const std::string&)>& message);

}  // namespace meshthin
