#pragma once
// The about box: program title, version, a note on the cover search and a
// link to the maker's web site.
#include <QDialog>

#include <functional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QUrl;

namespace velplay {

class frm_version : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kMakerSite = "https://velmora.example.jp/";
    static constexpr const char16_t* kLinkTip = u"いますぐクリック！";

    // `openUrl` opens the maker's site (the desktop's URL opener by default).
    explicit frm_version(QWidget* owner, std::function<bool(const QUrl&)> openUrl = {});

    // "Version " + major + "." + minor followed directly by the revision.
    static QString versionText();

    QLabel* Image1 = nullptr;
    QLabel* lblAppTitle = nullptr;
    QPlainTextEdit* Text1 = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblURL = nullptr;
    QPushButton* cmdOk = nullptr;

    void Form_Load();
    void Form_MouseMove();
    void lblURL_MouseMove();
    void lblURL_Click();
    void cmdOk_Click();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void setLinkLook(bool highlighted);
    std::function<bool(const QUrl&)> openUrl_;
};

} // namespace velplay
