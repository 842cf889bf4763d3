#include "ui/text_list_model.h"

#include <QString>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <utility>

namespace meshthin {

namespace {

QString decoded(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool allAscii(const std::vector<std::string_view>& texts) {
    return std::all_of(texts.begin(), texts.end(), [](std::string_view text) {
        return std::all_of(text.begin(), text.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    });
}

// A text with its first 16 bytes as two big-endian numbers, padded with zero bytes: comparing
// the numbers compares those bytes, without a call per comparison. Only texts whose keys are
// equal need their bytes compared.
struct KeyedText {
    std::uint64_t head;
    std::uint64_t next;
    std::string_view text;
};

// The 8 bytes of text from position from on, as a big-endian number, zero bytes past its end.
std::uint64_t bigEndianKey(std::string_view text, std::size_t from) {
    unsigned char bytes[8] = {};
    if (from < text.size()) {
        std::memcpy(bytes, text.data() + from, std::min<std::size_t>(8, text.size() - from));
    }
    std::uint64_t key = 0;
    for (unsigned char byte : bytes) {
        key = (key << 8) | byte;
    }
    return key;
}

// A function object, so that the sort inlines the comparison.
struct KeyedLess {
    bool operator()(const KeyedText& a, const KeyedText& b) const {
        if (a.head != b.head) {
            return a.head < b.head;
        }
        if (a.next != b.next) {
            return a.next < b.next;
        }
        return a.text < b.text;
    }
};

// Sorts by the UTF-16 code units of the decoded texts. For ASCII texts that is the order of the
// bytes, compared without decoding; elsewhere UTF-8's byte order can differ from it (characters
// beyond U+FFFF, bytes that are no UTF-8), so those are compared as the QStrings they show.
void sortByCodeUnits(std::vector<std::string_view>& texts) {
    if (allAscii(texts)) {
        // A text that ends within the key is padded with zero bytes, which sort before any other
        // byte, as the end of a text does; equal keys fall back to the whole texts.
        std::vector<KeyedText> keyed;
        keyed.reserve(texts.size());
        for (std::string_view text : texts) {
            keyed.push_back({bigEndianKey(text, 0), bigEndianKey(text, 8), text});
        }
        std::sort(keyed.begin(), keyed.end(), KeyedLess());
        for (std::size_t i = 0; i < keyed.size(); ++i) {
            texts[i] = keyed[i].text;
        }
        return;
    }
    std::vector<std::pair<QString, std::string_view>> keyed;
    keyed.reserve(texts.size());
    for (std::string_view text : texts) {
        keyed.emplace_back(decoded(text), text);
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        texts[i] = keyed[i].second;
    }
}

}  // namespace

int TextListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(ends.size());
}

QVariant TextListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
        (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return QVariant();
    }
    return decoded(text(index.row()));
}

std::string_view TextListModel::text(int row) const {
    const auto at = static_cast<std::size_t>(row);
    const std::size_t begin = at == 0 ? 0 : ends[at - 1];
    return std::string_view(chars).substr(begin, ends[at] - begin);
}

void TextListModel::clear() {
    if (ends.empty()) {
        return;
    }
    beginResetModel();
    // The buffers are dropped, not kept: a list refilled after a run is about as long again,
    // and an emptied list should not hold on to a large mesh's texts.
    std::string().swap(chars);
    std::vector<std::size_t>().swap(ends);
    endResetModel();
}

void TextListModel::append(const std::vector<std::string>& items) {
    if (items.empty()) {
        return;
    }
    const bool wasEmpty = ends.empty();
    if (wasEmpty) {
        // Filling an empty list is a reset: views then lay out once instead of handling an
        // insertion of every row.
        beginResetModel();
    } else {
        beginInsertRows(QModelIndex(), rowCount(), rowCount() + static_cast<int>(items.size()) - 1);
    }
    std::size_t length = chars.size();
    for (const std::string& item : items) {
        length += item.size();
    }
    chars.reserve(length);
    ends.reserve(ends.size() + items.size());
    for (const std::string& item : items) {
        chars += item;
        ends.push_back(chars.size());
    }
    if (wasEmpty) {
        endResetModel();
    } else {
        endInsertRows();
    }
}

void TextListModel::insertSorted(const std::vector<std::string>& items) {
    if (items.empty()) {
        return;
    }
    std::vector<std::string_view> rows;
    rows.reserve(ends.size() + items.size());
    for (int row = 0; row < rowCount(); ++row) {
        rows.push_back(text(row));
    }
    rows.insert(rows.end(), items.begin(), items.end());
    sortByCodeUnits(rows);
    replaceRows(rows);
}

void TextListModel::replaceRows(const std::vector<std::string_view>& rows) {
    std::size_t length = 0;
    for (std::string_view row : rows) {
        length += row.size();
    }
    std::string newChars;
    newChars.reserve(length);
    std::vector<std::size_t> newEnds;
    newEnds.reserve(rows.size());
    for (std::string_view row : rows) {
        newChars += row;
        newEnds.push_back(newChars.size());
    }
    // The views learn of the change only now: until here, rows may point into the old buffer.
    beginResetModel();
    chars = std::move(newChars);
    ends = std::move(newEnds);
    endResetModel();
}

}  // namespace meshthin
