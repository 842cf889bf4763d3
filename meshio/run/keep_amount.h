// SPDX-License-Identifier: GPL-3.0-or-later
// How much of a mesh to keep, as a user writes it: a number of points ("1200") or a share of the
// points ("25%", "12.5%"). The command line's --keep and the mesh view's keep field read it the
// same way, so that one text means one target in both.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace meshthin {

struct KeepAmount {
    bool isShare = false;  // a percentage of the points, not a count
    long long points = 0;  // the count of points to keep, when !isShare
    double percent = 0;    // 0 to 100, when isShare

    // The number of points to keep out of total: the count itself, or the share of total rounded
    // to the nearest point (a half up). May exceed total for a count.
    long long of(long long total) const;
};

// What the command line and the keep field say of a text parseKeepAmount refuses.
inline constexpr const char* kNotKeepAmountMessage =
    "Enter a number of points to keep, or a percentage such as 25%";

// "Cannot keep 500 points: the mesh has 300", for a count beyond the mesh's points.
std::string tooFewPointsMessage(long long target, long long points);

// Reads text, blanks around it allowed: whole digits for a count ("0" up, no sign, no decimal
// mark), or a number and "%" for a share from 0 to 100, its decimal mark "." or "," as every
// number of the program reads (numtext.h). Nothing for any other text.
std::optional<KeepAmount> parseKeepAmount(std::string_view text, char separator);

}  // namespace meshthin
