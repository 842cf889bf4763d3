// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/stopping.h"

#include <utility>

#include "model/store.h"

namespace meshthin {

WindowCheckpoints::WindowCheckpoints(Window& window)
    : window(window), last(std::chrono::steady_clock::now()) {
    setCheckpoint([this] { look(); });
}

WindowCheckpoints::~WindowCheckpoints() {
    setCheckpoint(nullptr);
}

void WindowCheckpoints::operator()() {
    if (items++ % kItemsPerLook == 0) {
        look();
    }
}

void WindowCheckpoints::look() {
    const auto now = std::chrono::steady_clock::now();
    if (now - last < kEventInterval) {
        return;
    }
    window.processEvents();
    last = std::chrono::steady_clock::now();
    if (window.closing()) {
        throw RunStopped{};
    }
}

StopCheckpoints::StopCheckpoints(std::function<bool()> stopRequested)
    : stopRequested(std::move(stopRequested)) {
    setCheckpoint([this] { (*this)(); });
}

StopCheckpoints::~StopCheckpoints() {
    setCheckpoint(nullptr);
}

void StopCheckpoints::operator()() const {
    if (stopRequested && stopRequested()) {
        throw RunStopped{};
    }
}

}  // namespace meshthin
