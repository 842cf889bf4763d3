// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/run/trial_run.h"

#include <utility>

#include "meshio/dry_run.h"
#include "meshio/stopping.h"

namespace meshthin {

namespace {

// What a trial that ran out of memory could not do, after "Not enough memory to ": the view
// shows the threshold beside it.
constexpr const char* kTrialMemoryWhat = "run at this threshold";

// Ends the trial's walk at its next checkpoint once a newer trial or the window asks.
class StopWhenAsked : public RunObserver {
public:
    explicit StopWhenAsked(std::stop_token stop) : stop(std::move(stop)) {}
    void checkpoint() override {
        if (stop.stop_requested()) {
            throw RunStopped{};
        }
    }

private:
    std::stop_token stop;
};

}  // namespace

TrialRun::~TrialRun() {
    cancel();
    // The jthreads join as they go: each ends at its walk's next checkpoint, or once it has
    // copied the mesh.
}

uint64_t TrialRun::start(std::shared_ptr<const Mesh> mesh, double threshold, Done done) {
    cancel();
    reapStopped();
    const uint64_t trial = ++started;
    current = Thread();
    current.thread =
        std::jthread([shared = shared, ended = current.ended, trial, mesh = std::move(mesh),
                      threshold, done = std::move(done)](std::stop_token stop) {
            work(std::move(stop), shared, trial, mesh, threshold, done);
            ended->store(true, std::memory_order_release);
        });
    return trial;
}

void TrialRun::cancel() {
    if (current.thread.joinable()) {
        current.thread.request_stop();
        stopped.push_back(std::move(current));
        current = Thread();
    }
}

bool TrialRun::running() const {
    const std::lock_guard lock(shared->mutex);
    return started != 0 && shared->finished < started;
}

TrialRun::Outcome TrialRun::wait() {
    std::unique_lock lock(shared->mutex);
    shared->ended.wait(lock, [&] { return shared->finished >= started; });
    if (shared->outcome.trial == started) {
        return shared->outcome;
    }
    Outcome outcome;
    outcome.trial = started;
    return outcome;
}

void TrialRun::work(std::stop_token stop, const std::shared_ptr<Shared>& shared, uint64_t trial,
                    const std::shared_ptr<const Mesh>& mesh, double threshold,
                    const Done& done) noexcept {
    Outcome outcome;
    outcome.trial = trial;
    outcome.threshold = threshold;
    bool wasStopped = false;
    try {
        // The copy is gone before the failure is described, so that a trial that ran out of
        // memory has memory again to say so.
        outcome.removed = [&] {
            Mesh copy(*mesh);
            StopWhenAsked observer(stop);
            const ObservedRun observed(copy, observer);
            return removeAndListPointsBelow(copy, threshold);
        }();
    } catch (const RunStopped&) {
        wasStopped = true;
    } catch (const std::exception& thrown) {
        outcome.failure = describe(thrown, kTrialMemoryWhat);
    }
    // Handing the outcome over copies it; should that fail for want of memory, the trial fails
    // instead, told with what is left once its list is dropped. A trial's thread never throws:
    // a std::jthread that throws ends the program.
    try {
        handOver(shared, outcome, wasStopped, done);
    } catch (...) {
        outcome.removed.reset();
        try {
            outcome.failure = notEnoughMemoryTo(kTrialMemoryWhat);
            handOver(shared, outcome, wasStopped, done);
        } catch (...) {
            // Nothing can be told; the trial has ended all the same, so nobody waits for it.
            {
                const std::lock_guard lock(shared->mutex);
                shared->finished = std::max(shared->finished, trial);
            }
            shared->ended.notify_all();
        }
    }
}

void TrialRun::handOver(const std::shared_ptr<Shared>& shared, const Outcome& outcome,
                        bool wasStopped, const Done& done) {
    {
        const std::lock_guard lock(shared->mutex);
        if (!wasStopped) {
            shared->outcome = outcome;
        }
        shared->finished = std::max(shared->finished, outcome.trial);
    }
    shared->ended.notify_all();
    if (!wasStopped && done) {
        done(outcome);
    }
}

void TrialRun::reapStopped() {
    // A jthread joins as it is erased; only those whose work has ended are.
    std::erase_if(stopped, [](const Thread& thread) {
        return thread.ended->load(std::memory_order_acquire);
    });
}

}  // namespace meshthin
