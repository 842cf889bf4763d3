// SPDX-License-Identifier: GPL-3.0-or-later
// What the loader, the reduction run, the writer and the lists need from the window, and
// nothing more. The Qt window implements it for real; a recording fake implements it in tests,
// so that the whole job runs without a display.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

namespace meshthin {

enum class ListBox { List1, List2, List3, List4, List5 };
enum class Caption { Label1, lblPBefore, lblPAfter };

// The lines of a list, each written when it is asked for: a window that shows a few lines of a
// million at a time then formats only those. Immutable once made, so that a window may keep it
// and ask for lines at any time; what it reads (a snapshot, or a mesh it shares) stays alive
// with it.
class ListLines {
public:
    virtual ~ListLines() = default;
    virtual long long size() const = 0;
    // Line row's text, 0 <= row < size(), written over line.
    virtual void write(long long row, std::string& line) const = 0;
};

class Window {
public:
    virtual ~Window() = default;

    // Command1's caption, the run's progress display.
    virtual void setButtonCaption(const std::string& text) = 0;
    virtual std::string text1() const = 0;
    virtual void setText1(const std::string& text) = 0;
    virtual void setLabel(Caption label, const std::string& text) = 0;

    virtual void clearList(ListBox list) = 0;
    // Appends the items in order; List2 places every item at its sorted place.
    virtual void addListItems(ListBox list, const std::vector<std::string>& items) = 0;
    // Replaces the list's lines with lines, in their order (List2's already sorted): clearList,
    // then appendLines.
    virtual void showLines(ListBox list, std::shared_ptr<const ListLines> lines) {
        clearList(list);
        appendLines(list, std::move(lines));
    }
    // Appends lines behind the list's lines. A window may keep them and write each line when it
    // is shown; by default every line is written at once and added as addListItems adds items.
    virtual void appendLines(ListBox list, std::shared_ptr<const ListLines> lines) {
        std::vector<std::string> items(static_cast<size_t>(lines->size()));
        for (size_t row = 0; row < items.size(); ++row) {
            lines->write(static_cast<long long>(row), items[row]);
        }
        addListItems(list, items);
    }

    virtual int sliderPosition() const = 0;

    // A modal message box with an OK button and the application's title.
    virtual void messageBox(const std::string& text) = 0;
    // The open dialog: the chosen file name, empty when cancelled. The dialog keeps the name.
    virtual std::string openDialog() = 0;
    // The save dialog, proposing the name kept from the last dialog; nothing when cancelled.
    virtual std::optional<std::string> saveDialog() = 0;

    // Lets pending window events run during a long operation. The window's controls and menus
    // that would change the mesh are disabled meanwhile: the operation stays the one thing that
    // changes it.
    virtual void processEvents() = 0;
    // Runs work to its end on a thread of its own while the window stays live, and returns once
    // it has ended, passing on what it threw. work's token asks it to stop: the window asks when
    // the user stops the run or closes the window. The one call work makes to the window from
    // its thread is setButtonCaption (the progress), which the window shows in order.
    virtual void whileWorking(const std::function<void(std::stop_token)>& work) = 0;
    // Whether the user has closed the window, or asked to stop, while an operation was running;
    // the operation then stops without writing anything.
    virtual bool closing() const = 0;
    // The user's decimal separator, used for every number text shown or written.
    virtual char decimalSeparator() const = 0;
};

}  // namespace meshthin
