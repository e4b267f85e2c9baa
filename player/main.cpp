// velplay: the MP3 player.
#include "AppFolder.h"
#include "AppIcon.h"
#include "JapaneseFont.h"
#include "VBMP3.h"
#include "frm_main.h"

#include <QApplication>
#include <QMessageBox>
#include <QStringList>

#include <dlfcn.h>

#include <memory>
#include <thread>

namespace {

struct DlClose {
    void operator()(void* handle) const {
        if (handle) dlclose(handle);
    }
};
using Library = std::unique_ptr<void, DlClose>;

} // namespace

int main(int argc, char** argv) {
    // The command-line text: every argument after the program's name, joined by
    // spaces, read before Qt takes out the options it knows.
    QStringList args;
    for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);

    // Mapping the decoder library and the sound libraries it links is a good
    // part of start-up: map it while Qt starts. Nothing in it runs here; the
    // binding finds it mapped at its first call, and a failure here is left
    // for the binding to report.
    Library preloaded;
    std::thread preload([&preloaded] { preloaded.reset(dlopen(vel::appFile("libvbmp3.so").c_str(), RTLD_NOW | RTLD_LOCAL)); });

    QApplication app(argc, argv);
    velplay::useJapaneseFont();

    // A missing decoder library or operation is reported in a box before the binding ends the program.
    VBMP3::setFatalHandler([](const std::string& message) {
        QMessageBox::critical(nullptr, QStringLiteral("Velmora"), QString::fromLocal8Bit(message.c_str()));
    });

    velplay::frm_main window;
    preload.join();
    if (!window.Form_Load(args.join(u' '))) return 0;
    preloaded.reset(); // the binding holds its own reference

    // The icon is drawn from SVG, which takes a while: put the window on the
    // screen first, then give it its icon.
    QGuiApplication::sync();
    QApplication::setWindowIcon(velplay::appIcon());
    return QApplication::exec();
}
