#include "about/frm_version.h"

#include "Twips.h"
#include "desktop/AppIcon.h"
#include "desktop/ExternalOpen.h"
#include "desktop/JapaneseFont.h"

#include <QEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QUrl>

namespace velplay {
frm_version::frm_version(QWidget* owner, std::function<bool(const QUrl&)> openUrl)
    : QDialog(owner, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                         Qt::WindowTitleHint | Qt::WindowCloseButtonHint),
      openUrl_(openUrl ? std::move(openUrl) : openExternally) {
    setWindowTitle(QStringLiteral("バージョン情報"));
    setFixedSize(twipsRect(0, 0, 4305, 2115).size());
    setModal(true);
    setMouseTracking(true);

    Image1 = new QLabel(this);
    Image1->setGeometry(twipsRect(255, 180, 480, 480));
    Image1->setPixmap(appIcon().pixmap(32, 32));

    lblAppTitle = new QLabel(this);
    lblAppTitle->setGeometry(twipsRect(585, 240, 3135, 390));
    lblAppTitle->setAlignment(Qt::AlignCenter);
    QFont titleFont = font();
    titleFont.setFamilies(japaneseGothicFamilies());
    titleFont.setPointSizeF(15.75);
    titleFont.setBold(true);
    lblAppTitle->setFont(titleFont);

    Text1 = new QPlainTextEdit(this);
    Text1->setGeometry(twipsRect(232, 735, 3840, 465));
    Text1->setPlainText(QStringLiteral("このプログラムのジャケット画像検索機能は\nAmazon Web Servicesを使用しています。\n"));
    Text1->setReadOnly(true);
    Text1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    Text1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text1->document()->setDocumentMargin(1);

    lblVersion = new QLabel(this);
    lblVersion->setGeometry(twipsRect(2250, 1305, 1845, 240));
    lblVersion->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

    lblURL = new QLabel(QString::fromLatin1(kMakerSite), this);
    lblURL->setGeometry(twipsRect(210, 1740, 2505, 195));
    lblURL->setAlignment(Qt::AlignCenter);
    lblURL->setToolTip(QString::fromUtf16(kLinkTip));
    lblURL->setCursor(Qt::PointingHandCursor);
    lblURL->setMouseTracking(true);
    lblURL->installEventFilter(this);
    setLinkLook(false);

    cmdOk = new QPushButton(QStringLiteral("OK"), this);
    cmdOk->setGeometry(twipsRect(2880, 1635, 1260, 375));
    cmdOk->setDefault(true);
    connect(cmdOk, &QPushButton::clicked, this, [this] { cmdOk_Click(); });

    Form_Load();
}

QString frm_version::versionText() {
    return QStringLiteral("Version %1.%2%3")
        .arg(VELMORA_VERSION_MAJOR)
        .arg(VELMORA_VERSION_MINOR)
        .arg(VELMORA_VERSION_PATCH);
}

void frm_version::Form_Load() {
    lblVersion->setText(versionText());
    lblAppTitle->setText(QStringLiteral("Velmora"));
}

void frm_version::setLinkLook(bool highlighted) {
    QFont f = lblURL->font();
    f.setUnderline(highlighted);
    lblURL->setFont(f);
    QPalette pal = lblURL->palette();
    pal.setColor(QPalette::WindowText, highlighted ? QColor(0, 0, 255) : QColor(0, 0, 0));
    lblURL->setPalette(pal);
}

void frm_version::lblURL_MouseMove() {
    if (!lblURL->font().underline()) setLinkLook(true);
}

void frm_version::Form_MouseMove() {
    if (lblURL->font().underline()) setLinkLook(false);
}

void frm_version::lblURL_Click() { openUrl_(QUrl(QString::fromLatin1(kMakerSite))); }

void frm_version::cmdOk_Click() { accept(); }

void frm_version::mouseMoveEvent(QMouseEvent* event) {
    Form_MouseMove();
    QDialog::mouseMoveEvent(event);
}

bool frm_version::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblURL) {
        if (event->type() == QEvent::MouseMove) {
            lblURL_MouseMove();
            return true; // a label passes moves on to the box, which would clear the highlight again
        }
        if (event->type() == QEvent::MouseButtonRelease &&
                 static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton &&
                 lblURL->rect().contains(static_cast<QMouseEvent*>(event)->position().toPoint()))
            lblURL_Click();
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace velplay
