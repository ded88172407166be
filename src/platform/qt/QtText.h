#pragma once
// Where text crosses between the core's bytes and Qt's strings: the locale's 8-bit
// encoding, converted here and nowhere else. Text boxes hold LF line ends; the files and
// the core hold CR LF, so the box forms turn CR LF into LF on the way in and back on the
// way out (a text box hands its text out with CR LF, as the reports expect).
#include <QString>
#include <string>
#include <string_view>

namespace brimlow {

inline QString FromBytes(std::string_view bytes)
{
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline std::string ToBytes(const QString& text)
{
    const QByteArray b = text.toLocal8Bit();
    return std::string(b.constData(), static_cast<std::size_t>(b.size()));
}

// For setPlainText of a multi-line box.
inline QString ToBoxText(std::string_view bytes)
{
    QString s = FromBytes(bytes);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

// From toPlainText of a multi-line box.
inline std::string FromBoxText(QString text)
{
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return ToBytes(text);
}

}  // namespace brimlow
