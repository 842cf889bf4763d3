// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of one of the window's lists, as a model for a QListView. A mesh gives its lists up
// to millions of lines: one item object per line made filling them slow, and even formatting
// every line up front took seconds, so the rows come from ListLines (meshio/window.h) that write
// a row's text only when a view asks for it, which it does for the rows it shows. Texts given as
// they are (the selected point's connections, tests) are kept packed in one buffer.
//
// The model lives on the window's thread; the lines it keeps are immutable.
#pragma once

#include <QAbstractListModel>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "meshio/window.h"

namespace meshthin {

class TextListModel : public QAbstractListModel {
    Q_OBJECT

public:
    using QAbstractListModel::QAbstractListModel;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    // The display (and edit) role of a row is its text, decoded from UTF-8; nothing else.
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // The bytes of a row, 0 <= row < rowCount().
    std::string text(int row) const;

    void clear();
    // Appends the items in their order.
    void append(const std::vector<std::string>& items);
    // Appends the lines in their order; they are written when asked for.
    void appendLines(std::shared_ptr<const ListLines> lines);
    // Adds the items and puts every row at its sorted place: the order of the texts' UTF-16
    // code units, as QString compares them, not the user's collation.
    void insertSorted(const std::vector<std::string>& items);

private:
    // The rows are those of every part in turn; ends[part] is one past the part's last row.
    std::vector<std::shared_ptr<const ListLines>> parts;
    std::vector<long long> ends;
};

}  // namespace meshthin
