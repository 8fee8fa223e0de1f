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
const QString kToggleOption = QStringLiteral("toggle");

// The toolkit takes these from the command line itself when the application is made; they
// are known here so that they are not refused before it has had them.
constexpr const char* kToolkitValueOptions[] = {"platform",        "platformpluginpath",
                                                "platformtheme",   "plugin",
                                                "qwindowgeometry", "qwindowicon",
                                                "qwindowtitle",    "session",
                                                "display",         "geometry",
                                                "style",           "stylesheet",
                                                "qmljsdebugger",   "name",
                                                "title",           "visual",
                                                "dialogs",         "fontengine"};
constexpr const char* kToolkitFlags[] = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// The parser with every option the program knows; `default_host` only for the help text.
void Describe(QCommandLineParser& parser, const QString& default_host) {
  // The toolkit's options are written with one dash: "-platform" is one option, not eight.
  parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
  parser.setApplicationDescription(
      QStringLiteral("Lumetta: the live buy and sell price of a precious metal, in a small "
                     "panel that stays on top."));
  parser.addHelpOption();
  parser.addVersionOption();
  parser.addOption(QCommandLineOption(
      kServerOption, QStringLiteral("The quote server to talk to (default %1).").arg(default_host),
      QStringLiteral("host[:port]")));
  parser.addOption(QCommandLineOption(
      kToggleOption,
      QStringLiteral("Hide the running panel at once, or show it again where it was; with none "
                     "running, start one. Bind it to a key in the desktop's keyboard settings.")));
  for (const char* name : kToolkitValueOptions) {
    QCommandLineOption option(QString::fromLatin1(name), QString(), QStringLiteral("value"));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
  for (const char* name : kToolkitFlags) {
    QCommandLineOption option(QString::fromLatin1(name));
    option.setFlags(QCommandLineOption::HiddenFromHelp);
    parser.addOption(option);
  }
}

void Complain(const QString& text) {
  std::fprintf(stderr, "%s: %s (try '%s --help')\n",
               qUtf8Printable(QCoreApplication::applicationName()), qUtf8Printable(text),
               qUtf8Printable(QCoreApplication::applicationName()));
}

}  // namespace

std::optional<CommandLine> ReadCommandLine(int argc, char* argv[],
                                           const std::string& default_host) {
  QStringList arguments;
  arguments.reserve(argc);
  for (int i = 0; i < argc; ++i) arguments.append(QString::fromLocal8Bit(argv[i]));
  QCommandLineParser parser;
  Describe(parser, QString::fromStdString(default_host));
  const bool parsed = parser.parse(arguments);
  if (parser.isSet(QStringLiteral("version"))) parser.showVersion();  // ends the process
  const bool help = parser.isSet(QStringLiteral("help"));
  const bool help_all = parser.isSet(QStringLiteral("help-all"));
  if (help || help_all) {
    // The help texts need an application object; a plain one needs no display.
    const QCoreApplication core(argc, argv);
    QCommandLineParser answer;
    Describe(answer, QString::fromStdString(default_host));
    if (help_all) answer.process(core);  // ends the process, listing the toolkit's options too
    answer.showHelp(0);                  // ends the process
  }
  if (!parsed) {
    QString error = parser.errorText();
    if (error.endsWith(QLatin1Char('.'))) error.chop(1);
    Complain(error);
    return std::nullopt;
  }
  if (!parser.positionalArguments().isEmpty()) {
    Complain(QStringLiteral("unexpected argument '%1'").arg(parser.positionalArguments().first()));
    return std::nullopt;
  }
  CommandLine line{default_host, parser.isSet(kToggleOption)};
  if (!parser.isSet(kServerOption)) return line;
  line.server_host = parser.value(kServerOption).toStdString();
  if (!endpoints::IsServerHost(line.server_host)) {
    Complain(QStringLiteral("--server takes host[:port], such as 127.0.0.1:8750 or "
                            "quotes.example.net; '%1' is not one")
                 .arg(parser.value(kServerOption)));
    return std::nullopt;
  }
  return line;
}

}  // namespace shell
