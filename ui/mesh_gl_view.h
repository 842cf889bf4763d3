// SPDX-License-Identifier: GPL-3.0-or-later
// The mesh view's 3D picture (see mesh_view_window.h for the window around it).
#pragma once

#include <QOpenGLBuffer>
#include <QOpenGLExtraFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLVertexArrayObject>
#include <QOpenGLWidget>
#include <memory>
#include <vector>

#include "ui/mesh_geometry.h"
#include "ui/mesh_view_camera.h"

class QTimer;

namespace meshthin {

// The kinds of mark a point carries, as the view's per-point attribute holds them.
enum class Mark : uint8_t {
    none = 0,
    keptBelow = 1,  // below the threshold now; the run re-values it above before reaching it
    removed = 2,    // a run at the threshold removes it
};

// The 3D picture: draws the geometry it is given, with marks as a per-point attribute that is
// replaced without touching the rest.
class MeshGLView : public QOpenGLWidget, protected QOpenGLExtraFunctions {
    Q_OBJECT

public:
    explicit MeshGLView(QWidget* parent = nullptr);
    ~MeshGLView() override;

    void setGeometry(std::shared_ptr<const MeshGeometry> geometry, bool fit);
    void setMarks(std::vector<uint8_t> marks);
    void setSelectedPoint(int point);
    void setWireframe(bool on);
    bool wireframe() const { return showEdges; }
    // Whether the last frame left the wireframe out, as too many of its edges were in sight for
    // a frame to draw in time: the user zooms in to see it.
    bool wireframeLeftOut() const { return showEdges && outlineLeftOut; }
    // Whether parts of the geometry wait for frames to come to be uploaded.
    bool uploading() const { return geometryDue || partsDue > 0; }
    void fitWholeMesh();
    const MeshViewCamera& camera() const { return eyeOn; }
    // Where point lands in the widget, in logical pixels from the top left.
    ScreenPoint screenPointOf(int point) const;

signals:
    void pointPicked(int point);
    void stateChanged();

protected:
    void initializeGL() override;
    void paintGL() override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Where each surface drawn lies (the whole one alone in triangleBuffer, the coarser ones
    // one after the other in coarserBuffer), and whether its triangles are there yet.
    struct SurfaceRun {
        const std::vector<uint32_t>* triangles;
        QOpenGLBuffer* buffer;
        size_t offset;  // in indices
        bool uploaded = false;
    };
    // Takes a new geometry into the buffers: all of it, or, when it has coarser surfaces, the
    // points and the coarsest surface, leaving partsDue parts to the next frames.
    void uploadGeometry();
    void uploadNextPart();
    void uploadNormals();
    void uploadCoarser(SurfaceRun& run);
    // The whole surface's indices from first up to end; the first part makes room for all.
    void uploadWholeSurface(size_t first, size_t end);
    void uploadMarks();
    void uploadEdges();
    // Orbit, pan or zoom: drawn coarser until the camera has kept still a moment.
    void cameraMoved();
    void releaseBuffers();

    std::shared_ptr<const MeshGeometry> shape;
    std::vector<uint8_t> marks;
    MeshViewCamera eyeOn;
    int selected = -1;
    bool showEdges = false;
    bool geometryDue = false;
    bool marksDue = false;
    bool ready = false;

    QPoint pressedAt;
    QPoint lastAt;
    Qt::MouseButton dragging = Qt::NoButton;
    bool dragged = false;

    QOpenGLShaderProgram surfaceProgram;
    QOpenGLShaderProgram edgeProgram;
    QOpenGLShaderProgram markProgram;
    QOpenGLVertexArrayObject surfaceArray;
    QOpenGLVertexArrayObject edgeArray;
    QOpenGLVertexArrayObject markArray;
    QOpenGLBuffer positionBuffer{QOpenGLBuffer::VertexBuffer};
    QOpenGLBuffer shadeBuffer{QOpenGLBuffer::VertexBuffer};
    QOpenGLBuffer markBuffer{QOpenGLBuffer::VertexBuffer};
    QOpenGLBuffer normalBuffer{QOpenGLBuffer::VertexBuffer};
    QOpenGLBuffer triangleBuffer{QOpenGLBuffer::IndexBuffer};
    QOpenGLBuffer coarserBuffer{QOpenGLBuffer::IndexBuffer};
    QOpenGLBuffer edgeBuffer{QOpenGLBuffer::IndexBuffer};
    QOpenGLBuffer pointOrderBuffer{QOpenGLBuffer::IndexBuffer};
    std::vector<SurfaceRun> surfaceRuns;
    int partsDue = 0;
    bool edgesDue = false;
    bool moving = false;
    QTimer* settle = nullptr;
    int edgeIndices = 0;
    int pointsDrawn = 0;
    bool outlineLeftOut = false;
    // The runs of an index buffer a frame draws (ui/view_blocks.h), kept from frame to frame.
    std::vector<uint32_t> runFirsts;
    std::vector<int32_t> runCounts;
};

// Whether this program can make an OpenGL context at all (false on the offscreen platform).
bool openGLAvailable();

}  // namespace meshthin
