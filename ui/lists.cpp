// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/lists.h"

#include <algorithm>
#include <charconv>
#include <string_view>
#include <vector>

#include "meshio/numtext.h"
#include "meshio/reduction.h"
#include "model/mesh.h"

namespace meshthin {

namespace {

void appendNumber(std::string& text, long long number) {
    char digits[24];
    const auto written = std::to_chars(digits, digits + sizeof digits, number);
    text.append(digits, static_cast<size_t>(written.ptr - digits));
}

// The lines of the list being filled, handed to the window in batches. Each batch's lines are
// written over the previous batch's, of this list or the one before, so that a line's buffer is
// allocated once for all lists, not once per list and line, and none is freed in between. A
// batch holds at least as many lines as there are points, so that List1 and List2 get theirs at
// once (List2 would sort every further batch in among its rows), and the face list, often
// longer, reuses them.
class ListLines {
public:
    ListLines(Window& window, size_t points)
        : window(window), batch(std::max<size_t>(points, kSmallestBatch)) {
        lines.reserve(batch);
    }

    void start(ListBox list) {
        window.clearList(list);
        target = list;
        used = 0;
        sent = false;
    }

    void add(std::string_view line) {
        if (used == lines.size()) {
            lines.emplace_back(line);
        } else {
            lines[used].assign(line);
        }
        if (++used == batch) {
            send();
        }
    }

    // Sends what is left; a list without lines is sent as such.
    void finish() {
        if (used > 0 || !sent) {
            send();
        }
    }

private:
    // A mesh with few points and many faces still hands its faces over in a few calls.
    static constexpr size_t kSmallestBatch = 1024;

    void send() {
        lines.resize(used);
        window.addListItems(target, lines);
        used = 0;
        sent = true;
    }

    Window& window;
    const size_t batch;
    std::vector<std::string> lines;
    size_t used = 0;
    ListBox target = ListBox::List1;
    bool sent = false;
};

// The value and face lines are written into one reused buffer first, then copied into their
// line at their length: writing in place needs room for the longest possible line.

// "V - i conns: c", V the point's value rounded to two decimals in its general form.
void writeValueItem(std::string& line, long long i, const Point& point, char separator) {
    line.clear();
    numtext::appendRoundedGeneralForm(line, point.getValue(), 2, separator);
    line += " - ";
    appendNumber(line, i);
    line += " conns: ";
    appendNumber(line, point.getNumConns());
}

// "f (p0)(p1)...", the face's number and its report.
void writeFaceItem(std::string& line, long long f, const Face& face) {
    line.clear();
    appendNumber(line, f);
    line += ' ';
    face.appendReport(line);
}

}  // namespace

std::string thresholdText(int position, char separator) {
    return numtext::generalForm(static_cast<double>(position) / kSliderMaximum, separator);
}

void fillPointList(Window& window, const Mesh& mesh) {
    const long long lastPoint = mesh.lastLoadedPoint();
    ListLines items(window, static_cast<size_t>(lastPoint + 1));
    items.start(ListBox::List1);
    for (long long i = 0; i <= lastPoint; ++i) {
        items.add(pointListItem(mesh, i));
    }
    items.finish();
}

void FillLists(Window& window, const Mesh& mesh) {
    const char separator = window.decimalSeparator();
    const long long lastPoint = mesh.lastLoadedPoint();

    ListLines items(window, static_cast<size_t>(lastPoint + 1));
    std::string line;

    items.start(ListBox::List1);
    for (long long i = 0; i <= lastPoint; ++i) {
        items.add(pointListItem(mesh, i));
    }
    items.finish();

    items.start(ListBox::List2);
    for (long long i = 0; i <= lastPoint; ++i) {
        writeValueItem(line, i, mesh.Points(i), separator);
        items.add(line);
    }
    items.finish();

    items.start(ListBox::List4);
    const long long lastFace = mesh.Faces.upperBound();
    for (long long f = 0; f <= lastFace; ++f) {
        writeFaceItem(line, f, mesh.Faces(f));
        items.add(line);
    }
    items.finish();

    window.setText1(thresholdText(window.sliderPosition(), separator));
    RefreshStatistics(window, mesh);
}

void RefreshStatistics(Window& window, const Mesh& mesh) {
    const char separator = window.decimalSeparator();
    // The threshold is the number the text shows, read with the same separator that wrote it.
    const double threshold = numtext::leadingNumber(window.text1(), separator);
    const long long pointCount = mesh.lastLoadedPoint() + 1;
    int32_t below = 0;
    for (long long i = 0; i < pointCount; ++i) {
        if (threshold > mesh.Points(i).getValue()) {
            ++below;
        }
    }
    const double percent =
        pointCount > 0 ? static_cast<double>(below) / static_cast<double>(pointCount) * 100 : 0;
    window.setLabel(Caption::lblPBefore, "Points: " + std::to_string(pointCount));
    window.setLabel(Caption::lblPAfter,
                    "Reduced: " + std::to_string(below) + " (" +
                        numtext::generalForm(numtext::roundHalfEven(percent, 1), separator) + "%)");
}

void showSelectedPoint(Window& window, const Mesh& mesh, const std::string& itemText,
                       PointNumber& selectedPoint) {
    const char separator = window.decimalSeparator();
    if (!numtext::isNumeric(itemText, separator)) {
        return;
    }
    // A List1 item is a point number as the list wrote it. Read as the window reads every whole
    // number in a mesh within the brace format's 16 bits; past them, plainly.
    PointNumber number = 0;
    if (mesh.positionLimit() <= kBracePositionLimit) {
        number = numtext::toInt16(itemText, separator);
    } else if (std::from_chars(itemText.data(), itemText.data() + itemText.size(), number).ec !=
               std::errc()) {
        return;
    }
    const Point& point = mesh.Points(number);
    selectedPoint = number;
    window.setLabel(Caption::Label1, "Point " + std::to_string(number) +
                                         " x: " + numtext::generalForm(point.getX(), separator) +
                                         " y: " + numtext::generalForm(point.getY(), separator) +
                                         " z: " + numtext::generalForm(point.getZ(), separator));
    window.clearList(ListBox::List3);
    std::vector<std::string> connections;
    const PointNumber last = point.getNumConns();
    for (PointNumber j = 0; j <= last; ++j) {
        connections.push_back(std::to_string(point.getConn(mesh, j)));
    }
    window.addListItems(ListBox::List3, connections);
}

}  // namespace meshthin
