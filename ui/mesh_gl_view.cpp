// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/mesh_gl_view.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>

#include "ui/colour_map.h"

namespace meshthin {

namespace {

constexpr int kSettleMs = 150;            // after the camera's last move, the still picture
constexpr float kMovingCubePixels = 6;    // the coarsest surface drawn while the camera moves
constexpr float kStillCubePixels = 2.5f;  // and once it has stopped
// The most edges in sight that an outline has when it is drawn: a frame of Mesa's software
// renderer draws about this many in 40 ms, next to a surface and marks that take up to 80 ms
// close up at a million points.
constexpr size_t kMostEdgesInSight = 250'000;
constexpr float kPickRadius = 12;  // logical pixels around the cursor
constexpr int kDragStart = 4;      // pixels a press moves before it is a drag, not a click

// --- shaders (OpenGL 3.3 core) ---

// The marks reach the surface as a per-point weight of each kind (kept below, removed), which
// the faces blend between their corners: where the points crowd the screen too closely for dots
// (see marksAsDots), the surface is tinted where points go, and stays in sight.
constexpr const char* kSurfaceVertex = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 1) in float shade;
layout(location = 2) in float mark;
uniform mat4 modelView;
uniform mat4 projection;
out vec3 viewPosition;
out float valueShade;
out vec2 markWeight;
void main() {
    vec4 p = modelView * vec4(position, 1.0);
    viewPosition = p.xyz;
    valueShade = shade;
    markWeight = vec2(mark > 0.5 && mark < 1.5 ? 1.0 : 0.0, mark > 1.5 ? 1.0 : 0.0);
    gl_Position = projection * p;
})";

// Flat shading from the screen-space derivatives: the faces' windings need not agree, and the
// light is the camera's own, so that every face the eye sees is lit.
constexpr const char* kSurfaceFragment = R"(#version 330 core
in vec3 viewPosition;
in float valueShade;
in vec2 markWeight;
uniform vec3 colourMap[11];
uniform vec3 keptBelowColour;
uniform vec3 removedColour;
uniform float tint;
out vec4 colour;
void main() {
    float s = clamp(valueShade, 0.0, 1.0) * 10.0;
    int i = int(min(floor(s), 9.0));
    vec3 base = mix(colourMap[i], colourMap[i + 1], s - float(i));
    base = mix(base, keptBelowColour, tint * 0.7 * markWeight.x);
    base = mix(base, removedColour, tint * markWeight.y);
    vec3 n = normalize(cross(dFdx(viewPosition), dFdy(viewPosition)));
    float light = abs(dot(n, normalize(-viewPosition)));
    colour = vec4(base * (0.45 + 0.55 * light), 1.0);
})";

constexpr const char* kEdgeVertex = R"(#version 330 core
layout(location = 0) in vec3 position;
uniform mat4 modelView;
uniform mat4 projection;
void main() { gl_Position = projection * modelView * vec4(position, 1.0); })";

constexpr const char* kEdgeFragment = R"(#version 330 core
out vec4 colour;
void main() { colour = vec4(0.08, 0.08, 0.1, 1.0); })";

// Every point is a vertex of the point pass; one without a mark is put outside the clip volume.
// A mark is drawn a little in front of its own surface, so that the surface around it does not
// cover it, and behind any other. On a closed surface seen from outside, a point whose surface
// turns clearly away from the eye is hidden by the side facing it: its mark is left out too,
// as the renderer would otherwise draw it only to have the depth test throw it away.
constexpr const char* kMarkVertex = R"(#version 330 core
layout(location = 0) in vec3 position;
layout(location = 2) in float mark;
layout(location = 3) in vec3 outward;
uniform mat4 modelView;
uniform mat4 projection;
uniform int selectedPoint;
uniform float pixelScale;
uniform float removalMark;
uniform bool leaveOutTurnedAway;
uniform vec3 eye;
flat out int kind;
void main() {
    kind = gl_VertexID == selectedPoint ? 3 : int(mark + 0.5);
    vec3 toEye = eye - position;
    if (leaveOutTurnedAway && kind != 3 &&
        dot(outward, toEye) < -0.2 * length(outward) * length(toEye)) {
        kind = 0;
    }
    if (kind == 0) {
        gl_Position = vec4(2.0, 2.0, 2.0, 1.0);
        gl_PointSize = 1.0;
        return;
    }
    vec4 p = projection * modelView * vec4(position, 1.0);
    p.z -= (kind == 2 ? 0.003 : 0.002) * p.w;  // a removal's mark over a fainter one
    gl_Position = p;
    gl_PointSize = (kind == 2 ? removalMark : kind == 1 ? 0.625 * removalMark : 12.0) * pixelScale;
})";

constexpr const char* kMarkFragment = R"(#version 330 core
flat in int kind;
uniform vec3 markColour[4];
out vec4 colour;
void main() {
    vec2 d = gl_PointCoord * 2.0 - 1.0;
    float r = dot(d, d);
    if (r > 1.0) discard;
    colour = vec4(kind == 3 && r > 0.5 ? vec3(0.0) : markColour[kind], 1.0);
})";

QVector3D asVector(Rgb c) {
    return {c.r / 255.0f, c.g / 255.0f, c.b / 255.0f};
}

QMatrix4x4 asMatrix(const glm::mat4& m) {
    return QMatrix4x4(&m[0][0]).transposed();  // glm is column-major, the constructor row-major
}

}  // namespace

bool openGLAvailable() {
    if (QGuiApplication::platformName() == QLatin1String("offscreen")) {
        return false;  // the offscreen platform has no OpenGL and fails only when drawing
    }
    QOpenGLContext context;
    return context.create();
}

MeshGLView::MeshGLView(QWidget* parent) : QOpenGLWidget(parent) {
    QSurfaceFormat format;
    format.setVersion(3, 3);
    format.setProfile(QSurfaceFormat::CoreProfile);
    format.setDepthBufferSize(24);
    setFormat(format);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, 150);
    setAccessibleName(QStringLiteral("Mesh view"));
    settle = new QTimer(this);
    settle->setSingleShot(true);
    settle->setInterval(kSettleMs);
    connect(settle, &QTimer::timeout, this, [this] {
        moving = false;
        update();
    });
}

MeshGLView::~MeshGLView() {
    if (ready) {
        makeCurrent();
        releaseBuffers();
        doneCurrent();
    }
}

void MeshGLView::setGeometry(std::shared_ptr<const MeshGeometry> geometry, bool fit) {
    shape = std::move(geometry);
    marks.assign(shape->pointCount(), 0);
    geometryDue = true;
    marksDue = true;
    if (fit) {
        eyeOn.fit(shape->centre, shape->radius);
    }
    update();
    emit stateChanged();
}

void MeshGLView::setMarks(std::vector<uint8_t> newMarks) {
    marks = std::move(newMarks);
    marksDue = true;
    update();
    emit stateChanged();
}

void MeshGLView::setSelectedPoint(int point) {
    selected = point;
    update();
    emit stateChanged();
}

void MeshGLView::setWireframe(bool on) {
    showEdges = on;
    update();
    emit stateChanged();
}

void MeshGLView::fitWholeMesh() {
    if (shape) {
        eyeOn.fit(shape->centre, shape->radius);
        update();
    }
}

ScreenPoint MeshGLView::screenPointOf(int point) const {
    return eyeOn.project(shape->position(static_cast<size_t>(point)), width(), height());
}

void MeshGLView::initializeGL() {
    initializeOpenGLFunctions();
    const bool built =
        surfaceProgram.addShaderFromSourceCode(QOpenGLShader::Vertex, kSurfaceVertex) &&
        surfaceProgram.addShaderFromSourceCode(QOpenGLShader::Fragment, kSurfaceFragment) &&
        surfaceProgram.link() &&
        edgeProgram.addShaderFromSourceCode(QOpenGLShader::Vertex, kEdgeVertex) &&
        edgeProgram.addShaderFromSourceCode(QOpenGLShader::Fragment, kEdgeFragment) &&
        edgeProgram.link() &&
        markProgram.addShaderFromSourceCode(QOpenGLShader::Vertex, kMarkVertex) &&
        markProgram.addShaderFromSourceCode(QOpenGLShader::Fragment, kMarkFragment) &&
        markProgram.link();
    if (!built) {
        return;  // paintGL then clears to the background only
    }
    surfaceArray.create();
    edgeArray.create();
    markArray.create();
    positionBuffer.create();
    shadeBuffer.create();
    markBuffer.create();
    normalBuffer.create();
    triangleBuffer.create();
    coarserBuffer.create();
    edgeBuffer.create();
    pointOrderBuffer.create();

    // Every pass reads the points' positions as attribute 0.
    const auto readPositions = [this] {
        positionBuffer.bind();
        glEnableVertexAttribArray(0);
        glVertexAttribPointer(0, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    };
    surfaceArray.bind();
    readPositions();
    shadeBuffer.bind();
    glEnableVertexAttribArray(1);
    glVertexAttribPointer(1, 1, GL_FLOAT, GL_FALSE, 0, nullptr);
    markBuffer.bind();
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 1, GL_UNSIGNED_BYTE, GL_FALSE, 0, nullptr);
    triangleBuffer.bind();
    surfaceArray.release();

    edgeArray.bind();
    readPositions();
    edgeBuffer.bind();
    edgeArray.release();

    markArray.bind();
    readPositions();
    markBuffer.bind();
    glEnableVertexAttribArray(2);
    glVertexAttribPointer(2, 1, GL_UNSIGNED_BYTE, GL_FALSE, 0, nullptr);
    normalBuffer.bind();
    glVertexAttribPointer(3, 3, GL_FLOAT, GL_FALSE, 0, nullptr);  // enabled for a closed surface
    pointOrderBuffer.bind();
    markArray.release();

    std::vector<QVector3D> map;
    for (const Rgb& c : viridisTable(11)) {
        map.push_back(asVector(c));
    }
    surfaceProgram.bind();
    surfaceProgram.setUniformValueArray("colourMap", map.data(), static_cast<int>(map.size()));
    surfaceProgram.setUniformValue("keptBelowColour", asVector(kKeptBelowMark));
    surfaceProgram.setUniformValue("removedColour", asVector(kRemovedMark));
    const QVector3D markColours[4] = {QVector3D(), asVector(kKeptBelowMark), asVector(kRemovedMark),
                                      asVector(kSelectedMark)};
    markProgram.bind();
    markProgram.setUniformValueArray("markColour", markColours, 4);
    ready = true;
    geometryDue = geometryDue || shape != nullptr;
    marksDue = true;
}

void MeshGLView::releaseBuffers() {
    surfaceArray.destroy();
    edgeArray.destroy();
    markArray.destroy();
    positionBuffer.destroy();
    shadeBuffer.destroy();
    markBuffer.destroy();
    normalBuffer.destroy();
    triangleBuffer.destroy();
    coarserBuffer.destroy();
    edgeBuffer.destroy();
    pointOrderBuffer.destroy();
}

namespace {

// The bound buffer with bytes from data (left as they are when data is null), in the storage it
// has when that is large enough: a new mesh after a run or an undo is as large or smaller, and
// new storage for a million points' surface kept the window's thread 20-40 ms in Mesa's software
// renderer, most of it the system handing out fresh pages.
void fill(QOpenGLBuffer& buffer, const void* data, size_t bytes) {
    const int size = buffer.size();  // -1 when it cannot be told
    if (size >= 0 && static_cast<size_t>(size) >= bytes) {
        if (data != nullptr) {
            buffer.write(0, data, static_cast<int>(bytes));
        }
    } else if (data != nullptr) {
        buffer.allocate(data, static_cast<int>(bytes));
    } else {
        buffer.allocate(static_cast<int>(bytes));
    }
}

}  // namespace

// Copying every buffer of a million points and drawing the whole surface in one frame kept the
// window's thread for 130-150 ms. With coarser surfaces to draw meanwhile, the first frame takes
// the points and the coarsest surface, the next four the normals, the other coarser surfaces and
// the whole surface in two halves; each draws the finest surface it has.
void MeshGLView::uploadGeometry() {
    const MeshGeometry& g = *shape;
    positionBuffer.bind();
    fill(positionBuffer, g.positions.data(), g.positions.size() * sizeof(float));
    shadeBuffer.bind();
    fill(shadeBuffer, g.shades.data(), g.shades.size() * sizeof(float));
    markBuffer.bind();
    fill(markBuffer, nullptr, g.pointCount());
    markArray.bind();
    glDisableVertexAttribArray(3);  // until the normals are in their buffer
    pointOrderBuffer.bind();
    fill(pointOrderBuffer, g.pointOrder.data(), g.pointOrder.size() * sizeof(uint32_t));
    markArray.release();
    // The coarser surfaces one after the other in one buffer, taken now; the whole surface in its
    // own, taken with its triangles in a later frame: taking its storage empty in the first frame
    // kept the window's thread 6-40 ms.
    size_t coarserIndices = 0;
    for (const MeshGeometry::Coarser& surface : g.coarser) {
        coarserIndices += surface.triangles.size();
    }
    surfaceRuns.assign(1, {&g.triangles, &triangleBuffer, 0});
    if (coarserIndices > 0) {
        // Index buffers belong to their vertex arrays: bind the array before the buffer.
        surfaceArray.bind();
        coarserBuffer.bind();
        fill(coarserBuffer, nullptr, coarserIndices * sizeof(uint32_t));
        surfaceArray.release();
    }
    size_t at = 0;
    for (const MeshGeometry::Coarser& surface : g.coarser) {
        surfaceRuns.push_back({&surface.triangles, &coarserBuffer, at});
        at += surface.triangles.size();
    }
    edgeIndices = static_cast<int>(g.edges.size());
    pointsDrawn = static_cast<int>(g.pointCount());
    geometryDue = false;
    edgesDue = true;
    if (g.coarser.empty()) {
        uploadNormals();
        uploadWholeSurface(0, g.triangles.size());
        partsDue = 0;
    } else {
        uploadCoarser(surfaceRuns.back());
        partsDue = 4;
    }
}

void MeshGLView::uploadNextPart() {
    const size_t half = shape->triangles.size() / 2;
    if (partsDue == 4) {
        uploadNormals();
    } else if (partsDue == 3) {
        for (SurfaceRun& run : surfaceRuns) {
            if (run.triangles != &shape->triangles && !run.uploaded) {
                uploadCoarser(run);
            }
        }
    } else if (partsDue == 2) {
        uploadWholeSurface(0, half);
    } else {
        uploadWholeSurface(half, shape->triangles.size());
    }
    --partsDue;
}

void MeshGLView::uploadNormals() {
    normalBuffer.bind();
    fill(normalBuffer, shape->normals.data(), shape->normals.size() * sizeof(float));
    if (shape->closed) {
        markArray.bind();
        glEnableVertexAttribArray(3);
        markArray.release();
    }
}

void MeshGLView::uploadCoarser(SurfaceRun& run) {
    surfaceArray.bind();
    coarserBuffer.bind();
    coarserBuffer.write(static_cast<int>(run.offset * sizeof(uint32_t)), run.triangles->data(),
                        static_cast<int>(run.triangles->size() * sizeof(uint32_t)));
    surfaceArray.release();
    run.uploaded = true;
}

void MeshGLView::uploadWholeSurface(size_t first, size_t end) {
    const std::vector<uint32_t>& triangles = shape->triangles;
    surfaceArray.bind();
    triangleBuffer.bind();
    if (first == 0) {
        fill(triangleBuffer, end == triangles.size() ? triangles.data() : nullptr,
             triangles.size() * sizeof(uint32_t));
    }
    if (first != 0 || end != triangles.size()) {
        triangleBuffer.write(static_cast<int>(first * sizeof(uint32_t)), triangles.data() + first,
                             static_cast<int>((end - first) * sizeof(uint32_t)));
    }
    surfaceArray.release();
    surfaceRuns.front().uploaded = end == triangles.size();
}

// The outline only once it is asked for: at a million points it is 24 MB that most views never
// draw.
void MeshGLView::uploadEdges() {
    edgeArray.bind();
    edgeBuffer.bind();
    fill(edgeBuffer, shape->edges.data(), shape->edges.size() * sizeof(uint32_t));
    edgeArray.release();
    edgesDue = false;
}

void MeshGLView::cameraMoved() {
    moving = true;
    settle->start();
    update();
}

void MeshGLView::uploadMarks() {
    if (marks.size() == static_cast<size_t>(pointsDrawn) && pointsDrawn > 0) {
        markBuffer.bind();
        markBuffer.write(0, marks.data(), pointsDrawn);
    }
    marksDue = false;
}

void MeshGLView::paintGL() {
    glClearColor(0.93f, 0.93f, 0.95f, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (!ready || !shape) {
        return;
    }
    // The whole surface is taken in two frames, and the frame that takes its second half draws
    // the surface before it: taking 24 MB and drawing two million triangles in one frame kept the
    // window's thread up to 95 ms.
    bool wholeJustTaken = false;
    if (geometryDue) {
        uploadGeometry();
    } else if (partsDue > 0 && !moving) {
        wholeJustTaken = partsDue == 1;
        uploadNextPart();
    }
    if ((partsDue > 0 || wholeJustTaken) && !moving) {
        // The next part in the next frame; a moving camera's frames take none, and the frame
        // once it keeps still goes on.
        QMetaObject::invokeMethod(
            this, [this] { update(); }, Qt::QueuedConnection);
    }
    if (marksDue) {
        uploadMarks();
    }
    const float aspect = static_cast<float>(width()) / static_cast<float>(std::max(height(), 1));
    const QMatrix4x4 modelView = asMatrix(eyeOn.view());
    const QMatrix4x4 projection = asMatrix(eyeOn.projection(aspect));
    glEnable(GL_DEPTH_TEST);
    glEnable(GL_PROGRAM_POINT_SIZE);

    // From inside a closed surface (zoomed through it) every face seen turns away: all are drawn.
    // So they are when the near plane, at most a hundredth of the distance ahead, could cut into
    // the surface and open a view of its inside.
    const glm::vec3 eye = eyeOn.eye();
    const glm::vec3 margin(0.02f * eyeOn.distance());
    const bool outside = glm::any(glm::lessThan(eye, shape->boxLow - margin)) ||
                         glm::any(glm::greaterThan(eye, shape->boxHigh + margin));
    const bool leaveOutTurnedAway = shape->closed && outside;

    // Dots where they can be told apart; closer than that, the surface carries the marks.
    const bool dots = marksAsDots(*shape, eyeOn, height());
    glEnable(GL_POLYGON_OFFSET_FILL);
    glPolygonOffset(1, 1);  // the outline in front of the faces it bounds
    surfaceProgram.bind();
    surfaceProgram.setUniformValue("modelView", modelView);
    surfaceProgram.setUniformValue("projection", projection);
    surfaceProgram.setUniformValue("tint", dots ? 0.0f : 1.0f);
    surfaceArray.bind();
    // At a million points the whole surface takes Mesa's software renderer a fifth of a second
    // on the window's thread: a coarser one whose cubes span a pixel or two looks the same, and
    // while the camera moves, one of a few pixels keeps up with it.
    const std::vector<uint32_t>& drawn =
        trianglesToDraw(*shape, eyeOn, height(), moving ? kMovingCubePixels : kStillCubePixels);
    // Until a surface is uploaded, the next coarser one that is stands in for it (the coarsest
    // always is).
    auto run = std::find_if(surfaceRuns.begin(), surfaceRuns.end(),
                            [&](const SurfaceRun& r) { return r.triangles == &drawn; });
    while (run != surfaceRuns.end() &&
           (!run->uploaded || (wholeJustTaken && run->triangles == &shape->triangles))) {
        ++run;
    }
    if (run == surfaceRuns.end()) {
        run = std::prev(surfaceRuns.end());
    }
    if (leaveOutTurnedAway) {
        glEnable(GL_CULL_FACE);
        glFrontFace(shape->facesOutward ? GL_CCW : GL_CW);
        glCullFace(GL_BACK);
    }
    // The whole surface of a large mesh is drawn by the blocks in sight: close up, the rest
    // would take most of the frame to be clipped away.
    const glm::mat4 viewProjection = eyeOn.projection(aspect) * eyeOn.view();
    const auto drawRuns = [this](GLenum mode, size_t offset) {
        for (size_t r = 0; r < runFirsts.size(); ++r) {
            glDrawElements(
                mode, runCounts[r], GL_UNSIGNED_INT,
                reinterpret_cast<const void*>((offset + runFirsts[r]) * sizeof(uint32_t)));
        }
    };
    run->buffer->bind();  // the surface array's index buffer: the run's own
    if (run->triangles == &shape->triangles && !shape->surfaceBlocks.empty()) {
        runsInView(shape->surfaceBlocks, 3, viewProjection, runFirsts, runCounts);
        drawRuns(GL_TRIANGLES, run->offset);
    } else {
        glDrawElements(GL_TRIANGLES, static_cast<int>(run->triangles->size()), GL_UNSIGNED_INT,
                       reinterpret_cast<const void*>(run->offset * sizeof(uint32_t)));
    }
    glDisable(GL_CULL_FACE);
    glDisable(GL_POLYGON_OFFSET_FILL);

    // Llvmpipe draws the three million edges of a million points in about 0.45 s: an outline
    // with more edges in sight than a frame draws in time is left out, and comes back as the
    // camera moves closer.
    size_t edgesInSight = static_cast<size_t>(edgeIndices) / 2;
    if (showEdges && !shape->edgeBlocks.empty()) {
        edgesInSight = runsInView(shape->edgeBlocks, 2, viewProjection, runFirsts, runCounts) / 2;
    }
    const bool outline = showEdges && edgesInSight <= kMostEdgesInSight;
    if (outline && edgesDue) {
        uploadEdges();
    }
    if (outline) {
        edgeProgram.bind();
        edgeProgram.setUniformValue("modelView", modelView);
        edgeProgram.setUniformValue("projection", projection);
        edgeArray.bind();
        if (shape->edgeBlocks.empty()) {
            glDrawElements(GL_LINES, edgeIndices, GL_UNSIGNED_INT, nullptr);
        } else {
            drawRuns(GL_LINES, 0);
        }
    }
    // The window says when the outline is left out (once the camera keeps still: while it
    // moves, the message would come and go with every frame).
    const bool leftOut = showEdges && !outline && !moving;
    if (leftOut != outlineLeftOut) {
        outlineLeftOut = leftOut;
        QMetaObject::invokeMethod(
            this, [this] { emit stateChanged(); }, Qt::QueuedConnection);
    }

    markProgram.bind();
    markProgram.setUniformValue("modelView", modelView);
    markProgram.setUniformValue("projection", projection);
    markProgram.setUniformValue("selectedPoint", selected);
    markProgram.setUniformValue("pixelScale", static_cast<float>(devicePixelRatioF()));
    markProgram.setUniformValue("removalMark", removalMarkDiameter(*shape, eyeOn, height()));
    markProgram.setUniformValue("leaveOutTurnedAway", leaveOutTurnedAway);
    markProgram.setUniformValue("eye", QVector3D(eye.x, eye.y, eye.z));
    markArray.bind();
    if (dots && !shape->pointBlocks.empty()) {
        runsInView(shape->pointBlocks, 1, viewProjection, runFirsts, runCounts);
        drawRuns(GL_POINTS, 0);
    } else if (dots) {
        glDrawArrays(GL_POINTS, 0, pointsDrawn);
    } else if (selected >= 0 && selected < pointsDrawn) {
        glDrawArrays(GL_POINTS, selected, 1);  // the selection stays a dot at any density
    }
    markArray.release();
    // One frame at a time: the window composes this frame next and waits for it all the same,
    // while a renderer left to queue frames (Mesa's software one bins each into memory of its
    // own, 13 MB at 65,000 triangles) holds several at once when paints come quickly, as when
    // the view opens: 10 to 25 MB more, kept by the allocator after they are drawn.
    glFinish();
}

void MeshGLView::mousePressEvent(QMouseEvent* event) {
    pressedAt = lastAt = event->position().toPoint();
    dragging = event->button();
    dragged = false;
}

void MeshGLView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint at = event->position().toPoint();
    if (dragging == Qt::NoButton) {
        return;
    }
    dragged = dragged || (at - pressedAt).manhattanLength() > kDragStart;
    const QPoint step = at - lastAt;
    lastAt = at;
    if (!dragged) {
        return;
    }
    if (dragging == Qt::LeftButton) {
        eyeOn.orbit(static_cast<float>(step.x()), static_cast<float>(step.y()));
    } else {
        eyeOn.pan(static_cast<float>(step.x()), static_cast<float>(step.y()), height());
    }
    cameraMoved();
}

void MeshGLView::mouseReleaseEvent(QMouseEvent* event) {
    const Qt::MouseButton button = dragging;
    const bool click = !dragged;
    dragging = Qt::NoButton;
    if (click && button == Qt::RightButton) {
        QMenu::exec(actions(), event->globalPosition().toPoint(), nullptr, this);
        return;
    }
    if (!click || button != Qt::LeftButton || !shape) {
        return;
    }
    const QPointF at = event->position();
    const int point = pickPoint(*shape, eyeOn, static_cast<float>(at.x()),
                                static_cast<float>(at.y()), width(), height(), kPickRadius);
    if (point >= 0) {
        setSelectedPoint(point);
        emit pointPicked(point);
    }
}

void MeshGLView::contextMenuEvent(QContextMenuEvent* event) {
    // The right button pans when dragged, so its menu opens on a release without a drag; the
    // menu key opens it at once.
    if (event->reason() != QContextMenuEvent::Mouse) {
        QMenu::exec(actions(), event->globalPos(), nullptr, this);
    }
}

void MeshGLView::mouseDoubleClickEvent(QMouseEvent*) {
    fitWholeMesh();
}

void MeshGLView::wheelEvent(QWheelEvent* event) {
    eyeOn.zoom(static_cast<float>(event->angleDelta().y()) / 120.0f);
    cameraMoved();
}

void MeshGLView::keyPressEvent(QKeyEvent* event) {
    // Arrows orbit, with Shift they pan; + and - zoom: the mouse's moves from the keyboard.
    constexpr float kStep = 20;
    const bool pan = (event->modifiers() & Qt::ShiftModifier) != 0;
    float dx = 0;
    float dy = 0;
    switch (event->key()) {
        case Qt::Key_Left:
            dx = -kStep;
            break;
        case Qt::Key_Right:
            dx = kStep;
            break;
        case Qt::Key_Up:
            dy = -kStep;
            break;
        case Qt::Key_Down:
            dy = kStep;
            break;
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            eyeOn.zoom(1);
            cameraMoved();
            return;
        case Qt::Key_Minus:
            eyeOn.zoom(-1);
            cameraMoved();
            return;
        default:
            QOpenGLWidget::keyPressEvent(event);
            return;
    }
    if (pan) {
        eyeOn.pan(dx, dy, height());
    } else {
        eyeOn.orbit(dx, dy);
    }
    cameraMoved();
}

}  // namespace meshthin
