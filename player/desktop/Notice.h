#pragma once
// Message boxes of the player, with a hook so tests can see them instead of a
// modal box blocking the run.
#include <QString>

#include <functional>

class QWidget;

namespace velplay {

enum class NoticeIcon { Information, Warning, Critical };

struct Notice {
    NoticeIcon icon;
    QString title;
    QString text;
};

// Shows a modal box with one OK button (or hands it to the test hook).
void showNotice(QWidget* parent, NoticeIcon icon, const QString& title, const QString& text);

// While set, showNotice calls the hook instead of showing a box. Empty restores.
void setNoticeHookForTesting(std::function<void(const Notice&)> hook);

} // namespace velplay
