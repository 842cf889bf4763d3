// SPDX-License-Identifier: GPL-3.0-or-later
// The mesh view's "Keep:" field: the user types how much of the mesh to keep (a number of points
// or a share such as 25%, meshio/run/keep_amount.h) and presses Enter; the field finds the
// threshold whose run keeps the count closest to it (meshio/run/keep_target.h) and hands it on
// through thresholdFound, which the view passes to the main window as a click on its histogram
// does: the threshold lands in Text1, and the marks, the trial run and the statistics follow.
// The run itself stays the user's click.
//
// Threads: the search runs on a std::jthread of its own over the mesh it was given, a
// std::shared_ptr<const Mesh> that nobody changes; its result is handed by value to the window's
// thread through a queued call, and everything else belongs to the window's thread. A newer
// request or a new mesh stops the search still going (within a fraction of a millisecond of its
// work) without waiting for it, and an outcome that is not the latest is dropped.
#pragma once

#include <QWidget>
#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

#include "meshio/run/keep_target.h"
#include "model/mesh.h"

class QLabel;
class QLineEdit;

namespace meshthin {

class KeepField : public QWidget {
    Q_OBJECT

public:
    explicit KeepField(QWidget* parent = nullptr);
    // Stops the search and waits for its thread.
    ~KeepField() override;

    // The mesh to search from now on; stops the search of the one before.
    void setMesh(std::shared_ptr<const Mesh> mesh);

    // --- for tests ---
    QLineEdit* edit() const { return input; }
    QString statusText() const;
    bool searching() const { return wanted != 0; }

signals:
    void thresholdFound(double threshold);

protected:
    // Disabled (while a run works), the field stops its search: the main window would not take
    // the threshold then, and the mesh is about to change.
    void changeEvent(QEvent* event) override;

private:
    struct Outcome {
        uint64_t request = 0;
        std::optional<KeepSearch> search;  // nothing when the search failed
        std::string failure;
        long long points = 0;
    };
    // A search's thread, and whether its work has ended (set last thing on the thread).
    struct Search {
        std::shared_ptr<std::atomic<bool>> ended = std::make_shared<std::atomic<bool>>(false);
        std::jthread thread;
    };

    void requested();
    void stopSearch();
    void searchEnded(const Outcome& outcome);
    void say(const QString& text);

    std::shared_ptr<const Mesh> mesh;
    QLineEdit* input = nullptr;
    QLabel* status = nullptr;
    uint64_t requests = 0;
    uint64_t wanted = 0;  // the request whose outcome is awaited; 0 for none
    Search current;
    std::vector<Search> stopped;  // asked to stop, perhaps still ending
};

}  // namespace meshthin
