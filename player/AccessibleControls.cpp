#include "AccessibleControls.h"

#include "ProgressBox.h"
#include "cover/StoreLink.h"
#include "frm_main.h"

#include <QLabel>
#include <QScrollBar>

#include <algorithm>
#include <climits>
#include <cstdint>

namespace velplay {
namespace {

// The album while a cover is on show (a double-click then leads to its page);
// a plain name otherwise, or when the tag names no album.
void nameCover(frm_main& form) {
    const QString& album = form.ShownTrack.album;
    form.pic_View->setAccessibleName(form.ViewStatus && !album.isEmpty() ? album : QStringLiteral("ジャケット画像"));
}

} // namespace

void attachAccessibility(frm_main& form) {
    form.Label1->setBuddy(form.ScSoftVol);

    form.pic_View->setAccessibleDescription(storeToolTip());
    nameCover(form);
    QObject::connect(&form, &frm_main::coverChanged, form.pic_View, [&form] { nameCover(form); });

    QObject::connect(&form, &frm_main::statusPolled, form.PicStatus,
                     [&form](std::int32_t, std::int32_t position) { form.PicStatus->setPlayPosition(position, form.TrackLength); });
    // A position set by assistive technology is a press on the bar where that
    // second is drawn: the press's handler decides, with its own checks.
    QObject::connect(form.PicStatus, &ProgressBox::seekRequested, &form, [&form](int seconds) {
        const std::int64_t x = std::int64_t{seconds} * form.CngVol;
        form.PicStatus_MouseDown(Qt::NoButton, Qt::NoModifier, static_cast<int>(std::clamp<std::int64_t>(x, 0, INT_MAX)), 0);
    });
}

} // namespace velplay
