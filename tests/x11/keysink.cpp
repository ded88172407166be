// The key sink: a small Qt window that writes every key it receives to a log, one line per
// press or release: "down|up <key> <modifiers>", e.g. "down A S" for Shift+A pressed, and
// " repeat" after a key event that the toolkit reports as auto-repeat. "<log>.times" gets
// the display server's time of each key in milliseconds.
// Usage: keysink [log-file [title]]; without arguments it writes "keysink.log" in its
// working folder and is titled "Key Sink".
#include <QApplication>
#include <QFile>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QWidget>

namespace {

class Sink final : public QLabel {
public:
    explicit Sink(QString log) : m_log(std::move(log))
    {
        setFocusPolicy(Qt::StrongFocus);
        setAlignment(Qt::AlignCenter);
        setWordWrap(true);
        setMinimumSize(320, 200);
    }

protected:
    void keyPressEvent(QKeyEvent* e) override { Record(e, "down"); }
    void keyReleaseEvent(QKeyEvent* e) override { Record(e, "up"); }

private:
    void Record(QKeyEvent* e, const char* what)
    {
        QString name;
        switch (e->key()) {
        case Qt::Key_Shift: name = QStringLiteral("Shift"); break;
        case Qt::Key_Control: name = QStringLiteral("Ctrl"); break;
        case Qt::Key_Alt: name = QStringLiteral("Alt"); break;
        case Qt::Key_Backtab: name = QStringLiteral("Tab"); break;
        default: name = QKeySequence(e->key()).toString(QKeySequence::PortableText);
        }
        QString mods;
        const auto m = e->modifiers();
        if (m & Qt::ShiftModifier)
            mods += QLatin1Char('S');
        if (m & Qt::ControlModifier)
            mods += QLatin1Char('C');
        if (m & Qt::AltModifier)
            mods += QLatin1Char('A');
        if (mods.isEmpty())
            mods = QStringLiteral("-");
        // A press that the toolkit takes for the key's auto-repeat is marked as such.
        const QString line = QStringLiteral("%1 %2 %3%4\n")
                                 .arg(QLatin1String(what), name, mods,
                                      e->isAutoRepeat() ? QStringLiteral(" repeat") : QString());
        QFile f(m_log);
        if (f.open(QIODevice::Append))
            f.write(line.toUtf8());
        // Beside it, when the display took the key, in the server's milliseconds: a sink
        // that is slow to read its events (a loaded machine, a sanitizer build) would
        // otherwise see a pause between two keys shorter than the sender made it.
        QFile times(m_log + QStringLiteral(".times"));
        if (times.open(QIODevice::Append))
            times.write(QByteArray::number(static_cast<qulonglong>(e->timestamp())) + '\n');
        setText(text() + line.left(line.size() - 1) + QLatin1Char(' '));
    }
    QString m_log;
};

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    Sink sink(args.size() > 1 ? args[1] : QStringLiteral("keysink.log"));
    sink.setWindowTitle(args.size() > 2 ? args[2] : QStringLiteral("Key Sink"));
    sink.resize(400, 240);
    sink.show();
    return app.exec();
}
