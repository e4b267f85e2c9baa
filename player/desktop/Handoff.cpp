#include "Handoff.h"

#include "SessionBus.h"
#include "TextUtil.h"
#include "frm_main.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QDir>
#include <QEventLoop>
#include <QTimer>

namespace velplay {
namespace {

const QString kService = QString::fromLatin1(HandoffService::kServiceName);
const QString kPath = QString::fromLatin1(HandoffService::kObjectPath);
const QString kInterface = QStringLiteral("jp.example.velmora.velplay.Handoff");
const QString kTokenKey = QStringLiteral("activation-token");
const QString kStartupIdKey = QStringLiteral("desktop-startup-id");

constexpr int kReplyMs = 10000;    // the player answers at once; a ceiling for one that hangs
constexpr int kStartingMs = 5000;  // how long a player that is still starting may take to appear

// Waits until the running player's name is on the bus; false when it did not come in time.
bool waitForPlayer(QDBusConnection& bus) {
    QDBusServiceWatcher watcher(kService, bus, QDBusServiceWatcher::WatchForRegistration);
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusServiceWatcher::serviceRegistered, &loop, &QEventLoop::quit);
    QTimer ceiling;
    ceiling.setSingleShot(true);
    QObject::connect(&ceiling, &QTimer::timeout, &loop, &QEventLoop::quit);
    // It may have come between the call and the watch.
    if (bus.interface()->isServiceRegistered(kService)) return true;
    ceiling.start(kStartingMs);
    loop.exec();
    return bus.interface()->isServiceRegistered(kService);
}

// The path as the running player must read it: relative to this process's
// working folder made absolute, blanks around it kept (the player trims them
// where the first start would).
QString absolutePath(const QString& path) {
    const QString core = path.trimmed();
    if (!QDir::isRelativePath(core)) return path;
    QString absolute = path;
    return absolute.replace(path.indexOf(core), core.size(), QDir::current().absoluteFilePath(core));
}

} // namespace

bool handOffToRunningPlayer(const QString& commandLine, const Activation& activation) {
    std::u16string text = commandLine.toStdU16String();
    vel::TrimQuotes(text);
    const QString path = QString::fromStdU16String(text);
    if (path.trimmed().isEmpty() || !sessionBusPresent()) return false;
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return false;

    QVariantMap platformData;
    if (!activation.token.isEmpty()) platformData.insert(kTokenKey, activation.token);
    if (!activation.startupId.isEmpty()) platformData.insert(kStartupIdKey, activation.startupId);
    QDBusMessage open = QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Open"));
    open << absolutePath(path) << platformData;
    open.setAutoStartService(false);
    QDBusMessage reply = bus.call(open, QDBus::Block, kReplyMs);
    // The player that holds the lock goes on the bus only after its own track has loaded.
    const bool absent = reply.type() == QDBusMessage::ErrorMessage &&
                        reply.errorName() == QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown");
    if (absent && waitForPlayer(bus))
        reply = bus.call(open, QDBus::Block, kReplyMs);
    if (reply.type() != QDBusMessage::ReplyMessage) return false;
    // The token is good once: it is the player's now, not this process's box's.
    qunsetenv("XDG_ACTIVATION_TOKEN");
    return true;
}

HandoffService::HandoffService(frm_main& window) : window_(window) {
    connect(&window, &frm_main::unloaded, this, [this] {
        gone_ = true;
        withdraw();
    });
}

std::unique_ptr<HandoffService> HandoffService::start(frm_main& window) {
    std::unique_ptr<HandoffService> service(new HandoffService(window));
    service->registered_ = exportOnSessionBus(*service, kService, kPath, QDBusConnection::ExportAllSlots);
    if (!service->registered_) return nullptr;
    return service;
}

HandoffService::~HandoffService() { withdraw(); }

void HandoffService::withdraw() {
    if (!registered_) return;
    registered_ = false;
    withdrawFromSessionBus(kService, kPath);
}

void HandoffService::Open(const QString& path, const QVariantMap& platformData) {
    if (gone_ || path.isEmpty()) return;
    const Activation activation{platformData.value(kTokenKey).toString(), platformData.value(kStartupIdKey).toString()};
    QMetaObject::invokeMethod(
        this,
        [this, path, activation] {
            if (gone_) return;
            // Forward first, while the user's proof is fresh; then the track, as if dropped.
            activateWindow(window_, activation);
            window_.pic_View_OLEDragDrop({path});
        },
        Qt::QueuedConnection);
}

} // namespace velplay
