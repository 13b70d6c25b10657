#pragma once

#include "configuration.h"
#include "part.h"

#include <QString>

#include <utility>
#include <vector>

namespace halvo::config {

// One field that differs between two configurations, with the texts each shows.
struct Difference
{
    Part part = Part::Passes;
    int index = 0;  // pass row 1..72, parameter 0..31, location slot 0..49
    int column = 0; // the pass column (the option mode counts as its name, column 6)
    QString first, second;
};

// Field by field, passes first, then settings, then locations. A field counts as
// different by what the unit would be sent: a user name by its first 16
// characters, a system ID by its first two, numbers and bit texts by their values,
// the option mode by its index, a setting by its byte, an alias normalised.
std::vector<Difference> Differences(const Configuration &first, const Configuration &second);

// The fields that differ, one entry per item: a pass, a location slot, or the
// settings (index 0), in the order Differences gives them.
struct ItemDifferences
{
    Part part = Part::Passes;
    int index = 0;
    std::vector<Difference> fields;
};
std::vector<ItemDifferences> By_Item(const std::vector<Difference> &differences);

// The items of a part whose texts differ in any way between two reads of the unit:
// every column of a pass, the settings' values and limits, a name as it came.
std::vector<ItemRef> Items_Read_Differently(const Configuration &first, const Configuration &second,
                                            Part part);

// "pass 14", "settings", "location 0x05".
QString Item_Name(Part part, int index);
// "User ID", "Enable Beep", "alias": the field within its item.
QString Field_Label(const Difference &d);
// "pass 14 User ID", "setting Enable Beep", "location 0x05".
QString Field_Name(const Difference &d);
// The two values as a line shows them: numbers as they are, names and aliases quoted.
std::pair<QString, QString> Difference_Texts(const Difference &d);
// "unit 14, file 13"; names and aliases are quoted.
QString Difference_Values(const Difference &d, const QString &firstName, const QString &secondName);
// "pass 14 User ID: unit 14, file 13".
QString Difference_Line(const Difference &d, const QString &firstName, const QString &secondName);

} // namespace halvo::config
