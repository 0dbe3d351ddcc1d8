#include "base/extension_types.h"

#include <QFile>

#include "base/utility.h"

namespace dw {

void ExtensionTypes::clear() {
    texts_.clear();
    utf8_.clear();
    idByExtension_.clear();
    slots_.fill(Slot());
}

quint32 ExtensionTypes::idOfExtension(QByteArrayView ext) {
    const QByteArray key = ext.toByteArray();
    const auto it = idByExtension_.constFind(key);
    if (it != idByExtension_.constEnd()) {
        return it.value();
    }
    const QString type = ext.isEmpty() ? QString() : FileTypeName(QFile::decodeName(key));
    const auto id = quint32(texts_.size());
    texts_.append(type);
    utf8_.push_back(type.toUtf8());
    idByExtension_.insert(key, id);
    return id;
}

}  // namespace dw
