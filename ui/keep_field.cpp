// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/keep_field.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <utility>

#include "meshio/batch.h"
#include "meshio/numtext.h"
#include "meshio/run/keep_amount.h"
#include "meshio/stopping.h"
#include "model/failure.h"
#include "ui/form1.h"
#include "ui/histogram.h"

namespace meshthin {

KeepField::KeepField(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* label = new QLabel(QStringLiteral("&Keep:"), this);
    input = new QLineEdit(this);
    input->setObjectName(QStringLiteral("keepField"));
    input->setPlaceholderText(QStringLiteral("points, or a share such as 25%"));
    input->setAccessibleName(QStringLiteral("Keep"));
    input->setAccessibleDescription(
        QStringLiteral("How many points a run should keep: a number of points, or a share such "
                       "as 25%. Enter finds the threshold whose run keeps the count closest to "
                       "it and puts it into the main window's threshold box."));
    label->setBuddy(input);  // Alt+K
    status = new QLabel(this);
    status->setAccessibleName(QStringLiteral("Keep result"));
    layout->addWidget(label);
    layout->addWidget(input);
    layout->addWidget(status, 1);
    connect(input, &QLineEdit::returnPressed, this, &KeepField::requested);
}

KeepField::~KeepField() {
    stopSearch();
    // The jthreads join as they are destroyed, each at its trial's next checkpoint.
}

void KeepField::setMesh(std::shared_ptr<const Mesh> newMesh) {
    stopSearch();
    mesh = std::move(newMesh);
    say({});
}

void KeepField::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::EnabledChange && !isEnabled() && searching()) {
        stopSearch();
        say({});
    }
}

QString KeepField::statusText() const {
    return status->text();
}

void KeepField::say(const QString& text) {
    status->setText(text);
}

void KeepField::requested() {
    stopSearch();
    const std::optional<KeepAmount> amount =
        parseKeepAmount(input->text().toStdString(), userDecimalSeparator());
    if (!amount) {
        say(QString::fromLatin1(kNotKeepAmountMessage));
        return;
    }
    if (!mesh || !mesh->Points.exists()) {
        say(QStringLiteral("No mesh"));
        return;
    }
    const long long points = pointsLeft(*mesh);
    const long long target = amount->of(points);
    if (target > points) {
        say(QString::fromStdString(tooFewPointsMessage(target, points)));
        return;
    }
    say(QStringLiteral("Finding the threshold that keeps %1 points...")
            .arg(QString::fromStdString(groupedCount(target))));
    wanted = ++requests;
    current.thread = std::jthread([this, ended = current.ended, request = wanted, shared = mesh,
                                   target, points](std::stop_token stop) {
        Outcome outcome;
        outcome.request = request;
        outcome.points = points;
        bool wasStopped = false;
        try {
            outcome.search = findKeepThreshold(*shared, target, stop);
        } catch (const RunStopped&) {
            wasStopped = true;
        } catch (const std::exception& thrown) {
            outcome.failure = describe(thrown);
        }
        if (!wasStopped) {
            // Shown on the window's thread; a call queued for a field destroyed since is dropped.
            QMetaObject::invokeMethod(
                this, [this, outcome] { searchEnded(outcome); }, Qt::QueuedConnection);
        }
        ended->store(true, std::memory_order_release);
    });
}

void KeepField::stopSearch() {
    wanted = 0;
    if (current.thread.joinable()) {
        current.thread.request_stop();
        stopped.push_back(std::move(current));
        current = Search();
    }
    // A jthread joins as it is erased; only those whose work has ended are, so none is waited
    // for here.
    std::erase_if(stopped, [](const Search& search) {
        return search.ended->load(std::memory_order_acquire);
    });
}

void KeepField::searchEnded(const Outcome& outcome) {
    if (outcome.request != wanted) {
        return;  // overtaken by a newer request or mesh
    }
    wanted = 0;
    if (!outcome.search) {
        say(QStringLiteral("The search failed: %1").arg(QString::fromStdString(outcome.failure)));
        return;
    }
    const KeepSearch& found = *outcome.search;
    say(QStringLiteral("A run at %1 keeps %2 of %3 points (%4 trial runs)")
            .arg(QString::fromStdString(
                     numtext::generalForm(found.threshold, userDecimalSeparator())),
                 QString::fromStdString(groupedCount(found.kept)),
                 QString::fromStdString(groupedCount(outcome.points)))
            .arg(found.trialRuns));
    emit thresholdFound(found.threshold);
}

}  // namespace meshthin
