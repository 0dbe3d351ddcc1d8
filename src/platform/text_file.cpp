#include "platform/text_file.h"

#include <QStringDecoder>

namespace dw::platform {

std::optional<QByteArray> textFileAsUtf8(const QByteArray& data) {
    if (data.startsWith("\xEF\xBB\xBF")) {
        return data.mid(3);
    }
    const bool little = data.startsWith("\xFF\xFE");
    if (!little && !data.startsWith("\xFE\xFF")) {
        return data;
    }
    if (data.size() % 2 != 0) {
        return std::nullopt;
    }
    QStringDecoder decode(little ? QStringDecoder::Utf16LE : QStringDecoder::Utf16BE,
                          QStringDecoder::Flag::Stateless);
    const QString text = decode(QByteArrayView(data).sliced(2));
    if (decode.hasError()) {
        return std::nullopt;
    }
    return text.toUtf8();
}

}  // namespace dw::platform
