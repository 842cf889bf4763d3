// SPDX-License-Identifier: GPL-3.0-or-later
// A window that records what the logic does to it and answers its questions from a script:
// the texts of every control, every caption and message in order, and the dialogs' answers.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "meshio/window.h"

namespace meshthin::testing {

class FakeWindow : public Window {
public:
    void setButtonCaption(const std::string& text) override;
    std::string text1() const override { return text1Text; }
    void setText1(const std::string& text) override { text1Text = text; }
    void setLabel(Caption label, const std::string& text) override { labels[label] = text; }
    void clearList(ListBox list) override { lists[list].clear(); }
    void addListItems(ListBox list, const std::vector<std::string>& items) override;
    int sliderPosition() const override { return slider; }
    void messageBox(const std::string& text) override { messages.push_back(text); }
    std::string openDialog() override;
    std::optional<std::string> saveDialog() override;
    void processEvents() override;
    // Runs work at once, on this thread. Every caption work shows meanwhile is a round of events,
    // as in the real window, and the round that closes the window stops work.
    void whileWorking(const std::function<void(std::stop_token)>& work) override;
    bool closing() const override { return closed; }
    char decimalSeparator() const override { return separator; }

    const std::vector<std::string>& list(ListBox which) { return lists[which]; }
    std::string label(Caption which) const;

    // Script
    std::string openAnswer;                              // the file chosen in the open dialog
    std::deque<std::optional<std::string>> saveAnswers;  // nullopt: Cancel; none left: keep name
    char separator = '.';
    int slider = 0;
    std::string text1Text = "Enter Threshold";
    int closeInEventRound =
        0;  // the user closes the window during this round of events (1 = first)

    // Record
    std::string dialogFileName;  // the name the dialog keeps from one dialog to the next
    std::vector<std::string> captions;
    std::vector<std::string> messages;
    int eventRounds = 0;
    bool closed = false;

private:
    std::map<ListBox, std::vector<std::string>> lists;
    std::stop_source* working = nullptr;  // while work runs
    std::map<Caption, std::string> labels;
};

}  // namespace meshthin::testing
