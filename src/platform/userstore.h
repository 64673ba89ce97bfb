#pragma once
#include <QString>
#include <QVariant>
#include <memory>

class QSettings;

namespace hv {

// The per-user settings store: organisation and application "Hevrin", group "Settings".
// Tests give a file of their own so that nothing of the user's is touched.
class UserStore {
public:
    UserStore();                                // the user's own store
    explicit UserStore(const QString& iniFile); // a store in a given file
    ~UserStore();
    QVariant value(const QString& key, const QVariant& defaultValue = {}) const;
    QString text(const QString& key, const QString& defaultText = {}) const;
    void setValue(const QString& key, const QVariant& value);
    bool contains(const QString& key) const;
    void sync();

private:
    std::unique_ptr<QSettings> s_;
};

} // namespace hv
