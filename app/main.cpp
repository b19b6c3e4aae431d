// tavrin: the desktop player. With files named, it opens with that scene loaded.
#include <QCommandLineParser>

#include "app/App.h"
#include "app/CommandLine.h"
#include "app/MainWindow.h"

int main(int argc, char** argv) {
    TavrinApp::App app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Plays PMX and PMD models with VMD motions (or VPD poses) and an audio track.\n"
        "Each .pmx or .pmd adds a model; a .vmd or .vpd after it is that model's motion, any other .vmd the\n"
        "camera motion;\n"
        "an audio file (.wav, .mp3, .flac, .ogg, .m4a, .aac, .opus) is played with the animation."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption camera(QStringLiteral("camera"), QStringLiteral("A camera motion (repeatable)."),
                                    QStringLiteral("FILE.vmd"));
    const QCommandLineOption audio(QStringLiteral("audio"), QStringLiteral("The audio to play with the animation."),
                                   QStringLiteral("FILE"));
    parser.addOption(camera);
    parser.addOption(audio);
    parser.addPositionalArgument(QStringLiteral("files"), QStringLiteral("Models, motions and audio to open."),
                                 QStringLiteral("[FILE.pmx|FILE.pmd [FILE.vmd|FILE.vpd ...] ...]"));
    parser.process(app);

    TavrinApp::MainWindow window;
    window.show();
    window.OpenStartScene(TavrinApp::SceneFromArguments(parser.positionalArguments(), parser.values(camera),
                                                        parser.value(audio)));
    return app.exec();
}
