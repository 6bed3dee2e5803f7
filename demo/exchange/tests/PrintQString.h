// Lets GoogleTest show texts in failure messages rather than their bytes.
#ifndef DEMO_EXCHANGE_TESTS_PRINTQSTRING_H
#define DEMO_EXCHANGE_TESTS_PRINTQSTRING_H

#include <QString>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

#endif
