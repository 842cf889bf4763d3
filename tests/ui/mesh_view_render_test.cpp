// SPDX-License-Identifier: GPL-3.0-or-later
// The mesh view drawn for real: a window on an X display (Xvfb with Mesa's software renderer
// under ctest), its framebuffer grabbed and read as a user would read the screen: where the
// mesh is, which points carry the red mark of a run's removal, which show their value's colour,
// what a threshold move and a run change, which point a click picks. Without a display that
// gives OpenGL the tests say so and are skipped.
#include <gtest/gtest.h>

#include <QApplication>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <set>
#include <sstream>

#include "meshio/dry_run.h"
#include "meshio/formats/mesh_convert.h"
#include "model/mesh.h"
#include "support/mesh_view_driver.h"
#include "tools/mesh_generators.h"
#include "ui/colour_map.h"
#include "ui/mesh_geometry.h"

namespace meshthin::testing {
namespace {

bool noDisplay = false;

class MeshViewRenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (noDisplay || !openGLAvailable()) {
            GTEST_SKIP() << "no display that gives OpenGL (no X server, no Xvfb): the mesh "
                            "view's drawing is not checked here";
        }
    }
};

const std::string kSphere = generate::sphere(14, 22, 0.06, 7);

bool isBackground(QRgb pixel) {
    return std::abs(qRed(pixel) - 237) <= 2 && std::abs(qGreen(pixel) - 237) <= 2 &&
           std::abs(qBlue(pixel) - 242) <= 2;
}

bool looksLike(QRgb pixel, Rgb colour, int tolerance = 6) {
    return std::abs(qRed(pixel) - colour.r) <= tolerance &&
           std::abs(qGreen(pixel) - colour.g) <= tolerance &&
           std::abs(qBlue(pixel) - colour.b) <= tolerance;
}

// The surface's colour is the map's, darkened by the light: a multiple of it.
bool isShadeOf(QRgb pixel, Rgb colour) {
    const double m[3] = {colour.r * 1.0, colour.g * 1.0, colour.b * 1.0};
    const double p[3] = {qRed(pixel) * 1.0, qGreen(pixel) * 1.0, qBlue(pixel) * 1.0};
    const double k =
        (m[0] * p[0] + m[1] * p[1] + m[2] * p[2]) / (m[0] * m[0] + m[1] * m[1] + m[2] * m[2]);
    if (k < 0.4 || k > 1.02) {
        return false;
    }
    for (int c = 0; c < 3; ++c) {
        if (std::abs(p[c] - k * m[c]) > 14) {
            return false;
        }
    }
    return true;
}

long long redPixels(const QImage& image) {
    long long count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += looksLike(image.pixel(x, y), kRemovedMark) ? 1 : 0;
        }
    }
    return count;
}

// Points the eye sees on the side of the sphere that faces it (at the outline the surface
// grazes the line of sight, and a mark may sink into it), away from the picture's edge.
std::vector<int> seenPoints(MeshViewDriver& driver, const MeshGeometry& g) {
    std::vector<int> seen;
    const MeshViewCamera& camera = driver.view().glView()->camera();
    const QImage image = driver.picture();
    for (size_t i = 0; i < g.pointCount(); ++i) {
        const QPoint at = driver.pixelOf(static_cast<int>(i));
        const glm::vec3 p = g.position(i);
        const float facing =
            glm::dot(glm::normalize(p - g.centre), glm::normalize(camera.eye() - p));
        if (g.shown[i] != 0 && seenFrom(g, camera.eye(), static_cast<uint32_t>(i)) &&
            facing > 0.35f && image.rect().adjusted(8, 8, -8, -8).contains(at)) {
            seen.push_back(static_cast<int>(i));
        }
    }
    return seen;
}

// Whether no other of others lies within pixels of point on screen: a mark of its own then
// covers nothing of point.
bool alone(MeshViewDriver& driver, int point, const std::vector<int>& others, int pixels) {
    const QPoint at = driver.pixelOf(point);
    for (int other : others) {
        const QPoint d = driver.pixelOf(other) - at;
        if (other != point && d.x() * d.x() + d.y() * d.y() < pixels * pixels) {
            return false;
        }
    }
    return true;
}

TEST_F(MeshViewRenderTest, TheFittedMeshFillsTheMiddleAndNothingLiesOutsideIt) {
    MeshViewDriver driver(kSphere, QStringLiteral("sphere.mesh"));
    const MeshGeometry g = buildGeometry(driver.mesh());
    const QImage image = driver.picture();
    ASSERT_FALSE(image.isNull());
    QRect box;
    for (size_t i = 0; i < g.pointCount(); ++i) {
        box |= QRect(driver.pixelOf(static_cast<int>(i)), QSize(1, 1));
    }
    EXPECT_TRUE(image.rect().contains(box));
    EXPECT_GT(box.height(), image.height() / 2);  // fitted, not a speck
    long long inside = 0;
    long long covered = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const bool background = isBackground(image.pixel(x, y));
            if (!box.adjusted(-2, -2, 2, 2).contains(x, y)) {
                EXPECT_TRUE(background) << x << "," << y;
            } else if (box.adjusted(box.width() / 4, box.height() / 4, -box.width() / 4,
                                    -box.height() / 4)
                           .contains(x, y)) {
                ++inside;
                covered += background ? 0 : 1;
            }
        }
    }
    EXPECT_EQ(covered, inside);  // the middle of a sphere is all surface
}

TEST_F(MeshViewRenderTest, MarksShowWhatARunRemovesAndTheRestShowsTheMapColour) {
    MeshViewDriver driver(kSphere, QStringLiteral("sphere.mesh"));
    const MeshGeometry g = buildGeometry(driver.mesh());
    // Four points in ten below: marks enough, and unmarked points enough between them.
    std::vector<double> sorted = g.values;
    std::sort(sorted.begin(), sorted.end());
    const double threshold = sorted[sorted.size() * 4 / 10];
    ASSERT_TRUE(driver.moveThreshold(threshold));
    const std::vector<PointNumber> removed = pointsARunRemoves(driver.mesh(), threshold);
    ASSERT_EQ(driver.view().removesCount(), static_cast<long long>(removed.size()));
    const std::set<int> removedSet(removed.begin(), removed.end());

    const QImage image = driver.picture();
    const std::vector<int> seen = seenPoints(driver, g);
    std::vector<int> marked;
    for (int p : seen) {
        if (g.values[static_cast<size_t>(p)] < threshold) {
            marked.push_back(p);
        }
    }
    int removedChecked = 0;
    int keptChecked = 0;
    int aboveChecked = 0;
    for (int p : seen) {
        const QRgb pixel = image.pixel(driver.pixelOf(p));
        const bool below = g.values[static_cast<size_t>(p)] < threshold;
        if (removedSet.count(p) != 0) {
            EXPECT_TRUE(looksLike(pixel, kRemovedMark)) << "point " << p;
            ++removedChecked;
        } else if (below) {
            if (alone(driver, p, std::vector<int>(removed.begin(), removed.end()), 6)) {
                EXPECT_TRUE(looksLike(pixel, kKeptBelowMark)) << "point " << p;
                ++keptChecked;
            }
        } else if (alone(driver, p, marked, 6)) {
            EXPECT_TRUE(isShadeOf(pixel, viridis(g.shades[static_cast<size_t>(p)])))
                << "point " << p << " shows " << qRed(pixel) << " " << qGreen(pixel) << " "
                << qBlue(pixel);
            ++aboveChecked;
        }
    }
    EXPECT_GT(removedChecked, 5);
    EXPECT_GT(keptChecked, 0);
    EXPECT_GT(aboveChecked, 5);
    EXPECT_EQ(driver.view().countsText().toStdString(),
              belowAndRemovedText(countBelow(g.values, g.shown, threshold), threshold,
                                  static_cast<long long>(removed.size()), '.'));
}

TEST_F(MeshViewRenderTest, AThresholdMoveChangesTheMarksAndARunChangesThePicture) {
    MeshViewDriver driver(kSphere, QStringLiteral("sphere.mesh"));
    const MeshGeometry g = buildGeometry(driver.mesh());
    const double low = g.lowValue + (g.highValue - g.lowValue) * 0.3;
    const double high = g.lowValue + (g.highValue - g.lowValue) * 0.6;
    ASSERT_TRUE(driver.moveThreshold(low));
    const long long redAtLow = redPixels(driver.picture());
    ASSERT_TRUE(driver.moveThreshold(high));
    const QImage atHigh = driver.picture();
    EXPECT_GT(redPixels(atHigh), redAtLow);
    // Every seen point that only the higher threshold removes turned red.
    const std::vector<PointNumber> lowSet = pointsARunRemoves(driver.mesh(), low);
    const std::vector<PointNumber> highSet = pointsARunRemoves(driver.mesh(), high);
    int turned = 0;
    for (int p : seenPoints(driver, g)) {
        const auto in = [p](const std::vector<PointNumber>& set) {
            return std::find(set.begin(), set.end(), p) != set.end();
        };
        if (in(highSet) && !in(lowSet)) {
            EXPECT_TRUE(looksLike(atHigh.pixel(driver.pixelOf(p)), kRemovedMark)) << p;
            ++turned;
        }
    }
    EXPECT_GT(turned, 0);
    ASSERT_TRUE(driver.moveThreshold(std::nullopt));
    EXPECT_EQ(redPixels(driver.picture()), 0);

    // The run: the removed points go, their faces are replaced, the picture changes.
    ASSERT_TRUE(driver.moveThreshold(high));
    const QImage before = driver.picture();
    driver.run(high);
    ASSERT_TRUE(driver.waitForMarks());
    const QImage after = driver.picture();
    EXPECT_NE(before, after);
    const MeshGeometry reduced = buildGeometry(driver.mesh());
    EXPECT_LT(std::count(reduced.shown.begin(), reduced.shown.end(), 1),
              std::count(g.shown.begin(), g.shown.end(), 1));
    // The trial run on the reduced mesh at the same threshold is what a second run would do.
    EXPECT_EQ(driver.view().removesCount(),
              static_cast<long long>(pointsARunRemoves(driver.mesh(), high).size()));
}

TEST_F(MeshViewRenderTest, AClickPicksTheSeenPointUnderTheCursorAndTheSelectionIsMarked) {
    MeshViewDriver driver(kSphere, QStringLiteral("sphere.mesh"));
    const MeshGeometry g = buildGeometry(driver.mesh());
    QSignalSpy picked(&driver.view(), &MeshViewWindow::pointPicked);
    const std::vector<int> seen = seenPoints(driver, g);
    // Alone among every point the eye sees, also those on the rim that seen leaves out.
    std::vector<int> pickable;
    for (size_t i = 0; i < g.pointCount(); ++i) {
        if (g.shown[i] != 0 &&
            seenFrom(g, driver.view().glView()->camera().eye(), static_cast<uint32_t>(i))) {
            pickable.push_back(static_cast<int>(i));
        }
    }
    int target = -1;
    for (int p : seen) {
        if (alone(driver, p, pickable, 14)) {
            target = p;
            break;
        }
    }
    ASSERT_GE(target, 0);
    driver.clickAt(driver.pixelOf(target) + QPoint(2, -1));
    ASSERT_EQ(picked.count(), 1);
    EXPECT_EQ(picked.at(0).at(0).toInt(), target);
    EXPECT_TRUE(looksLike(driver.picture().pixel(driver.pixelOf(target)), kSelectedMark));

    driver.clickAt(QPoint(3, 3));  // the background holds no point
    EXPECT_EQ(picked.count(), 1);

    driver.view().selectedPointChanged(-1);
    EXPECT_FALSE(looksLike(driver.picture().pixel(driver.pixelOf(target)), kSelectedMark));
}

TEST_F(MeshViewRenderTest, ANewerThresholdOvertakesALongTrialRunWhileTheWindowGoesOn) {
    // Removing the whole fan rewires what is left of its ring at every step: seconds of walk.
    MeshViewDriver driver(generate::fan(8000), QStringLiteral("fan.mesh"));
    driver.view().thresholdChanged(1e9);
    QTest::qWait(300);
    EXPECT_TRUE(driver.view().dryRunPending());
    // Meanwhile the window paints and answers.
    EXPECT_FALSE(driver.picture().isNull());
    EXPECT_NE(driver.view().countsText().indexOf(QStringLiteral("a run removes ...")), -1);
    ASSERT_TRUE(driver.moveThreshold(0.5));
    EXPECT_EQ(driver.view().removesCount(),
              static_cast<long long>(pointsARunRemoves(driver.mesh(), 0.5).size()));
}

TEST_F(MeshViewRenderTest, WhileARunIsInProgressNoTrialRunStarts) {
    MeshViewDriver driver(kSphere, QStringLiteral("sphere.mesh"));
    driver.view().setBusy(true);
    driver.view().thresholdChanged(1.0);
    QTest::qWait(150);
    EXPECT_FALSE(driver.view().dryRunPending());
    EXPECT_FALSE(driver.view().removesCount().has_value());
    driver.view().setBusy(false);
    ASSERT_TRUE(driver.waitForMarks());
    EXPECT_EQ(driver.view().removesCount(),
              static_cast<long long>(pointsARunRemoves(driver.mesh(), 1.0).size()));
}

TEST_F(MeshViewRenderTest, SavePictureWritesWhatTheViewShowsAsPng) {
    MeshViewDriver driver(kSphere, QStringLiteral("sphere.mesh"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("view.png"));
    driver.view().askPictureFile = [&] { return path; };
    driver.view().glView()->setFocus();
    QTest::keyClick(driver.view().glView(), Qt::Key_S, Qt::ControlModifier);
    QImage saved(path);
    ASSERT_FALSE(saved.isNull());
    EXPECT_EQ(saved.convertToFormat(QImage::Format_RGB32),
              driver.picture().convertToFormat(QImage::Format_RGB32));
    EXPECT_FALSE(driver.view().savePicture(dir.filePath(QStringLiteral("no/such/folder.png"))));
}

TEST_F(MeshViewRenderTest, KeysOrbitToggleTheWireframeAndFitAgain) {
    MeshViewDriver driver(kSphere, QStringLiteral("sphere.mesh"));
    MeshGLView* view = driver.view().glView();
    view->setFocus();
    const QImage fitted = driver.picture();
    QTest::keyClick(view, Qt::Key_W);
    EXPECT_TRUE(view->wireframe());
    EXPECT_NE(driver.picture(), fitted);
    QTest::keyClick(view, Qt::Key_W);
    QTest::keyClick(view, Qt::Key_Left);
    QTest::keyClick(view, Qt::Key_Minus);
    EXPECT_NE(driver.picture(), fitted);
    QTest::keyClick(view, Qt::Key_Home);
    EXPECT_EQ(driver.picture(), fitted);
}

// A mesh too large to upload in one frame comes in parts over the next frames, the coarsest
// surface first, until the whole surface is there; a moving camera's frames take none, and the
// parts go on once it keeps still.
TEST_F(MeshViewRenderTest, ALargeMeshIsUploadedInPartsOverTheNextFrames) {
    formats::PolygonMesh grid;
    const uint32_t side = 400;  // 318,402 triangles: more than one frame draws in time
    for (uint32_t i = 0; i < side * side; ++i) {
        grid.positions.insert(grid.positions.end(),
                              {i % side * 1.0, i / side * 1.0, std::sin(i * 0.37)});
    }
    for (uint32_t i = 0; i + side < side * side; ++i) {
        if (i % side + 1 < side) {
            grid.corners.insert(grid.corners.end(),
                                {i, i + 1, i + side, i + 1, i + side + 1, i + side});
            grid.faceStarts.push_back(static_cast<uint32_t>(grid.corners.size() - 3));
            grid.faceStarts.push_back(static_cast<uint32_t>(grid.corners.size()));
        }
    }
    MeshViewDriver driver(std::make_shared<const Mesh>(formats::meshFromPolygons(grid)),
                          QStringLiteral("grid.obj"));
    MeshGLView* view = driver.view().glView();
    ASSERT_TRUE(QTest::qWaitFor([&] { return driver.view().geometryReady(); }, 60000));
    QTest::keyClick(view, Qt::Key_Left);  // frames while moving leave the parts for later
    EXPECT_TRUE(QTest::qWaitFor([&] { return !view->uploading(); }, 30000));
    const QImage picture = driver.picture();
    EXPECT_FALSE(isBackground(picture.pixel(picture.width() / 2, picture.height() / 2)));
}

// The same mesh with every face's points named the other way round.
std::string facesTurned(const std::string& mesh) {
    std::istringstream in(mesh);
    std::string out;
    std::string line;
    bool inFaces = false;
    while (std::getline(in, line)) {
        inFaces = inFaces || line.find("faces {") != std::string::npos;
        const size_t open = line.find("( (");
        const size_t close = line.rfind(" )");
        if (inFaces && open != std::string::npos && close != std::string::npos && close > open) {
            std::istringstream corners(line.substr(open + 2, close - open - 2));
            std::vector<std::string> names{std::istream_iterator<std::string>(corners), {}};
            std::reverse(names.begin(), names.end());
            line = line.substr(0, open + 1);
            for (const std::string& name : names) {
                line += " " + name;
            }
            line += " )";
        }
        out += line + "\n";
    }
    return out;
}

// Pixels of two pictures of the same size that differ by more than a rounding's worth.
long long differingPixels(const QImage& a, const QImage& b) {
    long long count = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            count += std::abs(qRed(p) - qRed(q)) > 4 || std::abs(qGreen(p) - qGreen(q)) > 4 ||
                             std::abs(qBlue(p) - qBlue(q)) > 4
                         ? 1
                         : 0;
        }
    }
    return count;
}

// A closed surface is drawn without its faces turned away from the eye, and without their
// marks: whichever way its faces turn, the side seen is the one facing the eye, the marks there
// are those a run removes, and from inside it (zoomed through) every face is drawn again.
TEST_F(MeshViewRenderTest, AClosedSurfaceShowsItsNearSideWhicheverWayItsFacesTurn) {
    const std::string turned = facesTurned(kSphere);
    ASSERT_NE(turned, kSphere);
    QImage outward;
    {
        MeshViewDriver driver(kSphere, QStringLiteral("sphere.mesh"));
        ASSERT_TRUE(buildGeometry(driver.mesh()).closed);
        ASSERT_TRUE(driver.moveThreshold(0.9));
        outward = driver.picture();
        ASSERT_GT(redPixels(outward), 0);
        MeshGLView* view = driver.view().glView();
        view->setFocus();
        for (int step = 0;
             step < 40 && view->camera().distance() > 0.1f * buildGeometry(driver.mesh()).radius;
             ++step) {
            QTest::keyClick(view, Qt::Key_Plus);
        }
        const QImage inside = driver.picture();
        long long background = 0;
        for (int y = 0; y < inside.height(); ++y) {
            for (int x = 0; x < inside.width(); ++x) {
                background += isBackground(inside.pixel(x, y)) ? 1 : 0;
            }
        }
        EXPECT_EQ(background, 0);  // all around the eye is surface
    }
    MeshViewDriver driver(turned, QStringLiteral("turned.mesh"));
    const MeshGeometry g = buildGeometry(driver.mesh());
    ASSERT_TRUE(g.closed);
    EXPECT_FALSE(g.facesOutward);
    ASSERT_TRUE(driver.moveThreshold(0.9));
    const QImage inward = driver.picture();
    ASSERT_EQ(inward.size(), outward.size());
    EXPECT_LT(differingPixels(inward, outward), inward.width() * inward.height() / 1000);
}

TEST_F(MeshViewRenderTest, ARightClickOpensTheMenuWithSavePictureAndARightDragPans) {
    MeshViewDriver driver(kSphere, QStringLiteral("sphere.mesh"));
    MeshGLView* view = driver.view().glView();
    const QPoint middle = view->rect().center();
    QStringList offered;
    QTimer::singleShot(300, [&] {
        if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())) {
            for (QAction* action : menu->actions()) {
                offered << action->text();
            }
            menu->close();
        }
    });
    QTest::mouseClick(view, Qt::RightButton, Qt::NoModifier, middle);
    EXPECT_TRUE(offered.contains(QStringLiteral("Save Picture...")))
        << offered.join(", ").toStdString();

    const QImage before = driver.picture();
    ASSERT_NEAR(view->camera()
                    .project(buildGeometry(driver.mesh()).centre, view->width(), view->height())
                    .x,
                middle.x(), 1);
    QTest::mousePress(view, Qt::RightButton, Qt::NoModifier, middle);
    for (int step = 1; step <= 5; ++step) {
        QMouseEvent move(QEvent::MouseMove, QPointF(middle + QPoint(8 * step, 0)),
                         view->mapToGlobal(QPointF(middle + QPoint(8 * step, 0))), Qt::NoButton,
                         Qt::RightButton, Qt::NoModifier);
        QApplication::sendEvent(view, &move);
    }
    QTest::mouseRelease(view, Qt::RightButton, Qt::NoModifier, middle + QPoint(40, 0));
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);  // a drag opens no menu
    const QImage after = driver.picture();
    EXPECT_NE(after, before);
    // The mesh followed the cursor: its centre lies 40 pixels further right, minus the few
    // pixels a press moves before it counts as a drag.
    const glm::vec3 centre = buildGeometry(driver.mesh()).centre;
    const ScreenPoint moved = view->camera().project(centre, view->width(), view->height());
    EXPECT_NEAR(moved.x - middle.x(), 40, 8);
    EXPECT_NEAR(moved.y, middle.y(), 1);
}

}  // namespace
}  // namespace meshthin::testing

int main(int argc, char** argv) {
    // ctest asks for the X platform; without a display Qt would stop the program, so the tests
    // fall back to the offscreen platform and say that they were skipped.
    if (qEnvironmentVariable("QT_QPA_PLATFORM") == QLatin1String("xcb") &&
        qEnvironmentVariableIsEmpty("DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        meshthin::testing::noDisplay = true;
    }
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
