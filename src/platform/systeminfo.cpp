#include "platform/systeminfo.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTimeZone>
#include <QUrl>
#include <ctime>

namespace hv {

namespace {
const QTimeZone& machineZone() {
    static const QTimeZone zone = QTimeZone::systemTimeZone();
    return zone;
}
} // namespace

void UseWallClockTime() {
    machineZone();
    qputenv("TZ", "UTC");
    tzset();
}

QDateTime SystemInfo::now() const {
    const QDateTime wall = QDateTime::currentDateTimeUtc().toTimeZone(machineZone());
    return QDateTime(wall.date(), wall.time());
}

QString SystemInfo::programFolder() const {
    return QCoreApplication::applicationDirPath();
}

QString SystemInfo::perUserFolder() const {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

bool SystemInfo::openDocument(const QString& urlOrPath) {
    const QUrl url = QFileInfo::exists(urlOrPath) ? QUrl::fromLocalFile(urlOrPath) : QUrl(urlOrPath);
    return QDesktopServices::openUrl(url);
}

bool SystemInfo::launch(const QString& program, const QStringList& args) {
    return QProcess::startDetached(program, args);
}

} // namespace hv
