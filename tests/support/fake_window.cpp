// SPDX-License-Identifier: GPL-3.0-or-later
#include "support/fake_window.h"

#include <algorithm>

namespace meshthin::testing {

void FakeWindow::processEvents() {
    ++eventRounds;
    if (eventRounds == closeInEventRound) {
        closed = true;
    }
}

void FakeWindow::setButtonCaption(const std::string& text) {
    captions.push_back(text);
    if (working != nullptr) {
        processEvents();
        if (closed) {
            working->request_stop();
        }
    }
}

void FakeWindow::whileWorking(const std::function<void(std::stop_token)>& work) {
    std::stop_source stop;
    if (closed) {
        stop.request_stop();
    }
    working = &stop;
    try {
        work(stop.get_token());
    } catch (...) {
        working = nullptr;
        throw;
    }
    working = nullptr;
}

void FakeWindow::addListItems(ListBox list, const std::vector<std::string>& items) {
    std::vector<std::string>& target = lists[list];
    for (const std::string& item : items) {
        if (list == ListBox::List2) {
            // A sorted list box: each item goes to its place in plain character-code order.
            target.insert(std::upper_bound(target.begin(), target.end(), item), item);
        } else {
            target.push_back(item);
        }
    }
}

std::string FakeWindow::openDialog() {
    dialogFileName = openAnswer;
    return openAnswer;
}

std::optional<std::string> FakeWindow::saveDialog() {
    if (saveAnswers.empty()) {
        return dialogFileName;
    }
    std::optional<std::string> answer = saveAnswers.front();
    saveAnswers.pop_front();
    if (answer) {
        dialogFileName = *answer;
    }
    return answer;
}

std::string FakeWindow::label(Caption which) const {
    auto found = labels.find(which);
    return found == labels.end() ? "" : found->second;
}

}  // namespace meshthin::testing
