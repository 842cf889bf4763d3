// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/stopping.h"

#include <utility>

#include "model/mesh.h"

namespace meshthin {

WindowCheckpoints::WindowCheckpoints(Window& window, Mesh& mesh)
    : observed(mesh, *this), window(window), last(std::chrono::steady_clock::now()) {
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

StopCheckpoints::StopCheckpoints(Mesh& mesh, std::function<bool()> stopRequested)
    : observed(mesh, *this), stopRequested(std::move(stopRequested)) {
}

void StopCheckpoints::operator()() const {
    if (stopRequested && stopRequested()) {
        throw RunStopped{};
    }
}

}  // namespace meshthin
