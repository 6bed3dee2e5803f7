#ifndef DEMO_EXCHANGE_CSVCOLUMNS_H
#define DEMO_EXCHANGE_CSVCOLUMNS_H

#include <QLatin1String>
#include <array>

namespace demo::exchange::csv {

// The header row's names, in the order the writer puts them. Readers match
// them ignoring case and in any order; the groups column may be missing.
enum Column { FirstName, Initials, Infix, LastName, EmailAddress, Groups, ColumnCount };
inline constexpr std::array<QLatin1String, ColumnCount> columnNames{
    QLatin1String("First name"), QLatin1String("Initials"),       QLatin1String("Infix"),
    QLatin1String("Last name"),  QLatin1String("E-mail address"), QLatin1String("Groups")};

// Group names share one field, joined by ';'. A ';' or '\' inside a name is
// written with a '\' before it.
inline constexpr QLatin1Char groupSeparator{';'};

}  // namespace demo::exchange::csv

#endif
