// velplay: the MP3 player.
#include "VBMP3.h"
#include "desktop/AppIcon.h"
#include "desktop/CloseLikeCloseBox.h"
#include "desktop/CloseOnSignal.h"
#include "desktop/Handoff.h"
#include "desktop/JapaneseFont.h"
#include "desktop/QtTranslation.h"
#include "frm_main.h"
#include "mpris/MprisService.h"

#include <QApplication>
#include <QMessageBox>
#include <QStringList>


int main(int argc, char** argv) {
    // The command-line text: every argument after the program's name, joined by
    // spaces, read before Qt takes out the options it knows.
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
    // What the launcher gave to bring a window forward, before Qt takes it.
    const velplay::Activation activation = velplay::activationFromEnvironment();

    QApplication app(argc, argv);
    QGuiApplication::setDesktopFileName(QStringLiteral("velplay")); // the Wayland app id: ties the window to velplay.desktop
    velplay::useJapaneseFont();
    velplay::loadQtTranslation();

    // A missing decoder library or operation is reported in a box before the binding ends the program.
    VBMP3::setFatalHandler([](const std::string& message) {
        QMessageBox::critical(nullptr, QStringLiteral("Velmora"), QString::fromLocal8Bit(message.c_str()));
    });

    velplay::frm_main window;
    // A refused second start gives its file to the player that runs.
    window.handOff = [&activation](const QString& commandLine) {
        velplay::handOffToRunningPlayer(commandLine, activation);
    };
    if (!window.Form_Load(args.join(u' '))) return 0;
    const velplay::CloseOnSignal endBySignal([&window] { velplay::closeLikeCloseBox(window); });
    // Media keys and the desktop's media controls, when a session bus is there,
    // and the files of later starts.
    const auto mpris = velplay::MprisService::start(window);
    const auto handoff = velplay::HandoffService::start(window);

    // The icon is drawn from SVG, which takes a while: put the window on the
    // screen first, then give it its icon.
    QGuiApplication::sync();
    QApplication::setWindowIcon(velplay::appIcon());
    return QApplication::exec();
}
