// The window driving the real decoder library, without a sound device.
#include "AppFolder.h"
#include "VBMP3.h"
#include "frm_main.h"

#include <QFile>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

// Four seconds of MPEG-1 Layer III silence: 154 mono frames at 128 kbit/s, 44.1 kHz,
// each a header followed by zeros (empty side information decodes to silence).
QByteArray silentMp3() {
    QByteArray frame(417, '\0');
    frame[0] = char(0xFF);
    frame[1] = char(0xFB);
    frame[2] = char(0x90);
    frame[3] = char(0xC4);
    QByteArray file;
    for (int i = 0; i < 154; ++i) file += frame;
    return file;
}

// Sets an environment variable for the life of the object.
class EnvVar {
public:
    EnvVar(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        ::setenv(name, value, 1);
    }
    ~EnvVar() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

} // namespace

TEST(RealLibrary, PlayShowsPauseAndThePollThatSeesTheEndBringsPlayBack) {
    const std::string library = std::string(VEL_BIN_DIR) + "/libvbmp3.so";
    if (!QFileInfo::exists(QString::fromStdString(library))) GTEST_SKIP() << "decoder library not built";

    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString track = dir.filePath(QStringLiteral("silence.mp3"));
    {
        QFile f(track);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(silentMp3());
    }
    // No audio device: the library plays on its silent sink in real time.
    EnvVar driver("SDL_AUDIODRIVER", "velmora-no-device");
    vel::setAppFolderForTesting(dir.path().toStdString());
    VBMP3::setLibraryPath(library);

    {
        VBMP3::TrackInfo info;
        if (VBMP3::vbmp3_open(QFile::encodeName(track).toStdString(), info) == 0) {
            VBMP3::setLibraryPath({});
            vel::setAppFolderForTesting({});
            GTEST_SKIP() << "the decoder library in the build folder opens no MP3 yet";
        }
    }

    {
        velplay::frm_main form;
        form.lockPath = dir.filePath(QStringLiteral("velplay.lock"));
        form.informationBox = [](QWidget*, const QString&, const QString&) {};
        form.openUrl = [](const QUrl&) { return true; };
        ASSERT_TRUE(form.Form_Load({}));
        form.FileName = track;
        form.cmdPlay->click();
        EXPECT_EQ(form.cmdPlay->text(), "PAUSE");
        EXPECT_GT(form.CngVol, 0);

        // Every poll as the window reports it: the position moves on in real time until
        // the library says it stopped, and that very poll turns the caption back to PLAY.
        std::int32_t furthest = 0;
        std::optional<QString> captionAtEnd;
        QObject::connect(&form, &velplay::frm_main::statusPolled, &form,
                         [&](std::int32_t state, std::int32_t position) {
                             furthest = std::max(furthest, position);
                             if (state == 0 && !captionAtEnd) captionAtEnd = form.cmdPlay->text();
                         });
        ASSERT_TRUE(QTest::qWaitFor([&] { return captionAtEnd.has_value(); }, 120000)) << "no poll saw the end";
        EXPECT_EQ(*captionAtEnd, "PLAY");
        EXPECT_GE(furthest, 2); // it really played: seconds went by on the library's own clock
        form.close();
    }
    VBMP3::setLibraryPath({});
    vel::setAppFolderForTesting({});
}
