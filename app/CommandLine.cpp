#include "CommandLine.h"

#include <QCommandLineParser>
#include <cstdio>

namespace kt::app {

namespace {

constexpr int kUsageError = 2;

// The parser of the program's own options; `help` and `version` point into it.
struct Parser {
    QCommandLineParser parser;
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Show this text and exit.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Show the program's version and exit.")};

    Parser() {
        parser.setApplicationDescription(QStringLiteral(
            "KT210V-PC: the desktop program of the KT210V panel indicator (serial port,\n"
            "57600 bit/s 8N1). It keeps config.ini and finds its pictures, help and\n"
            "Bootloader folder in the current directory; kt210v-pc-launcher starts it in\n"
            "the user's own folder. About one second after the start the connection\n"
            "wizard connects to the port of config.ini (COM1 without one)."));
        parser.addOption(help);
        parser.addOption(version);
    }
};

void Print(FILE* out, const QString& text) {
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), out);
    std::fflush(out);
}

}  // namespace

std::optional<int> AnswerInfoOptions(const QStringList& arguments) {
    Parser p;
    // Unknown options may still be the toolkit's; they are judged later.
    p.parser.parse(arguments);
    if (p.parser.isSet(p.help)) {
        // Without an application object the parser does not know the program's name.
        QString text = p.parser.helpText();
        text.replace(QStringLiteral("<executable_name>"), QStringLiteral("kt210v-pc"));
        Print(stdout, text);
        return 0;
    }
    if (p.parser.isSet(p.version)) {
        Print(stdout, QStringLiteral("kt210v-pc " KT_VERSION "\n"));
        return 0;
    }
    return std::nullopt;
}

std::optional<int> RefuseOtherArguments(const QStringList& arguments) {
    Parser p;
    QString error;
    if (!p.parser.parse(arguments)) {
        error = p.parser.errorText();
    } else if (!p.parser.positionalArguments().isEmpty()) {
        error = QStringLiteral("unexpected argument: ") + p.parser.positionalArguments().first();
    }
    if (error.isEmpty()) return std::nullopt;
    Print(stderr, QStringLiteral("kt210v-pc: ") + error +
                      QStringLiteral("\nkt210v-pc --help lists the options.\n"));
    return kUsageError;
}

}  // namespace kt::app
