// SPDX-License-Identifier: GPL-3.0-or-later
// The mesh view where no OpenGL context can be made (Qt's offscreen platform, as every other
// window test runs): it says so instead of drawing, never creates the 3D view, and its
// histogram, legend and counts still follow the mesh, the threshold and a run, readable by
// assistive technology.
#include <gtest/gtest.h>

#include <QLabel>
#include <QMouseEvent>
#include <QSignalSpy>
#include <QTest>
#include <sstream>

#include "meshio/batch.h"
#include "meshio/dry_run.h"
#include "model/mesh.h"
#include "support/store_fixture.h"
#include "tools/mesh_generators.h"
#include "ui/mesh_view_window.h"

namespace meshthin::testing {
namespace {

class MeshViewWithoutOpenGL : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        stopListening();
        loadAndAnalyze(generate::grid(16, 12, 0.7, 9));
        shown = std::make_shared<const Mesh>(mesh);
    }

    // The mesh the view is shown, as the window's document holds it.
    std::shared_ptr<const Mesh> shown;
};

template <class Widget>
Widget* findNamed(QWidget& in, const QString& name) {
    for (Widget* w : in.findChildren<Widget*>()) {
        if (w->accessibleName() == name) {
            return w;
        }
    }
    return nullptr;
}

TEST_F(MeshViewWithoutOpenGL, SaysItCannotDrawAndKeepsCountingMarks) {
    MeshViewWindow view;
    ASSERT_EQ(view.glView(), nullptr);
    view.meshChanged(shown, QStringLiteral("grid.mesh"), true);
    view.show();
    EXPECT_EQ(view.windowTitle(), QStringLiteral("Mesh view - grid.mesh"));
    bool told = false;
    for (QLabel* label : view.findChildren<QLabel*>()) {
        told = told || label->text().contains(QStringLiteral("no OpenGL context"));
    }
    EXPECT_TRUE(told);
    EXPECT_EQ(view.countsText(), QStringLiteral("No threshold: Text1 holds no number"));

    view.thresholdChanged(1.1);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.dryRunPending(); }, 30000));
    const long long removes = static_cast<long long>(pointsARunRemoves(*shown, 1.1).size());
    EXPECT_EQ(view.removesCount(), removes);
    EXPECT_TRUE(view.countsText().endsWith(QStringLiteral(" below 1.1 now; a run removes ") +
                                           QString::number(removes)));

    // A run: busy meanwhile, then the counts of the reduced mesh.
    view.setBusy(true);
    EXPECT_TRUE(view.countsText().endsWith(QStringLiteral("(a run is in progress)")));
    std::ostringstream nowhere;
    auto working = std::make_shared<Mesh>(*shown);
    reduce(*working, 1.1, dotNumbers, nowhere);
    shown = std::move(working);
    view.setBusy(false);
    view.meshChanged(shown, QStringLiteral("grid.mesh"), false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.dryRunPending(); }, 30000));
    EXPECT_EQ(view.removesCount(), static_cast<long long>(pointsARunRemoves(*shown, 1.1).size()));

    // Closed, it says so to the menu, and a hidden view starts no trial run.
    QSignalSpy closed(&view, &MeshViewWindow::closed);
    view.close();
    EXPECT_EQ(closed.count(), 1);
    view.thresholdChanged(0.9);
    QTest::qWait(150);
    EXPECT_FALSE(view.dryRunPending());
    EXPECT_FALSE(view.removesCount().has_value());
    view.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.dryRunPending(); }, 30000));
    EXPECT_EQ(view.removesCount(), static_cast<long long>(pointsARunRemoves(*shown, 0.9).size()));
}

TEST_F(MeshViewWithoutOpenGL, TheHistogramPicksThresholdsAndReadsOutItsCounts) {
    MeshViewWindow view;
    view.resize(600, 500);
    view.meshChanged(shown, QStringLiteral("grid.mesh"), true);
    view.thresholdChanged(0.8);
    view.show();
    (void)QTest::qWaitForWindowExposed(&view);
    auto* histogram = findNamed<ValueHistogram>(view, QStringLiteral("Value histogram"));
    ASSERT_NE(histogram, nullptr);
    const QString description = histogram->accessibleDescription();
    EXPECT_TRUE(description.startsWith(QStringLiteral("64 bins from ")))
        << description.toStdString();
    EXPECT_TRUE(description.contains(QStringLiteral(" points below 0.8")))
        << description.toStdString();
    auto* legend = findNamed<ValueLegend>(view, QStringLiteral("Value colours"));
    ASSERT_NE(legend, nullptr);
    EXPECT_TRUE(legend->accessibleDescription().contains(QStringLiteral("(dark purple)")));

    QSignalSpy picked(&view, &MeshViewWindow::thresholdPicked);
    // A click at the far left picks the lowest value, at the far right the highest.
    QTest::mouseClick(histogram, Qt::LeftButton, Qt::NoModifier, QPoint(6, 20));
    QTest::mouseClick(histogram, Qt::LeftButton, Qt::NoModifier,
                      QPoint(histogram->width() - 6, 20));
    ASSERT_EQ(picked.count(), 2);
    const double low = picked.at(0).at(0).toDouble();
    const double high = picked.at(1).at(0).toDouble();
    EXPECT_LT(low, 0.8);
    EXPECT_GT(high, low);
    // From the keyboard: Right moves to the next bin edge above the threshold.
    histogram->setFocus();
    QTest::keyClick(histogram, Qt::Key_Right);
    ASSERT_EQ(picked.count(), 3);
    EXPECT_GT(picked.at(2).at(0).toDouble(), 0.8);
    EXPECT_LT(picked.at(2).at(0).toDouble(), 0.8 + (high - low) / 64 * 1.1);
}

}  // namespace
}  // namespace meshthin::testing
