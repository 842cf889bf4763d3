// SPDX-License-Identifier: GPL-3.0-or-later
#include "meshio/formats/text_scan.h"

#include <algorithm>

namespace meshthin::formats::detail {

namespace {

// The text found where something else was expected, short and printable, for the message.
std::string foundText(std::string_view bytes, size_t offset) {
    if (offset >= bytes.size()) {
        return "the end of the file";
    }
    if (bytes[offset] == '\n' || bytes[offset] == '\r') {
        return "the end of the line";
    }
    std::string text;
    for (size_t i = offset; i < bytes.size() && text.size() < 24; ++i) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        if (c == '\n' || c == '\r' || (isBlank(bytes[i]) && !text.empty())) {
            break;
        }
        text += c >= 0x20 && c < 0x7f ? static_cast<char>(c) : '?';
    }
    return "\"" + text + "\"";
}

}  // namespace

void failAtLine(std::string_view fileName, std::string_view bytes, size_t offset,
                std::string_view expected) {
    offset = std::min(offset, bytes.size());
    const auto line = 1 + std::count(bytes.begin(), bytes.begin() + offset, '\n');
    throw FormatError(std::string(fileName) + ": line " + std::to_string(line) + ": expected " +
                      std::string(expected) + ", found " + foundText(bytes, offset));
}

void failAtByte(std::string_view fileName, size_t offset, std::string_view expected) {
    throw FormatError(std::string(fileName) + ": byte " + std::to_string(offset) + ": expected " +
                      std::string(expected));
}

}  // namespace meshthin::formats::detail
