// SPDX-License-Identifier: GPL-3.0-or-later
// A window that shows nothing: it keeps Text1, answers the open and save dialogs with the files
// it was given and remembers the last message. For the benchmarks and the fuzz target, which
// drive the loader, the run and the writer without a display; the tests use FakeWindow, which
// records everything.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "meshio/window.h"

namespace meshthin::testing {

class QuietWindow : public Window {
public:
    QuietWindow(std::string openAnswer, std::string saveAnswer, char separator = '.')
        : openAnswer(std::move(openAnswer)),
          saveAnswer(std::move(saveAnswer)),
          separator(separator) {}

    void setButtonCaption(const std::string&) override {}
    std::string text1() const override { return text; }
    void setText1(const std::string& value) override { text = value; }
    void setLabel(Caption, const std::string&) override {}
    void clearList(ListBox) override {}
    void addListItems(ListBox, const std::vector<std::string>&) override {}
    int sliderPosition() const override { return 0; }
    void messageBox(const std::string& message) override { lastMessage = message; }
    std::string openDialog() override { return openAnswer; }
    std::optional<std::string> saveDialog() override { return saveAnswer; }
    void processEvents() override {}
    void whileWorking(const std::function<void(std::stop_token)>& work) override {
        work(std::stop_token());
    }
    bool closing() const override { return false; }
    char decimalSeparator() const override { return separator; }

    std::string lastMessage;

private:
    std::string openAnswer;
    std::string saveAnswer;
    char separator;
    std::string text = "Enter Threshold";
};

}  // namespace meshthin::testing
