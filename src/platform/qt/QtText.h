#pragma once
// Where text crosses between the core's bytes and Qt's strings: the locale's 8-bit
// encoding, converted here and nowhere else. Text boxes hold LF line ends; the files and
// the core hold CR LF, so the box forms turn CR LF into LF on the way in and back on the
// way out (a text box hands its text out with CR LF, as the reports expect).
#include <QByteArray>
#include <QLocale>
#include <QRegularExpression>
#include <QTime>
#include <QString>
#include <QTextDocument>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QVariant>
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

// A text document pays for every paragraph it holds: a report of half a million lines
// would take seconds to fill. Beyond a few thousand lines the lines of a long text are
// grouped into paragraphs of kBoxLinesPerParagraph, joined inside by line separators, which
// show, move the caret and copy as line ends, and which toPlainText hands back as "\n".
inline constexpr qsizetype kBoxManyLines = 4096;
inline constexpr qsizetype kBoxLinesPerParagraph = 32;

// For setPlainText of a multi-line box; a long text fills the box at once.
inline QString ToBoxText(std::string_view bytes)
{
    QString s = FromBytes(bytes);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    if (s.count(QLatin1Char('\n')) > kBoxManyLines) {
        qsizetype lines = 0;
        for (QChar& c : s)
            if (c == QLatin1Char('\n') && ++lines % kBoxLinesPerParagraph != 0)
                c = QChar::LineSeparator;
    }
    return s;
}

// From toPlainText of a multi-line box.
inline std::string FromBoxText(QString text)
{
    text.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return ToBytes(text);
}

// A report box keeps the bytes it was filled with, so that saving or printing what the user
// sees writes those very bytes: the box's own text cannot hold every 8-bit byte (a byte that
// is no character of the locale's encoding would come back as a replacement character).
// Once the user edits the box, its text is what counts.
inline constexpr const char* kBoxBytesProperty = "brimlowBoxBytes";

// Filled in one step: the box lays out only the lines it shows.
inline void SetBoxBytes(QPlainTextEdit* box, std::string_view bytes)
{
    box->setPlainText(ToBoxText(bytes));
    box->setProperty(kBoxBytesProperty, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    box->document()->setModified(false);
}

inline std::string BoxBytes(const QPlainTextEdit* box)
{
    const QVariant kept = box->property(kBoxBytesProperty);
    if (kept.isValid() && !box->document()->isModified()) {
        const QByteArray b = kept.toByteArray();
        return std::string(b.constData(), static_cast<std::size_t>(b.size()));
    }
    return FromBoxText(box->toPlainText());
}

// A box that shows a name keeps the bytes it was filled with, so that what the user did not
// change goes back as those very bytes (a byte that is no character of the locale's
// encoding shows as a replacement character). Once its text is another, the text counts.
inline constexpr const char* kShownBytesProperty = "brimlowShownBytes";

// The text to show for `bytes` in `box`, which keeps them; the caller puts the text in.
inline QString ShowBytes(QObject* box, std::string_view bytes)
{
    box->setProperty(kShownBytesProperty, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return FromBytes(bytes);
}

// The bytes of what `box` shows now as `shown`.
inline std::string ShownBytes(const QObject* box, const QString& shown)
{
    const QVariant kept = box->property(kShownBytesProperty);
    if (kept.isValid()) {
        const QByteArray b = kept.toByteArray();
        std::string bytes(b.constData(), static_cast<std::size_t>(b.size()));
        if (FromBytes(bytes) == shown)
            return bytes;
    }
    return ToBytes(shown);
}

// A one-line box that shows a file name keeps its bytes the same way: a name that is no
// text of the locale's encoding shows with replacement characters, and those would name
// another file. Once the user edits the box, or the program sets another text, its text is
// what counts.
inline void SetLineBytes(QLineEdit* box, std::string_view bytes)
{
    box->setText(FromBytes(bytes));
    box->setProperty(kBoxBytesProperty, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    box->setModified(false);
}

inline std::string LineBytes(const QLineEdit* box)
{
    const QVariant kept = box->property(kBoxBytesProperty);
    if (kept.isValid() && !box->isModified()) {
        const QByteArray b = kept.toByteArray();
        std::string bytes(b.constData(), static_cast<std::size_t>(b.size()));
        if (FromBytes(bytes) == box->text())
            return bytes;
    }
    return ToBytes(box->text());
}

// A time of day in the system's time format: hours, minutes and seconds as the locale
// orders them (its long format without the time zone).
inline QString SystemTimeText(const QTime& time)
{
    const QLocale locale = QLocale::system();
    QString format = locale.timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*\\bt+\\b")));
    return locale.toString(time, format.trimmed());
}

}  // namespace brimlow
