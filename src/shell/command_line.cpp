#include "shell/command_line.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

#include "net/endpoints.h"

namespace shell {
namespace {

const QString kServerOption = QStringLiteral("server");

// The parser with every option the program knows; `default_host` only for the help text.
void Describe(QCommandLineParser& parser, const QString& default_host) {
  parser.setApplicationDescription(
      QStringLiteral("Lumetta: the live buy and sell price of a precious metal, in a small "
                     "panel that stays on top."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption(QCommandLineOption(
      kServerOption, QStringLiteral("The quote server to talk to (default %1).").arg(default_host),
      QStringLiteral("host[:port]")));
}

void Complain(const QString& text) {
  std::fprintf(stderr, "%s: %s\nTry '%s --help'.\n",
               qUtf8Printable(QCoreApplication::applicationName()), qUtf8Printable(text),
               qUtf8Printable(QCoreApplication::applicationName()));
}

}  // namespace

void AnswerInformationRequests(int argc, char* argv[], const std::string& default_host) {
  QStringList arguments;
  arguments.reserve(argc);
  for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
  QCommandLineParser parser;
  Describe(parser, QString::fromStdString(default_host));
  // Errors are the later reading's business: Qt's own options are still on the line here.
  parser.parse(arguments);
  if (parser.isSet(QStringLiteral("version"))) parser.showVersion();  // ends the process
  const bool help = parser.isSet(QStringLiteral("help"));
  const bool help_all = parser.isSet(QStringLiteral("help-all"));
  if (!help && !help_all) return;
  // The help texts need an application object; a plain one needs no display.
  const QCoreApplication core(argc, argv);
  if (help_all) parser.process(core);  // ends the process, listing Qt's options too
  parser.showHelp(0);                  // ends the process
}

std::optional<std::string> ReadServerHost(const std::string& default_host) {
  QCommandLineParser parser;
  Describe(parser, QString::fromStdString(default_host));
  if (!parser.parse(QCoreApplication::arguments())) {
    Complain(parser.errorText());
    return std::nullopt;
  }
  if (!parser.positionalArguments().isEmpty()) {
    Complain(QStringLiteral("unexpected argument '%1'.").arg(parser.positionalArguments().first()));
    return std::nullopt;
  }
  if (!parser.isSet(kServerOption)) return default_host;
  const std::string host = parser.value(kServerOption).toStdString();
  if (!endpoints::IsServerHost(host)) {
    Complain(QStringLiteral("--server takes host[:port], such as 127.0.0.1:8750 or "
                            "quotes.example.net; '%1' is not one.")
                 .arg(parser.value(kServerOption)));
    return std::nullopt;
  }
  return host;
}

}  // namespace shell
