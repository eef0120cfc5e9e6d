#include "ui/ui_text.h"

#include <QStringDecoder>

#include "platform/text_locale.h"

namespace tavrin {

QString ToDisplay(const TextLocale& locale, std::string_view text) {
  QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
  QString decoded = utf8.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
  if (!utf8.hasError()) return decoded;
  return QString::fromStdString(locale.ToUtf8(text));
}

std::string PathToCore(const QString& path) { return path.toStdString(); }

QString PathFromCore(std::string_view path) {
  return QString::fromUtf8(path.data(), static_cast<qsizetype>(path.size()));
}

std::string TypedToCore(int code_page, const QString& text, bool* lossy) {
  return Utf8ToCodePage(code_page, text.toStdString(), lossy);
}

QString TypedFromCore(int code_page, std::string_view text) {
  return QString::fromStdString(CodePageToUtf8(code_page, text));
}

}  // namespace tavrin
