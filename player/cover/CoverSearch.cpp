#include "CoverSearch.h"

#include "AppFolder.h"
#include "HandoffContract.h"
#include "HandoffFolder.h"
#include "desktop/Notice.h"

#include <QFile>
#include <QTimer>

#include <sys/stat.h>

#include <cerrno>

namespace velplay {

CoverSearch::CoverSearch(QTimer& timerImg, QWidget* owner, std::function<void()> showCover,
                         std::function<void()> clearCover)
    : timerImg_(timerImg), owner_(owner), showCover_(std::move(showCover)), clearCover_(std::move(clearCover)) {}

QString CoverSearch::coverPath() { return QFile::decodeName(vel::handoffFile(vel::kCoverFile).c_str()); }

bool CoverSearch::StartCoverSearch(const QString& path) {
    // The quotes keep the track path whole on the fetcher's command line; the
    // fetcher takes them off again.
    const QByteArray argument = '"' + QFile::encodeName(path) + '"';
    const int err = process_.start(vel::appFile(vel::kFetcherProgram), argument.toStdString());
    if (err == ENOENT) return false;
    if (err != 0) {
        showNotice(owner_, NoticeIcon::Critical, QStringLiteral("ERROR"),
                   QStringLiteral("ERR CODE = ") + QString::number(err));
        return false;
    }
    timerImg_.start();
    return true;
}

void CoverSearch::TimerImg_Timer() {
    if (process_.stillActive()) return;
    // Stop first, so that the cover is shown or cleared once per fetcher even
    // when showing it lets further ticks through.
    timerImg_.stop();
    struct stat st {};
    if (stat(vel::handoffFile(vel::kCoverFile).c_str(), &st) == 0 && S_ISREG(st.st_mode))
        showCover_();
    else
        clearCover_();
}

} // namespace velplay
