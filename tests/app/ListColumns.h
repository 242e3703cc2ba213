// Reading the main window's song lists in the tests: the texts of one column, row by row.
#pragma once

#include <QTreeWidget>

#include <string>
#include <vector>

// Column Column (1 "No." .. 8 path) of each row of List, top to bottom.
inline std::vector<std::string> columnTexts(const QTreeWidget* List, int Column)
{
    std::vector<std::string> out;
    for (int i = 0; i < List->topLevelItemCount(); ++i)
        out.push_back(List->topLevelItem(i)->text(Column).toStdString());
    return out;
}
