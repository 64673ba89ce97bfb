#include "platform/userstore.h"

#include <QSettings>

namespace hv {

UserStore::UserStore() : s_(std::make_unique<QSettings>("Hevrin", "Hevrin")) {}
UserStore::UserStore(const QString& iniFile)
    : s_(std::make_unique<QSettings>(iniFile, QSettings::IniFormat)) {}
UserStore::~UserStore() = default;

QVariant UserStore::value(const QString& key, const QVariant& defaultValue) const {
    return s_->value("Settings/" + key, defaultValue);
}
QString UserStore::text(const QString& key, const QString& defaultText) const {
    return value(key, defaultText).toString();
}
void UserStore::setValue(const QString& key, const QVariant& value) {
    s_->setValue("Settings/" + key, value);
}
bool UserStore::contains(const QString& key) const {
    return s_->contains("Settings/" + key);
}
void UserStore::sync() {
    s_->sync();
}

} // namespace hv
