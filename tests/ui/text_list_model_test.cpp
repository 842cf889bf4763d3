// SPDX-License-Identifier: GPL-3.0-or-later
// The model behind the window's lists: the texts it shows, the order of the sorted list and the
// signals a view needs to stay in step.
#include <gtest/gtest.h>

#include <QSignalSpy>
#include <QStringList>
#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "ui/text_list_model.h"

namespace meshthin {
namespace {

// The rows as a view reads them.
QStringList shown(const TextListModel& model) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row) {
        texts.append(model.index(row, 0).data(Qt::DisplayRole).toString());
    }
    return texts;
}

std::vector<std::string> stored(const TextListModel& model) {
    std::vector<std::string> texts;
    for (int row = 0; row < model.rowCount(); ++row) {
        texts.emplace_back(model.text(row));
    }
    return texts;
}

QStringList decoded(const std::vector<std::string>& texts) {
    QStringList result;
    for (const std::string& text : texts) {
        result.append(QString::fromStdString(text));
    }
    return result;
}

class TextListModelTest : public ::testing::Test {
protected:
    TextListModel model;
    QSignalSpy resets{&model, &QAbstractItemModel::modelReset};
    QSignalSpy inserts{&model, &QAbstractItemModel::rowsInserted};
};

TEST_F(TextListModelTest, ShowsEveryTextAsItWasGivenInItsDisplayRoleOnly) {
    // Empty texts, blanks kept as they are and UTF-8 beyond ASCII.
    const std::vector<std::string> texts = {
        "0", "", "4 GONE", "  two  blanks ", "mesh \xc3\xa4\xc3\xb6\xc3\xbc", ""};
    model.append(texts);
    EXPECT_EQ(model.rowCount(), 6);
    EXPECT_EQ(stored(model), texts);
    EXPECT_EQ(shown(model), decoded(texts));
    EXPECT_EQ(shown(model)[4], QString::fromUtf8("mesh \u00e4\u00f6\u00fc"));

    const QModelIndex gone = model.index(2, 0);
    EXPECT_EQ(gone.data(Qt::EditRole).toString(), "4 GONE");
    for (int role : {Qt::ToolTipRole, Qt::DecorationRole, Qt::CheckStateRole, Qt::UserRole}) {
        EXPECT_FALSE(gone.data(role).isValid()) << role;
    }
    // A list has rows under its root only; the lines are selectable and not editable.
    EXPECT_EQ(model.rowCount(gone), 0);
    EXPECT_FALSE(model.index(6, 0).isValid());
    EXPECT_TRUE(model.flags(gone).testFlag(Qt::ItemIsSelectable));
    EXPECT_FALSE(model.flags(gone).testFlag(Qt::ItemIsEditable));
}

TEST_F(TextListModelTest, FillingAnEmptyListResetsItOnceAndAppendingInsertsTheNewRows) {
    model.append({"0", "1", "2"});
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(inserts.count(), 0);

    model.append({"3", "4 GONE"});
    EXPECT_EQ(resets.count(), 1);
    ASSERT_EQ(inserts.count(), 1);
    EXPECT_EQ(inserts[0][1].toInt(), 3);  // first new row
    EXPECT_EQ(inserts[0][2].toInt(), 4);  // last new row
    EXPECT_EQ(shown(model), QStringList({"0", "1", "2", "3", "4 GONE"}));

    model.append({});
    EXPECT_EQ(resets.count() + inserts.count(), 2) << "nothing added, nothing told";

    model.clear();
    EXPECT_EQ(model.rowCount(), 0);
    EXPECT_EQ(resets.count(), 2);
    model.clear();
    EXPECT_EQ(resets.count(), 2) << "an empty list stays as it is";

    // A cleared list fills anew from its first row.
    model.append({"7"});
    EXPECT_EQ(shown(model), QStringList({"7"}));
    EXPECT_EQ(model.text(0), "7");
}

TEST_F(TextListModelTest, TheSortedListOrdersByCharacterCodesNotByCollation) {
    model.insertSorted({"2 - 2 conns: 0", "10.5 - 3 conns: 9", "2 - 10 conns: 0", "b", "B", "a",
                        "2 - 2 conns: 0", "-1"});
    // Digits before capitals before small letters; "10.5" before "2"; equal texts both kept.
    EXPECT_EQ(shown(model), QStringList({"-1", "10.5 - 3 conns: 9", "2 - 10 conns: 0",
                                         "2 - 2 conns: 0", "2 - 2 conns: 0", "B", "a", "b"}));
    EXPECT_EQ(resets.count(), 1);
    EXPECT_EQ(inserts.count(), 0);

    // Later items go to their places among the rows already there.
    model.insertSorted({"2 - 3 conns: 1", "0 - 4 conns: 3", "c"});
    EXPECT_EQ(shown(model), QStringList({"-1", "0 - 4 conns: 3", "10.5 - 3 conns: 9",
                                         "2 - 10 conns: 0", "2 - 2 conns: 0", "2 - 2 conns: 0",
                                         "2 - 3 conns: 1", "B", "a", "b", "c"}));
    EXPECT_EQ(resets.count(), 2);
}

TEST_F(TextListModelTest, TheSortedListOrdersTextsBeyondAsciiByTheirUtf16CodeUnits) {
    // U+FF5E comes before U+1F600 in UTF-8's byte order, after it in UTF-16's code units (a
    // surrogate pair, 0xD83D 0xDE00); "e" with an accent comes after "z" either way.
    const std::string fullwidthTilde = "\xef\xbd\x9e";
    const std::string grinningFace = "\xf0\x9f\x98\x80";
    const std::string eAcute = "\xc3\xa9";
    model.insertSorted({fullwidthTilde, eAcute, "z", grinningFace, "a" + grinningFace, "a"});
    EXPECT_EQ(stored(model), (std::vector<std::string>{"a", "a" + grinningFace, "z", eAcute,
                                                       grinningFace, fullwidthTilde}));
}

TEST_F(TextListModelTest, TheSortedListOfManyValueTextsIsInQStringOrder) {
    // Texts of the value list's form, with numbers of every length and many equal values, each
    // batch inserted into what the list holds: the rows end in the order that sorting all of
    // them as QStrings gives.
    std::mt19937 random(7);
    std::uniform_int_distribution<int> value(0, 400);
    std::uniform_int_distribution<int> connections(0, 12);
    QStringList everything;
    for (int batch = 0; batch < 3; ++batch) {
        std::vector<std::string> texts;
        for (int i = 0; i < 700; ++i) {
            const int hundredths = value(random);
            std::string text = std::to_string(hundredths / 100);
            if (hundredths % 100 != 0) {
                text += "." + std::to_string(hundredths % 100);
            }
            text += " - " + std::to_string(batch * 700 + i) +
                    " conns: " + std::to_string(connections(random));
            texts.push_back(text);
        }
        model.insertSorted(texts);
        everything.append(decoded(texts));
    }
    std::sort(everything.begin(), everything.end());
    EXPECT_EQ(shown(model), everything);
}

TEST_F(TextListModelTest, TheSortedListOrdersAnyAsciiTextsAsQStringDoes) {
    // Few letters and long shared beginnings, so that many texts agree in their first 16 bytes
    // or end within them; zero bytes and control characters inside, and empty texts.
    std::mt19937 random(11);
    std::uniform_int_distribution<int> length(0, 40);
    std::uniform_int_distribution<int> letter(0, 5);
    const char letters[] = {'\0', '\x01', ' ', '0', 'A', 'a'};
    const std::string shared = "0.25 - 1000 conns";
    std::vector<std::string> texts;
    for (int i = 0; i < 3000; ++i) {
        std::string text = i % 3 == 0 ? shared.substr(0, static_cast<size_t>(i % 19)) : "";
        for (int n = length(random); n > 0; --n) {
            text += letters[letter(random)];
        }
        texts.push_back(text);
    }
    model.insertSorted(texts);
    QStringList expected = decoded(texts);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(shown(model), expected);
    EXPECT_EQ(model.rowCount(), 3000);
}

}  // namespace
}  // namespace meshthin
