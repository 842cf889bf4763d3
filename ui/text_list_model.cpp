// SPDX-License-Identifier: GPL-3.0-or-later
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
    if (from + 8 <= text.size()) {
        std::memcpy(bytes, text.data() + from, 8);
    } else if (from < text.size()) {
        std::memcpy(bytes, text.data() + from, text.size() - from);
    }
    std::uint64_t key = 0;
    for (unsigned char byte : bytes) {
        key = (key << 8) | byte;
    }
    return key;
}

KeyedText keyed(std::string_view text) {
    return {bigEndianKey(text, 0), bigEndianKey(text, 8), text};
}

bool isAscii(std::string_view text) {
    unsigned char seen = 0;
    for (char c : text) {
        seen |= static_cast<unsigned char>(c);
    }
    return seen < 0x80;
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

// Byte `at` (0 to 15) of a text's key.
unsigned keyByte(const KeyedText& text, int at) {
    const std::uint64_t word = at < 8 ? text.head : text.next;
    return static_cast<unsigned>(word >> (56 - 8 * (at % 8))) & 0xffu;
}

// Sorts by the key bytes from `at` on, most significant first: the texts are dealt into 256
// buckets by one byte, and each bucket is sorted by the bytes after it. Tens of thousands of
// texts sort faster this way than by comparisons, as a byte costs a count and a move per text.
// Small buckets, and texts whose keys are equal, go to a comparison sort.
void radixSort(KeyedText* texts, KeyedText* spare, std::size_t count, int at) {
    constexpr std::size_t kComparisonSortBelow = 64;
    while (count >= kComparisonSortBelow && at < 16) {
        std::size_t sizes[256] = {};
        for (std::size_t i = 0; i < count; ++i) {
            ++sizes[keyByte(texts[i], at)];
        }
        if (sizes[keyByte(texts[0], at)] == count) {
            ++at;  // one byte for all, as the separators of the value texts are: nothing to deal
            continue;
        }
        std::size_t places[256];
        std::size_t place = 0;
        for (unsigned b = 0; b < 256; ++b) {
            places[b] = place;
            place += sizes[b];
        }
        for (std::size_t i = 0; i < count; ++i) {
            spare[places[keyByte(texts[i], at)]++] = texts[i];
        }
        std::copy(spare, spare + count, texts);
        std::size_t start = 0;
        for (unsigned b = 0; b < 256; ++b) {
            if (sizes[b] > 1) {
                radixSort(texts + start, spare, sizes[b], at + 1);
            }
            start += sizes[b];
        }
        return;
    }
    std::sort(texts, texts + count, KeyedLess());
}

// Sorts by the UTF-16 code units of the decoded texts. For ASCII texts that is the order of the
// bytes, compared through their keys without decoding: a text that ends within the key is
// padded with zero bytes, which sort before any other byte, as the end of a text does. Beyond
// ASCII, UTF-8's byte order can differ from it (characters beyond U+FFFF, bytes that are no
// UTF-8), so those texts are compared as the QStrings they show.
void sortByCodeUnits(std::vector<KeyedText>& texts, bool ascii) {
    if (ascii) {
        std::vector<KeyedText> spare(texts.size());
        radixSort(texts.data(), spare.data(), texts.size(), 0);
        return;
    }
    std::vector<std::pair<QString, KeyedText>> decodedTexts;
    decodedTexts.reserve(texts.size());
    for (const KeyedText& text : texts) {
        decodedTexts.emplace_back(decoded(text.text), text);
    }
    std::stable_sort(decodedTexts.begin(), decodedTexts.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (std::size_t i = 0; i < texts.size(); ++i) {
        texts[i] = decodedTexts[i].second;
    }
}

// Texts given as they are, packed one after another in one buffer: no string object per line.
class PackedLines : public ListLines {
public:
    template <class Texts>
    explicit PackedLines(const Texts& texts) {
        std::size_t length = 0;
        for (const auto& text : texts) {
            length += text.size();
        }
        chars.reserve(length);
        ends.reserve(texts.size());
        for (const auto& text : texts) {
            chars += text;
            ends.push_back(chars.size());
        }
    }

    long long size() const override { return static_cast<long long>(ends.size()); }

    void write(long long row, std::string& line) const override {
        const auto at = static_cast<std::size_t>(row);
        const std::size_t begin = at == 0 ? 0 : ends[at - 1];
        line.assign(chars, begin, ends[at] - begin);
    }

private:
    // Every row's text, one after another; ends[row] is one past the row's last byte.
    std::string chars;
    std::vector<std::size_t> ends;
};

}  // namespace

int TextListModel::rowCount(const QModelIndex& parent) const {
    // A view counts its rows in an int; a list longer than that shows its first 2^31 - 1.
    return parent.isValid() || ends.empty()
               ? 0
               : static_cast<int>(std::min<long long>(ends.back(), INT32_MAX));
}

QVariant TextListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid) ||
        (role != Qt::DisplayRole && role != Qt::EditRole)) {
        return QVariant();
    }
    return decoded(text(index.row()));
}

std::string TextListModel::text(int row) const {
    const auto part =
        static_cast<std::size_t>(std::upper_bound(ends.begin(), ends.end(), row) - ends.begin());
    std::string line;
    parts[part]->write(row - (part == 0 ? 0 : ends[part - 1]), line);
    return line;
}

void TextListModel::clear() {
    if (ends.empty()) {
        return;
    }
    beginResetModel();
    // The lines are dropped, not kept for the next fill: an emptied list does not hold on to a
    // large mesh's texts or to the mesh its lines read.
    std::vector<std::shared_ptr<const ListLines>>().swap(parts);
    std::vector<long long>().swap(ends);
    endResetModel();
}

void TextListModel::appendLines(std::shared_ptr<const ListLines> lines) {
    const long long count = lines->size();
    if (count == 0) {
        return;
    }
    const bool wasEmpty = ends.empty();
    const long long first = wasEmpty ? 0 : ends.back();
    if (wasEmpty) {
        // Filling an empty list is a reset: views then lay out once instead of handling an
        // insertion of every row.
        beginResetModel();
    } else {
        beginInsertRows(QModelIndex(), static_cast<int>(first),
                        static_cast<int>(first + count - 1));
    }
    parts.push_back(std::move(lines));
    ends.push_back(first + count);
    if (wasEmpty) {
        endResetModel();
    } else {
        endInsertRows();
    }
}

void TextListModel::append(const std::vector<std::string>& items) {
    if (items.empty()) {
        return;
    }
    appendLines(std::make_shared<const PackedLines>(items));
}

void TextListModel::insertSorted(const std::vector<std::string>& items) {
    if (items.empty()) {
        return;
    }
    std::vector<std::string> present;
    present.reserve(static_cast<std::size_t>(rowCount()));
    for (int row = 0; row < rowCount(); ++row) {
        present.push_back(text(row));
    }
    std::vector<KeyedText> rows;
    rows.reserve(present.size() + items.size());
    bool ascii = true;
    for (const std::vector<std::string>* texts :
         {static_cast<const std::vector<std::string>*>(&present), &items}) {
        for (const std::string& item : *texts) {
            rows.push_back(keyed(item));
            ascii = ascii && isAscii(item);
        }
    }
    sortByCodeUnits(rows, ascii);
    std::vector<std::string_view> sorted;
    sorted.reserve(rows.size());
    for (const KeyedText& row : rows) {
        sorted.push_back(row.text);
    }
    // The rows point into present and the items until the new lines are complete.
    auto lines = std::make_shared<const PackedLines>(sorted);
    beginResetModel();
    parts.assign(1, std::move(lines));
    ends.assign(1, static_cast<long long>(sorted.size()));
    endResetModel();
}

}  // namespace meshthin
