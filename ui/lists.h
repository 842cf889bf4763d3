// SPDX-License-Identifier: GPL-3.0-or-later
// The window's text views of the mesh, written against the window interface: the point list
// (List1), the sorted value list (List2), the face list (List4), the statistics labels, the
// threshold text the slider writes, and the details of a selected point (Label1, List3).
// They expect a loaded mesh (Points and Faces created) and change nothing in it: they only read
// it, as they are given it.
#pragma once

#include <cstdint>
#include <string>

#include "meshio/window.h"
#include "model/mesh.h"

namespace meshthin {

// The slider runs from 0 to this position; its threshold is position / kSliderMaximum.
inline constexpr int kSliderMaximum = 32627;

// The threshold text of a slider position: its general decimal form.
std::string thresholdText(int position, char separator);

// Rebuilds List1 alone: each point's number, " GONE" behind the removed ones.
void fillPointList(Window& window, const Mesh& mesh);

// Rebuilds List1, List2 and List4, writes the slider's threshold into Text1 and refreshes the
// statistics.
void FillLists(Window& window, const Mesh& mesh);

// Counts the points whose value lies strictly below the threshold shown in Text1 and writes
// "Points: N" and "Reduced: C (P%)".
void RefreshStatistics(Window& window, const Mesh& mesh);

// A List1 item was selected: unless its text is not a number (a " GONE" item), remembers the
// point in selectedPoint and shows its coordinates in Label1 and its connections in List3.
void showSelectedPoint(Window& window, const Mesh& mesh, const std::string& itemText,
                       PointNumber& selectedPoint);

}  // namespace meshthin
