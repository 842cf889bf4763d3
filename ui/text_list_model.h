// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of one of the window's lists, as a model for a QListView. A mesh gives its lists
// tens of thousands of lines: one item object per line made filling them slow, so the texts
// are kept packed in one buffer and a row's QString is made only when a view asks for it,
// which it does for the rows it shows.
#pragma once

#include <QAbstractListModel>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace meshthin {

class TextListModel : public QAbstractListModel {
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // The display (and edit) role of a row is its text, decoded from UTF-8; nothing else.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The stored bytes of a row, 0 <= row < rowCount().
    std::string_view text(int row) const;

    void clear();
    // Appends the items in their order.
    void append(const std::vector<std::string>& items);
    // Adds the items and puts every row at its sorted place: the order of the texts' UTF-16
    // code units, as QString compares them, not the user's collation.
    void insertSorted(const std::vector<std::string>& items);

private:
    // Every row's text, one after another; ends[row] is one past the row's last byte.
    std::string chars;
    std::vector<std::size_t> ends;
};

}  // namespace meshthin
