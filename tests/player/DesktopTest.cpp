// The player among the desktop's pieces: Qt's own texts in Japanese, dialogs
// centred on the window, viewers and browsers started apart from the player.
#include "PlayerFixture.h"
#include "desktop/ExternalOpen.h"
#include "desktop/QtTranslation.h"

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTranslator>

#include <sys/types.h>
#include <unistd.h>

#include <fstream>

using veltest::PlayerFixture;

namespace {

TEST(QtTexts, StandardButtonsAndTheFileDialogSpeakJapanese) {
    QTranslator* translator = velplay::loadQtTranslation(QLocale(QLocale::Japanese, QLocale::Japan));
    ASSERT_NE(translator, nullptr) << "no Qt translation for ja_JP (Debian: qt6-translations-l10n)";
    QDialogButtonBox box(QDialogButtonBox::Open | QDialogButtonBox::Cancel);
    EXPECT_TRUE(box.button(QDialogButtonBox::Cancel)->text().contains(QStringLiteral("キャンセル")));
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto* buttons = dialog.findChild<QDialogButtonBox*>();
    ASSERT_NE(buttons, nullptr);
    EXPECT_TRUE(buttons->button(QDialogButtonBox::Open)->text().contains(QStringLiteral("開く")));
    QCoreApplication::removeTranslator(translator);
    delete translator;
}

TEST_F(PlayerFixture, TagEditorAndAboutBoxOpenCentredOnTheWindow) {
    start();
    const QPoint centre = form->mapToGlobal(form->rect().center());
    for (auto open : {&velplay::frm_main::cmdNext_Click, &velplay::frm_main::cmdOption_Click}) {
        QRect seen; // the modal dialog, seen from inside its own event loop
        QTimer::singleShot(0, [&seen] {
            if (QWidget* dialog = QApplication::activeModalWidget()) {
                seen = dialog->geometry();
                dialog->close();
            }
        });
        (form.get()->*open)();
        ASSERT_TRUE(seen.isValid());
        EXPECT_LE((seen.center() - centre).manhattanLength(), 1) << seen.x() << "," << seen.y();
    }
}

TEST(ExternalOpen, OpenerRunsApartWithItsMessagesDropped) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    // A stand-in opener that says something on its standard error and notes where that went.
    const QString opener = dir.filePath("xdg-open");
    {
        std::ofstream f(opener.toStdString());
        f << "#!/bin/sh\n(readlink /proc/$$/fd/2; echo $PPID) > '" << dir.path().toStdString() << "/stderr'\n"
          << "echo 'noise from the viewer' >&2\nprintf '%s\\n' \"$@\" > '" << dir.path().toStdString()
          << "/args.tmp'\nmv '" << dir.path().toStdString() << "/args.tmp' '" << dir.path().toStdString()
          << "/args'\n";
    }
    QFile::setPermissions(opener, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(dir.path()) + ":" + path);
    EXPECT_TRUE(velplay::openExternally(QUrl("http://www.amazon.co.jp/exec/obidos/ASIN/B000000001/x")));
    qputenv("PATH", path);

    QFile args(dir.filePath("args"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return args.exists(); }, 60000)) << "the opener never ran";
    ASSERT_TRUE(args.open(QIODevice::ReadOnly));
    EXPECT_EQ(args.readAll(), "http://www.amazon.co.jp/exec/obidos/ASIN/B000000001/x\n");
    QFile err(dir.filePath("stderr"));
    ASSERT_TRUE(err.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = err.readAll().split('\n');
    ASSERT_GE(lines.size(), 2);
    EXPECT_EQ(lines[0], "/dev/null");
    // Not the player's child: nothing is left for the player to reap.
    EXPECT_NE(lines[1].toLong(), long(getpid()));
}

} // namespace
