#include "StoreLink.h"

#include "AnsiCodec.h"
#include "ServiceHosts.h"

#include <QFile>

namespace velplay {
namespace {

const QString kAssociateTag = QStringLiteral("plovtarnime-22");

// An identifier is a dozen characters; a longer first line is cut here rather
// than read whole into memory.
constexpr qint64 kMaxLine = 4096;

QString storeBase() { return QStringLiteral("http://") + QLatin1String(vel::kStoreHost); }

} // namespace

QString ReadAsin(const QString& asinFileName) {
    QFile file(asinFileName);
    if (!file.open(QIODevice::ReadWrite)) return {};
    const QByteArray bytes = file.read(kMaxLine);
    if (bytes.isEmpty()) return {};
    const qsizetype cr = bytes.indexOf('\r');
    const QByteArray line = cr < 0 ? bytes : bytes.left(cr);
    return QString::fromStdU16String(vel::fromAnsi(std::string_view(line.constData(), std::size_t(line.size()))));
}

QString productAddress(const QString& asin) {
    return storeBase() + QStringLiteral("/exec/obidos/ASIN/") + asin + u'/' + kAssociateTag +
           QStringLiteral("/sim=noref");
}

QString storeAddress() {
    return storeBase() + QStringLiteral("/exec/obidos/ASIN/") + kAssociateTag + QStringLiteral("/sim=noref");
}

QString storeToolTip() {
    return QStringLiteral("ダブルクリックで ") + QLatin1String(vel::kStoreDomain) + QStringLiteral(" を開きます。");
}

void openStoreLink(bool viewStatus, const QString& asinFileName, const std::function<bool(const QUrl&)>& openUrl) {
    QString address;
    if (viewStatus) {
        const QString asin = ReadAsin(asinFileName);
        if (asin.isEmpty()) return;
        address = productAddress(asin);
    } else {
        address = storeAddress();
    }
    openUrl(QUrl(address));
}

} // namespace velplay
