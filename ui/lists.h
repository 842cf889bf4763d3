// SPDX-License-Identifier: GPL-3.0-or-later
// The window's text views of the mesh, written against the window interface: the point list
// (List1), the sorted value list (List2), the face list (List4), the statistics labels, the
// threshold text the slider writes, and the details of a selected point (Label1, List3).
// They expect a loaded mesh (Points and Faces created) and change nothing in it: they only read
// it, as they are given it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "meshio/window.h"
#include "model/mesh.h"
#include "ui/histogram.h"

namespace meshthin {

// The slider runs from 0 to this position; its threshold is position / kSliderMaximum.
inline constexpr int kSliderMaximum = 32627;

// The threshold text of a slider position: its general decimal form.
std::string thresholdText(int position, char separator);

// What the lists need of a mesh beyond the mesh itself, worked out in one go: the order of the
// value list (List2: its texts in the order of their UTF-16 code units) and the values sorted for
// the statistics. A plain value, so that it can be made on the thread that loaded the mesh.
struct ValueSummary {
    char separator = '.';                 // the value texts' decimal separator
    std::vector<PointNumber> valueOrder;  // the point of each List2 line
    SortedValues values;                  // the values of points 0 to lastLoadedPoint()
};
ValueSummary summarizeValues(const Mesh& mesh, char separator);

// The window's lists of one mesh, which write each line when a view asks for it, and the
// statistics' sorted values. Immutable once made; shares the mesh, so that a window may keep the
// lines as long as it shows them, and read them on its own thread while other threads read the
// same mesh.
class MeshLists : public std::enable_shared_from_this<MeshLists> {
public:
    MeshLists(std::shared_ptr<const Mesh> mesh, ValueSummary summary);

    const std::shared_ptr<const Mesh>& mesh() const { return shown; }
    std::shared_ptr<const ListLines> pointLines() const;  // List1
    std::shared_ptr<const ListLines> valueLines() const;  // List2, sorted
    std::shared_ptr<const ListLines> faceLines() const;   // List4
    long long pointCount() const { return shown->lastLoadedPoint() + 1; }
    const ValueSummary& summary() const { return values; }

private:
    std::shared_ptr<const Mesh> shown;
    ValueSummary values;
};

// The lists of a mesh, its values summarized with the separator.
std::shared_ptr<const MeshLists> makeMeshLists(std::shared_ptr<const Mesh> mesh, char separator);

// Rebuilds List1 alone: each point's number, " GONE" behind the removed ones.
void fillPointList(Window& window, const Mesh& mesh);

// Rebuilds List1, List2 and List4, writes the slider's threshold into Text1 and refreshes the
// statistics. The window may keep the lines, which share the lists' mesh.
void FillLists(Window& window, const MeshLists& lists);
// The same for a window that writes every line as it is given them (the default of
// Window::showLines): the lines borrow the mesh, which the window must not keep them beyond.
void FillLists(Window& window, const Mesh& mesh);

// Counts the points whose value lies strictly below the threshold shown in Text1 and writes
// "Points: N" and "Reduced: C (P%)": by a binary search in the lists' sorted values, or by
// looking at every point of the mesh.
void RefreshStatistics(Window& window, const MeshLists& lists);
void RefreshStatistics(Window& window, const Mesh& mesh);

// A List1 item was selected: unless its text is not a number (a " GONE" item), remembers the
// point in selectedPoint and shows its coordinates in Label1 and its connections in List3.
void showSelectedPoint(Window& window, const Mesh& mesh, const std::string& itemText,
                       PointNumber& selectedPoint);

}  // namespace meshthin
