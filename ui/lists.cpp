// SPDX-License-Identifier: GPL-3.0-or-later
#include "ui/lists.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <numeric>
#include <string_view>
#include <unordered_map>
#include <utility>
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

// A value text of at most 16 bytes as two big-endian numbers, padded with zero bytes: equal
// texts have equal keys, and a table of them finds a text's group without a string.
struct TextKey {
    uint64_t head = 0;
    uint64_t tail = 0;
    bool operator==(const TextKey&) const = default;
};

struct TextKeyHash {
    size_t operator()(const TextKey& key) const {
        return std::hash<uint64_t>()(key.head * 0x9e3779b97f4a7c15u ^ key.tail);
    }
};

TextKey keyOf(std::string_view text) {
    unsigned char bytes[16] = {};
    std::memcpy(bytes, text.data(), std::min<size_t>(text.size(), 16));
    TextKey key;
    for (int i = 0; i < 8; ++i) {
        key.head = (key.head << 8) | bytes[i];
        key.tail = (key.tail << 8) | bytes[i + 8];
    }
    return key;
}

// The numbers 0 to count - 1 in the order of their decimal texts: "0", "1", "10", "100", "101",
// ..., "11", ...: a walk through the tree of their digits, a step per number.
template <class Visit>
void inTextOrder(long long count, Visit visit) {
    if (count <= 0) {
        return;
    }
    visit(0);
    const long long last = count - 1;
    long long number = 1;
    for (long long n = 0; n < last; ++n) {
        visit(number);
        if (number * 10 <= last) {
            number *= 10;
        } else {
            while (number % 10 == 9 || number + 1 > last) {
                number /= 10;
            }
            ++number;
        }
    }
}

// The order of the value list. Its lines "V - i conns: c" sort by their code units; as every
// character of a number comes after the blank that ends it, that is the order of the value
// texts V and, among equal ones, of the point numbers' texts i (the numbers differ, so the
// connections never decide). So the points are grouped by their value text (few texts: values
// rounded to two decimals), the groups put in the order of their texts, and the points dealt
// into their groups in the order of their numbers' texts: a pass over the points and a sort of
// the groups, where sorting the lines took a comparison of texts some 20 times per point.
std::vector<PointNumber> valueOrder(const Mesh& mesh, char separator) {
    const long long count = mesh.lastLoadedPoint() + 1;
    std::vector<uint32_t> groupOf(static_cast<size_t>(std::max(count, 0LL)));
    std::vector<std::string> texts;
    std::unordered_map<TextKey, uint32_t, TextKeyHash> shortTexts;
    std::unordered_map<std::string, uint32_t> longTexts;
    std::string text;
    for (long long i = 0; i < count; ++i) {
        text.clear();
        numtext::appendRoundedGeneralForm(text, mesh.Points(i).getValue(), 2, separator);
        const auto next = static_cast<uint32_t>(texts.size());
        const uint32_t group = text.size() <= 16
                                   ? shortTexts.try_emplace(keyOf(text), next).first->second
                                   : longTexts.try_emplace(text, next).first->second;
        if (group == next) {
            texts.push_back(text);
        }
        groupOf[static_cast<size_t>(i)] = group;
    }
    std::vector<uint32_t> groups(texts.size());
    std::iota(groups.begin(), groups.end(), 0u);
    std::sort(groups.begin(), groups.end(),
              [&texts](uint32_t a, uint32_t b) { return texts[a] < texts[b]; });
    // Where each group's lines start.
    std::vector<size_t> start(texts.size());
    std::vector<size_t> sizes(texts.size());
    for (const uint32_t group : groupOf) {
        ++sizes[group];
    }
    size_t place = 0;
    for (const uint32_t group : groups) {
        start[group] = place;
        place += sizes[group];
    }
    std::vector<PointNumber> order(groupOf.size());
    inTextOrder(count, [&](long long i) {
        order[start[groupOf[static_cast<size_t>(i)]]++] = static_cast<PointNumber>(i);
    });
    return order;
}

// The lines of one of the lists of a MeshLists, which they keep alive.
class ValueListLines : public ListLines {
public:
    explicit ValueListLines(std::shared_ptr<const MeshLists> lists) : lists(std::move(lists)) {}
    long long size() const override {
        return static_cast<long long>(lists->summary().valueOrder.size());
    }
    void write(long long row, std::string& line) const override {
        const PointNumber point = lists->summary().valueOrder[static_cast<size_t>(row)];
        writeValueItem(line, point, lists->mesh()->Points(point), lists->summary().separator);
    }

private:
    std::shared_ptr<const MeshLists> lists;
};

class FaceListLines : public ListLines {
public:
    explicit FaceListLines(std::shared_ptr<const MeshLists> lists) : lists(std::move(lists)) {}
    long long size() const override { return lists->mesh()->Faces.upperBound() + 1; }
    void write(long long row, std::string& line) const override {
        writeFaceItem(line, row, lists->mesh()->Faces(row));
    }

private:
    std::shared_ptr<const MeshLists> lists;
};

void writeStatistics(Window& window, long long pointCount, long long below) {
    const char separator = window.decimalSeparator();
    const double percent =
        pointCount > 0 ? static_cast<double>(below) / static_cast<double>(pointCount) * 100 : 0;
    window.setLabel(Caption::lblPBefore, "Points: " + std::to_string(pointCount));
    window.setLabel(Caption::lblPAfter,
                    "Reduced: " + std::to_string(below) + " (" +
                        numtext::generalForm(numtext::roundHalfEven(percent, 1), separator) + "%)");
}

// The threshold is the number the text shows, read with the same separator that wrote it.
double thresholdShown(const Window& window) {
    return numtext::leadingNumber(window.text1(), window.decimalSeparator());
}

}  // namespace

ValueSummary summarizeValues(const Mesh& mesh, char separator) {
    // On one thread: a large mesh is summarized on a thread of its own while the window's thread
    // waits, live; a second thread here would take the core that keeps the window answering
    // (measured: the longest stall while undoing at a million points, 487 ms with two threads).
    ValueSummary summary;
    summary.separator = separator;
    summary.valueOrder = valueOrder(mesh, separator);
    const long long count = mesh.lastLoadedPoint() + 1;
    std::vector<double> values(static_cast<size_t>(std::max(count, 0LL)));
    for (long long i = 0; i < count; ++i) {
        values[static_cast<size_t>(i)] = mesh.Points(i).getValue();
    }
    summary.values = SortedValues(std::move(values));
    return summary;
}

MeshLists::MeshLists(std::shared_ptr<const Mesh> mesh, ValueSummary summary)
    : shown(std::move(mesh)), values(std::move(summary)) {
}

std::shared_ptr<const ListLines> MeshLists::pointLines() const {
    return pointListLines(*shown, shown->lastLoadedPoint());
}

std::shared_ptr<const ListLines> MeshLists::valueLines() const {
    return std::make_shared<const ValueListLines>(shared_from_this());
}

std::shared_ptr<const ListLines> MeshLists::faceLines() const {
    return std::make_shared<const FaceListLines>(shared_from_this());
}

std::shared_ptr<const MeshLists> makeMeshLists(std::shared_ptr<const Mesh> mesh, char separator) {
    ValueSummary summary = summarizeValues(*mesh, separator);
    return std::make_shared<const MeshLists>(std::move(mesh), std::move(summary));
}

std::string thresholdText(int position, char separator) {
    return numtext::generalForm(static_cast<double>(position) / kSliderMaximum, separator);
}

void fillPointList(Window& window, const Mesh& mesh) {
    window.showLines(ListBox::List1, pointListLines(mesh, mesh.lastLoadedPoint()));
}

void FillLists(Window& window, const MeshLists& lists) {
    window.showLines(ListBox::List1, lists.pointLines());
    window.showLines(ListBox::List2, lists.valueLines());
    window.showLines(ListBox::List4, lists.faceLines());
    window.setText1(thresholdText(window.sliderPosition(), window.decimalSeparator()));
    RefreshStatistics(window, lists);
}

void FillLists(Window& window, const Mesh& mesh) {
    // The mesh is borrowed, not owned: an empty owner beside its address.
    FillLists(window,
              *makeMeshLists(std::shared_ptr<const Mesh>(std::shared_ptr<const Mesh>(), &mesh),
                             window.decimalSeparator()));
}

void RefreshStatistics(Window& window, const MeshLists& lists) {
    writeStatistics(window, lists.pointCount(),
                    lists.summary().values.countBelow(thresholdShown(window)));
}

void RefreshStatistics(Window& window, const Mesh& mesh) {
    const double threshold = thresholdShown(window);
    const long long pointCount = mesh.lastLoadedPoint() + 1;
    long long below = 0;
    for (long long i = 0; i < pointCount; ++i) {
        if (threshold > mesh.Points(i).getValue()) {
            ++below;
        }
    }
    writeStatistics(window, pointCount, below);
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
