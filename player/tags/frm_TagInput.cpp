#include "frm_TagInput.h"

#include "LeadingNumber.h"
#include "TextUtil.h"
#include "TitleName.h"
#include "Twips.h"
#include "VBMP3.h"
#include "desktop/LibraryPath.h"
#include "desktop/Notice.h"

#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>

#include <cmath>

namespace velplay {
namespace {

QString fromField(const std::u16string& field) { return QString::fromStdU16String(vel::CutAtNul(field)); }

const QString kTitle = QStringLiteral("タグ入力");

} // namespace

frm_TagInput::frm_TagInput(const QString& fileName, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      fileName_(fileName) {
    setWindowTitle(kTitle);
    setFixedSize(twipsRect(0, 0, 5055, 3285).size());

    auto label = [this](const QString& text, int top) {
        auto* l = new QLabel(text, this);
        l->setGeometry(twipsRect(-105, top, 1095, 270));
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    };
    auto edit = [this](QRect where, int maxLength) {
        auto* e = new QLineEdit(this);
        e->setGeometry(where);
        if (maxLength > 0) e->setMaxLength(maxLength);
        return e;
    };

    label(QStringLiteral("ﾌｧｲﾙ名"), 150);
    txtFileName = edit(twipsRect(1080, 150, 3615, 270), 255);
    txtFileName->setReadOnly(true);
    QPalette face = txtFileName->palette();
    face.setColor(QPalette::Base, face.color(QPalette::Button));
    txtFileName->setPalette(face);

    label(QStringLiteral("ｱｰﾃｨｽﾄ名"), 510);
    txtArtist = edit(twipsRect(1080, 510, 3615, 270), 30);
    label(QStringLiteral("ﾄﾗｯｸ名"), 870);
    txtTrack = edit(twipsRect(1080, 870, 3615, 270), 30);
    label(QStringLiteral("ｱﾙﾊﾞﾑ名"), 1230);
    txtAlbum = edit(twipsRect(1080, 1230, 3615, 270), 30);
    label(QStringLiteral("ﾘﾘｰｽ年"), 1590);
    txtYYYYMM = edit(twipsRect(1080, 1590, 735, 270), 4);

    label(QStringLiteral("ｼﾞｬﾝﾙ"), 1950);
    cbGenre = new QComboBox(this);
    cbGenre->setGeometry(twipsRect(1080, 1950, 3615, 300));
    cbGenre->setEditable(true);
    cbGenre->setInsertPolicy(QComboBox::NoInsert);
    cbGenre->setMaxVisibleItems(16);

    label(QStringLiteral("ｺﾒﾝﾄ"), 2325);
    txtComment = edit(twipsRect(1080, 2325, 3615, 270), 30);
    label(QStringLiteral("ﾄﾗｯｸ番号"), 2685);
    txtTrackNo = edit(twipsRect(1080, 2685, 615, 315), 0);

    chkSelVer[0] = new QRadioButton(QStringLiteral("v1.0"), this);
    chkSelVer[0]->setGeometry(twipsRect(1860, 2685, 735, 255));
    chkSelVer[1] = new QRadioButton(QStringLiteral("v1.1"), this);
    chkSelVer[1]->setGeometry(twipsRect(1860, 2985, 735, 255));

    cmdReg = new QPushButton(QStringLiteral("登録"), this);
    cmdReg->setGeometry(twipsRect(2880, 2790, 975, 375));
    cmdReg->setDefault(true);
    cmdCancel = new QPushButton(QStringLiteral("キャンセル"), this);
    cmdCancel->setGeometry(twipsRect(3960, 2790, 975, 375));
    connect(cmdReg, &QPushButton::clicked, this, &frm_TagInput::cmdReg_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frm_TagInput::cmdCancel_Click);

    const QWidget* order[] = {txtArtist, txtTrack, txtAlbum, txtYYYYMM, txtComment, cbGenre, cmdReg,
                              cmdCancel, chkSelVer[0], chkSelVer[1], txtTrackNo, txtFileName};
    for (std::size_t i = 0; i + 1 < std::size(order); ++i)
        setTabOrder(const_cast<QWidget*>(order[i]), const_cast<QWidget*>(order[i + 1]));
    // Tab enters the version pair on its selected option (arrow keys move within
    // it), so Tab then Space never switches the version unseen.
    for (QRadioButton* option : chkSelVer)
        connect(option, &QRadioButton::toggled, this, &frm_TagInput::versionFocusFollowsChoice);
    txtArtist->setFocus();

    Form_Load();
    versionFocusFollowsChoice();
}

void frm_TagInput::versionFocusFollowsChoice() {
    const bool none = !chkSelVer[0]->isChecked() && !chkSelVer[1]->isChecked();
    for (QRadioButton* option : chkSelVer)
        option->setFocusPolicy(option->isChecked() || (none && option == chkSelVer[0]) ? Qt::StrongFocus
                                                                                        : Qt::ClickFocus);
}

void frm_TagInput::fillGenres() {
    // One record for all numbers, as the library fills it; only Genre changes.
    VBMP3::ShortTagRecord rec;
    for (int n = 0; n <= 255; ++n) {
        rec.Genre = n;
        VBMP3::vbmp3_getGenre(rec);
        const std::u16string name = vel::TrimSpaces(vel::CutAtNul(rec.GenreName.str()));
        cbGenre->addItem(QStringLiteral("%1").arg(n, 3, 10, QLatin1Char('0')) + QStringLiteral(" - ") +
                         QString::fromStdU16String(name));
    }
    cbGenre->setCurrentIndex(-1);
}

void frm_TagInput::Form_Load() {
    fillGenres();

    VBMP3::TagRecord tag;
    if (VBMP3::vbmp3_getFileTagInfoEX(libraryPath(fileName_), tag) == 0) return;

    txtFileName->setText(
        QString::fromStdU16String(vel::CutAtNul(vel::GetTitleName(fileName_.toStdU16String(), false))));
    txtTrack->setText(fromField(tag.Title.str()));
    txtArtist->setText(fromField(tag.Artist.str()));
    txtAlbum->setText(fromField(tag.Album.str()));
    txtYYYYMM->setText(fromField(tag.Year.str()));
    txtComment->setText(fromField(tag.Comment.str()));
    // A number the list does not hold selects nothing rather than a wrong genre.
    cbGenre->setCurrentIndex(tag.Genre >= 0 && tag.Genre < cbGenre->count() ? tag.Genre : -1);
    if (tag.TrackNo == -1) {
        chkSelVer[0]->setChecked(true);
        txtTrackNo->clear();
    } else {
        chkSelVer[1]->setChecked(true);
        txtTrackNo->setText(QString::number(tag.TrackNo));
    }
}

int frm_TagInput::selectedGenre() const {
    // Text typed into the edit field that is no entry selects nothing.
    const int i = cbGenre->currentIndex();
    return i >= 0 && cbGenre->currentText() == cbGenre->itemText(i) ? i : -1;
}

std::optional<long long> frm_TagInput::leadingNumber(const QString& text) {
    const std::string number = vel::leadingNumberText(text.toStdU16String(), {u" \t", false});
    if (number.empty()) return 0;
    bool ok = false;
    const double value = QLocale::c().toDouble(QString::fromStdString(number), &ok);
    if (!ok || !std::isfinite(value) || std::fabs(value) > 2147483647.0) return std::nullopt;
    return vel::RoundHalfEven(value);
}

void frm_TagInput::cmdReg_Click() {
    if (!QFileInfo(fileName_).isFile()) return;

    VBMP3::TagRecord tag;
    tag.Title = txtTrack->text().toStdU16String();
    tag.Artist = txtArtist->text().toStdU16String();
    tag.Album = txtAlbum->text().toStdU16String();
    tag.Year = txtYYYYMM->text().toStdU16String();
    tag.Comment = txtComment->text().toStdU16String();
    tag.Genre = selectedGenre();
    tag.TrackNo = -1;
    if (chkSelVer[1]->isChecked() && !vel::TrimSpaces(txtTrackNo->text().toStdU16String()).empty()) {
        // An ID3v1.1 tag keeps its track number in one byte.
        const auto number = leadingNumber(txtTrackNo->text());
        if (!number || *number < 0 || *number > 255) {
            showNotice(this, NoticeIcon::Warning, kTitle,
                       QStringLiteral("トラック番号は 0 から 255 までの数で入力してください。"));
            return;
        }
        tag.TrackNo = std::int32_t(*number);
    }

    if (VBMP3::vbmp3_setTagInfoEX(libraryPath(fileName_), tag, 1, 1) == 0) {
        showNotice(this, NoticeIcon::Warning, kTitle, QStringLiteral("タグを書き込めませんでした。"));
        return;
    }
    accept();
}

void frm_TagInput::cmdCancel_Click() { reject(); }

} // namespace velplay
