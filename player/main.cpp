// velplay: the MP3 player.
#include "VBMP3.h"
#include "desktop/AppIcon.h"
#include "desktop/CloseLikeCloseBox.h"
#include "desktop/CloseOnSignal.h"
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

    QApplication app(argc, argv);
    velplay::useJapaneseFont();
    velplay::loadQtTranslation();

    // A missing decoder library or operation is reported in a box before the binding ends the program.
    VBMP3::setFatalHandler([](const std::string& message) {
        QMessageBox::critical(nullptr, QStringLiteral("Velmora"), QString::fromLocal8Bit(message.c_str()));
    });

    velplay::frm_main window;
    if (!window.Form_Load(args.join(u' '))) return 0;
    const velplay::CloseOnSignal endBySignal([&window] { velplay::closeLikeCloseBox(window); });
    // Media keys and the desktop's media controls, when a session bus is there.
    const auto mpris = velplay::MprisService::start(window);

    // The icon is drawn from SVG, which takes a while: put the window on the
    // screen first, then give it its icon.
    QGuiApplication::sync();
    QApplication::setWindowIcon(velplay::appIcon());
    return QApplication::exec();
}
