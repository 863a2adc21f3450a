#pragma once

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <ostream>

// Readable GoogleTest failure output for Qt values (found by argument lookup).
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toUtf8().replace("\r", "\\r").replace("\n", "\\n").constData() << '"';
}

inline void PrintTo(const QByteArray &bytes, std::ostream *os)
{
    *os << '"' << bytes.toPercentEncoding(" <>/=.'?%_-:,\"").constData() << '"';
}

inline void PrintTo(const QVariant &value, std::ostream *os)
{
    *os << value.typeName() << '(' << value.toString().toUtf8().constData() << ')';
}
