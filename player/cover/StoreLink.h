#pragma once
// The store link of the cover area: the product page of the cover on show,
// named by the identifier the fetcher left in "asin", or the store without a product.
#include <QString>
#include <QUrl>

#include <functional>

namespace velplay {

// The first line of the "asin" file (up to CR, CR LF or the end), as CP932
// text; "" when it is empty or cannot be opened. A missing file is created empty.
QString ReadAsin(const QString& asinFileName);

// The identifier goes into the path as read: no trimming, no escaping.
QString productAddress(const QString& asin);
QString storeAddress();

// "ダブルクリックで <store domain> を開きます。"
QString storeToolTip();

// The double-click on the cover: the product page when a cover is on show and
// "asin" names one, nothing when it names none, the store page without cover.
// Opens through `openUrl`, the window's URL opener (the desktop's by default).
void openStoreLink(bool viewStatus, const QString& asinFileName, const std::function<bool(const QUrl&)>& openUrl);

} // namespace velplay
