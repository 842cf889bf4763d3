// SPDX-License-Identifier: GPL-3.0-or-later
// The mesh view's Keep field on the offscreen platform: Enter on a target hands on the threshold
// that the search finds for it, as a click on the histogram does; a text that is no target, or
// one beyond the mesh, says why and hands on nothing; a new mesh drops the search still going.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>

#include "meshio/batch.h"
#include "meshio/run/keep_target.h"
#include "support/store_fixture.h"
#include "tools/mesh_generators.h"
#include "ui/keep_field.h"
#include "ui/mesh_view_window.h"

namespace meshthin::testing {
namespace {

class KeepFieldTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        stopListening();
        loadAndAnalyze(generate::sphere(14, 20, 0.3, 3));
        shown = std::make_shared<const Mesh>(mesh);
    }

    std::shared_ptr<const Mesh> shown;
};

void enter(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
}

TEST_F(KeepFieldTest, EnterPutsTheThresholdFoundThroughTheView) {
    MeshViewWindow view;
    view.meshChanged(shown, QStringLiteral("sphere.mesh"), true);
    view.show();
    auto* field = view.findChild<KeepField*>();
    ASSERT_NE(field, nullptr);
    QLineEdit* edit = field->edit();
    EXPECT_EQ(edit->accessibleName(), QStringLiteral("Keep"));
    EXPECT_FALSE(edit->accessibleDescription().isEmpty());
    QSignalSpy picked(&view, &MeshViewWindow::thresholdPicked);

    const long long points = pointsLeft(*shown);
    enter(edit, QStringLiteral("40%"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return picked.count() == 1; }, 30000));
    const KeepSearch expected = findKeepThreshold(*shown, (points * 4 + 5) / 10);
    EXPECT_EQ(picked.at(0).at(0).toDouble(), expected.threshold);
    EXPECT_TRUE(field->statusText().contains(QString::number(expected.kept)))
        << field->statusText().toStdString();

    for (const QString& refused : {QStringLiteral("forty"), QString::number(points + 1)}) {
        enter(edit, refused);
        EXPECT_FALSE(field->searching());
        EXPECT_FALSE(field->statusText().isEmpty());
    }
    // A new mesh, or a run, while a search goes on: its outcome is never handed on.
    enter(edit, QStringLiteral("10"));
    ASSERT_TRUE(field->searching());
    view.meshChanged(shown, QStringLiteral("sphere.mesh"), false);
    EXPECT_FALSE(field->searching());
    enter(edit, QStringLiteral("10"));
    view.setBusy(true);
    EXPECT_FALSE(field->searching());
    EXPECT_FALSE(edit->isEnabled());
    QTest::qWait(300);
    EXPECT_EQ(picked.count(), 1);
}

}  // namespace
}  // namespace meshthin::testing
