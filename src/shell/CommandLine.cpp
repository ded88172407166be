#include "shell/CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <cstdio>

namespace brimlow {

namespace {

struct Parser {
    Parser()
    {
        parser.setApplicationDescription(QStringLiteral(
            "Shows the Internet cache and its cookies, deletes cookies, destroys chosen files\n"
            "and replays clean-up key-stroke scripts. Every exit destroys its data files."));
        parser.addHelpOption();
        parser.addVersionOption();
    }
    QCommandLineParser parser;
};

}  // namespace

std::optional<int> AnswerInformationRequest(int argc, char** argv, const std::string& version)
{
    // A bare core application: enough for the parser, and it opens no display.
    int count = argc;
    QCoreApplication app(count, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Brimlow"));
    QCoreApplication::setApplicationVersion(QString::fromStdString(version));
    Parser p;
    p.parser.parse(QCoreApplication::arguments());  // unknown options wait for the second look
    if (p.parser.isSet(QStringLiteral("help")) || p.parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(p.parser.helpText().toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (p.parser.isSet(QStringLiteral("version"))) {
        std::fputs(("Brimlow " + version + "\n").c_str(), stdout);
        return 0;
    }
    return std::nullopt;
}

bool CheckRemainingArguments(const QStringList& arguments)
{
    Parser p;
    QString problem;
    if (!p.parser.parse(arguments))
        problem = p.parser.errorText();
    else if (!p.parser.positionalArguments().isEmpty())
        problem = QStringLiteral("Unexpected argument '%1'.").arg(p.parser.positionalArguments().first());
    if (problem.isEmpty())
        return true;
    std::fprintf(stderr, "Brimlow: %s\nTry 'Brimlow --help'.\n", problem.toLocal8Bit().constData());
    return false;
}

}  // namespace brimlow
