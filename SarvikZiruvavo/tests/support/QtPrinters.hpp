// Readable GoogleTest output for the Qt values the tests compare.
#pragma once

#include <QString>
#include <QStringList>
#include <QVariant>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* os)
{
    *os << '[' << list.join(QStringLiteral(", ")).toStdString() << ']';
}

inline void PrintTo(const QVariant& value, std::ostream* os)
{
    *os << value.typeName() << '(' << value.toString().toStdString() << ')';
}
