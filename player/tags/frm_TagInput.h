#pragma once
// The ID3v1 tag editor of the current track: reads the tag when it opens and
// writes the edited one on 登録.
#include <QDialog>

#include <array>
#include <optional>

class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velplay {

class frm_TagInput : public QDialog {
    Q_OBJECT
public:
    // `fileName` is the main window's track path as it holds it (untrimmed).
    explicit frm_TagInput(const QString& fileName, QWidget* parent = nullptr);

    QLineEdit* txtFileName;
    QLineEdit* txtArtist;
    QLineEdit* txtTrack;
    QLineEdit* txtAlbum;
    QLineEdit* txtYYYYMM;
    QComboBox* cbGenre;
    QLineEdit* txtComment;
    QLineEdit* txtTrackNo;
    std::array<QRadioButton*, 2> chkSelVer; // 0: "v1.0", 1: "v1.1"
    QPushButton* cmdReg;
    QPushButton* cmdCancel;

    // The number a track-number text begins with (blanks skipped, sign and
    // fraction allowed), rounded halves to even; 0 when it begins with none.
    // Empty when the number is too large for any whole-number track field.
    static std::optional<long long> leadingNumber(const QString& text);

public slots:
    void cmdReg_Click();
    void cmdCancel_Click();

private:
    void Form_Load();
    void fillGenres();
    int selectedGenre() const;
    // Only the selected version option takes Tab focus (v1.0 when neither is).
    void versionFocusFollowsChoice();

    QString fileName_;
};

} // namespace velplay
