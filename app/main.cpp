// tavrin: the desktop player. With files named, it opens with that scene loaded.
//
// The command line is read before anything needs a display: --help, --version and a wrong
// command line print and end (0, 0, 2) anywhere. Only a real start opens the display; when none
// can be reached the program says so and ends with 1.
#include <QCommandLineParser>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/App.h"
#include "app/CommandLine.h"
#include "app/MainWindow.h"
#include "app/TerminationSignals.h"

namespace {

// While the application object is made, a fatal message from Qt (no display, no platform
// plugin) ends the program with one clear message and status 1 instead of an abort.
QtMessageHandler g_previousHandler = nullptr;

void StartUpMessages(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type != QtFatalMsg) {
        if (g_previousHandler) g_previousHandler(type, context, message);
        return;
    }
    std::fprintf(stderr,
                 "tavrin: cannot open a window: no display could be reached (is DISPLAY or WAYLAND_DISPLAY set?)\n"
                 "tavrin: %s\n",
                 message.toLocal8Bit().constData());
    std::fflush(stderr);
    std::_Exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication::setApplicationName(QStringLiteral("tavrin"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TAVRIN_VERSION));
    QStringList arguments;
    for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays PMX and PMD models with VMD motions (or VPD poses) and an audio track.\n"
        "Each .pmx or .pmd adds a model; a .vmd or .vpd after it is that model's motion, any other .vmd the\n"
        "camera motion;\n"
        "an audio file (.wav, .mp3, .flac, .ogg, .m4a, .aac, .opus) is played with the animation."));
    const QCommandLineOption help = parser.addHelpOption();
    const QCommandLineOption version = parser.addVersionOption();
    const QCommandLineOption camera(QStringLiteral("camera"), QStringLiteral("A camera motion (repeatable)."),
                                    QStringLiteral("FILE.vmd"));
    const QCommandLineOption audio(QStringLiteral("audio"), QStringLiteral("The audio to play with the animation."),
                                   QStringLiteral("FILE"));
    parser.addOption(camera);
    parser.addOption(audio);
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Models, motions and audio to open."),
                                 QStringLiteral("[FILE.pmx|FILE.pmd [FILE.vmd|FILE.vpd ...] ...]"));
    const QString usage = parser.helpText().replace(QStringLiteral("<executable_name>"), QStringLiteral("tavrin"));
    if (!parser.parse(arguments)) {
        std::fprintf(stderr, "tavrin: %s\n\n%s", parser.errorText().toLocal8Bit().constData(),
                     usage.toLocal8Bit().constData());
        return 2;
    }
    if (parser.isSet(help) || parser.isSet(QStringLiteral("help-all"))) {
        std::fputs(usage.toLocal8Bit().constData(), stdout);
        return 0;
    }
    if (parser.isSet(version)) {
        std::printf("tavrin %s\n", TAVRIN_VERSION);
        return 0;
    }

    // Signals are caught from here on; one that comes while the window opens closes it once it is up.
    TavrinApp::TerminationSignals::Install();
    g_previousHandler = qInstallMessageHandler(StartUpMessages);
    TavrinApp::App app(argc, argv);
    qInstallMessageHandler(g_previousHandler);

    TavrinApp::MainWindow window;
    // A signal closes the window as its close button does (export finished, loop stopped,
    // settings saved), then ends the event loop, nested ones (a dialog) included.
    TavrinApp::TerminationSignals terminationSignals;
    QObject::connect(&terminationSignals, &TavrinApp::TerminationSignals::requested, &window, [&window] {
        window.close();
        QCoreApplication::quit();
    });
    window.show();
    window.OpenStartScene(TavrinApp::SceneFromArguments(parser.positionalArguments(), parser.values(camera),
                                                        parser.value(audio)));
    return app.exec();
}
