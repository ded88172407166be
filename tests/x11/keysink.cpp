// The key sink: a small Qt window that writes every key it receives to a log, one line per
// press or release: "down|up <key> <modifiers>", e.g. "down A S" for Shift+A pressed, and
// " repeat" after a key event that the toolkit reports as auto-repeat. "<log>.times" gets
// the display server's time of each key in milliseconds.
// Usage: keysink [log-file [title]]; without arguments it writes "keysink.log" in its
// working folder and is titled "Key Sink".
//
// A copy whose file name holds one of these words behaves as the launcher's harder targets
// do (a launch passes no arguments, so the name is what tells):
//   "quiet"   never opens a window (it keeps its connection to the display all the same, so
//             it ends with the display if nothing ends it before);
//   "late"    opens its window 1.5 seconds after its start;
//   "single"  runs once per folder: a second start hands over to the instance already
//             running (over the socket "keysink.socket" beside the executable), which opens
//             one more window, and exits at once.
#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLocalServer>
#include <QLocalSocket>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <vector>

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

void ShowSink(Sink& sink, const QString& title)
{
    sink.setWindowTitle(title);
    sink.resize(400, 240);
    sink.show();
}

// The instance of a "single" sink: the first start listens and shows a window, every later
// start asks it for another window and exits.
int RunSingle(QApplication& app, const QString& log)
{
    const QString socket = QCoreApplication::applicationDirPath() + QStringLiteral("/keysink.socket");
    QLocalSocket running;
    running.connectToServer(socket);
    if (running.waitForConnected(2000)) {
        running.write("open\n");
        running.waitForBytesWritten(2000);
        running.disconnectFromServer();
        return 0;
    }
    QLocalServer::removeServer(socket);  // left by an instance that did not end cleanly
    QLocalServer server;
    if (!server.listen(socket))
        return 2;
    std::vector<std::unique_ptr<Sink>> windows;
    const auto open = [&] {
        windows.push_back(std::make_unique<Sink>(log));
        ShowSink(*windows.back(), QStringLiteral("Key Sink %1").arg(windows.size()));
    };
    QObject::connect(&server, &QLocalServer::newConnection, [&] {
        while (QLocalSocket* c = server.nextPendingConnection()) {
            QObject::connect(c, &QLocalSocket::readyRead, c, [c, &open] {
                if (c->readAll().contains("open"))
                    open();
            });
            QObject::connect(c, &QLocalSocket::disconnected, c, &QObject::deleteLater);
        }
    });
    open();
    return app.exec();
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString log = args.size() > 1 ? args[1] : QStringLiteral("keysink.log");
    const QString title = args.size() > 2 ? args[2] : QStringLiteral("Key Sink");
    const QString name = QFileInfo(args.value(0)).fileName();
    if (name.contains(QLatin1String("single")))
        return RunSingle(app, log);
    Sink sink(log);
    if (name.contains(QLatin1String("quiet")))
        return app.exec();
    if (name.contains(QLatin1String("late")))
        QTimer::singleShot(1500, &sink, [&] { ShowSink(sink, title); });
    else
        ShowSink(sink, title);
    return app.exec();
}
