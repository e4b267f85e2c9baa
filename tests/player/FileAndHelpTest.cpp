// LOAD with its open-file dialog, and HELP.
#include "PlayerFixture.h"
#include "desktop/ShowOpenDialog.h"

#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QPushButton>
#include <QTimer>

using veltest::Calls;
using veltest::PlayerFixture;

TEST_F(PlayerFixture, LoadCancelKeepsTheTrackPlaying) {
    start(QStringLiteral("/m/old.mp3"));
    QString seenFilter;
    int seenFlags = -1;
    form->openDialog = [&](QWidget* owner, const QString& initialDir, QString& filter, int flags) {
        EXPECT_EQ(owner, form.get());
        EXPECT_TRUE(initialDir.isEmpty());
        seenFilter = filter;
        seenFlags = flags;
        return QString();
    };
    form->cmdLoad->click();
    EXPECT_EQ(seenFilter, QStringLiteral("MP3ファイル (*.mp3)|*.mp3|"));
    EXPECT_EQ(seenFlags, 6);
    EXPECT_TRUE(stub.calls().empty());
    EXPECT_EQ(form->FileName, "/m/old.mp3");
    EXPECT_EQ(form->cmdPlay->text(), "PAUSE");
}

TEST_F(PlayerFixture, LoadWhilePausedStopsAndPlaysTheChosenFile) {
    start(QStringLiteral("/m/old.mp3"));
    form->cmdPlay_Click(); // pause
    stub.clearCalls();
    form->openDialog = [](QWidget*, const QString&, QString&, int) { return QStringLiteral("/m/新しい曲.wav"); };
    form->cmdLoad->click();
    EXPECT_EQ(form->FileName, QStringLiteral("/m/新しい曲.wav"));
    EXPECT_EQ(veltest::firstCalls(stub.calls(), 5), (Calls{"stop", "encodeStop", "stop", "open /m/新しい曲.wav", "play"}));
    EXPECT_EQ(form->cmdPlay->text(), "PAUSE");
}

TEST(PipesToNul, ReplacesEverySeparator) {
    using velplay::PipesToNul;
    EXPECT_EQ(PipesToNul(QStringLiteral("MP3ファイル (*.mp3)|*.mp3|")),
              QStringLiteral("MP3ファイル (*.mp3)") + QChar(0) + QStringLiteral("*.mp3") + QChar(0));
    EXPECT_EQ(PipesToNul(QStringLiteral("||")), QString(2, QChar(0)));
    EXPECT_EQ(PipesToNul(QStringLiteral("no pipes")), "no pipes");
}

TEST(NameFilters, PairsBecomeQtFilters) {
    using velplay::NameFiltersFromPairs;
    using velplay::PipesToNul;
    EXPECT_EQ(NameFiltersFromPairs(PipesToNul(QStringLiteral("MP3ファイル (*.mp3)|*.mp3|"))),
              QStringList{QStringLiteral("MP3ファイル (*.mp3)")});
    EXPECT_EQ(NameFiltersFromPairs(PipesToNul(QStringLiteral("Sound|*.mp3;*.wav|All (*.*)|*.*|"))),
              (QStringList{QStringLiteral("Sound (*.mp3 *.wav)"), QStringLiteral("All (*.*)")}));
    EXPECT_TRUE(NameFiltersFromPairs(QString()).isEmpty());
}

namespace {

// Answers the next modal file dialog with `answer` (empty: cancel) and records what it showed.
struct DialogAnswer {
    QString title;
    QStringList filters;
    QFileDialog::FileMode mode = QFileDialog::Directory;
    bool found = false;
};

void answerNextDialog(DialogAnswer& seen, const QString& answer) {
    QTimer::singleShot(0, [&seen, answer] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) return;
        seen.found = true;
        seen.title = dialog->windowTitle();
        seen.filters = dialog->nameFilters();
        seen.mode = dialog->fileMode();
        if (answer.isEmpty()) {
            dialog->reject();
        } else {
            dialog->selectFile(answer);
            static_cast<QDialog*>(dialog)->accept(); // QFileDialog hides it
        }
    });
}

} // namespace

TEST(ShowOpenDialog, AcceptsATypedNameOfAMissingFile) {
    QTemporaryDir dir;
    const QString missing = dir.filePath(QStringLiteral("まだない.mp3"));
    DialogAnswer seen;
    answerNextDialog(seen, missing);
    QString filter = QStringLiteral("MP3ファイル (*.mp3)|*.mp3|");
    const QString chosen = velplay::ShowOpenDialog(nullptr, dir.path(), filter, 6);
    ASSERT_TRUE(seen.found);
    EXPECT_EQ(seen.title, QStringLiteral("ファイルを開く"));
    EXPECT_EQ(seen.filters, QStringList{QStringLiteral("MP3ファイル (*.mp3)")});
    EXPECT_EQ(seen.mode, QFileDialog::AnyFile);
    EXPECT_EQ(chosen, missing);
    EXPECT_EQ(filter, velplay::PipesToNul(QStringLiteral("MP3ファイル (*.mp3)|*.mp3|")));
}

TEST(ShowOpenDialog, CancelGivesAnEmptyPath) {
    DialogAnswer seen;
    answerNextDialog(seen, {});
    QString filter = QStringLiteral("MP3ファイル (*.mp3)|*.mp3|");
    EXPECT_TRUE(velplay::ShowOpenDialog(nullptr, {}, filter, 6).isEmpty());
    EXPECT_TRUE(seen.found);
}

TEST_F(PlayerFixture, HelpOpensTheHelpFileOnlyWhenItExists) {
    start();
    form->cmdHelp->click();
    EXPECT_TRUE(urls.empty());

    QFile help(file("velplay.chm"));
    ASSERT_TRUE(help.open(QIODevice::WriteOnly));
    help.close();
    form->cmdHelp->click();
    ASSERT_EQ(urls.size(), 1u);
    EXPECT_EQ(urls[0], QUrl::fromLocalFile(file("velplay.chm")));
    EXPECT_TRUE(stub.calls().empty());
}
