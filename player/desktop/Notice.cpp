#include "Notice.h"

#include <QMessageBox>

namespace velplay {
namespace {

std::function<void(const Notice&)>& hook() {
    static std::function<void(const Notice&)> h;
    return h;
}

} // namespace

void showNotice(QWidget* parent, NoticeIcon icon, const QString& title, const QString& text) {
    if (hook()) {
        hook()(Notice{icon, title, text});
        return;
    }
    switch (icon) {
    case NoticeIcon::Information: QMessageBox::information(parent, title, text); break;
    case NoticeIcon::Warning: QMessageBox::warning(parent, title, text); break;
    case NoticeIcon::Critical: QMessageBox::critical(parent, title, text); break;
    }
}

void setNoticeHookForTesting(std::function<void(const Notice&)> hook_) { hook() = std::move(hook_); }

} // namespace velplay
