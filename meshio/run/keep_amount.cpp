// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/run/keep_amount.h"

#include <charconv>
#include <cmath>

#include "meshio/numtext.h"

namespace meshthin {

namespace {

std::string_view trimmed(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

}  // namespace

long long KeepAmount::of(long long total) const {
    if (!isShare) {
        return points;
    }
    // A half rounds up: 50% of 5 points keeps 3.
    return static_cast<long long>(std::floor(static_cast<double>(total) * percent / 100.0 + 0.5));
}

std::string tooFewPointsMessage(long long target, long long points) {
    return "Cannot keep " + std::to_string(target) + " points: the mesh has " +
           std::to_string(points);
}

std::optional<KeepAmount> parseKeepAmount(std::string_view text, char separator) {
    text = trimmed(text);
    if (text.empty()) {
        return std::nullopt;
    }
    KeepAmount amount;
    if (text.back() == '%') {
        const std::string_view number = text.substr(0, text.size() - 1);
        if (!numtext::isNumeric(number, separator)) {
            return std::nullopt;
        }
        amount.isShare = true;
        amount.percent = numtext::toDouble(number, separator);
        if (!(amount.percent >= 0 && amount.percent <= 100)) {
            return std::nullopt;
        }
        amount.percent += 0.0;  // -0% reads as 0%
        return amount;
    }
    // from_chars alone would take a leading "-".
    if (text.front() < '0' || text.front() > '9') {
        return std::nullopt;
    }
    const std::from_chars_result read =
        std::from_chars(text.data(), text.data() + text.size(), amount.points);
    if (read.ec != std::errc() || read.ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return amount;
}

}  // namespace meshthin
