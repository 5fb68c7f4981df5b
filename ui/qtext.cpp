// Text crossing between Shift_JIS and Qt (see qtext.h).
#include "ui/qtext.h"

#include <cstring>

#include "foundation/messages.h"
#include "platform/codepage.h"

namespace {

bool IsAscii(const char *s, size_t n) {
  for (size_t i = 0; i < n; i++)
    if ((unsigned char)s[i] >= 0x80) return false;
  return true;
}

}  // namespace

QString FromSjis(const char *sjis) {
  if (!sjis || !*sjis) return QString();
  size_t n = strlen(sjis);
  if (IsAscii(sjis, n)) return QString::fromLatin1(sjis, (qsizetype)n);
  return QString::fromUtf8(SjisToUtf8(std::string(sjis, n)).c_str());
}

QString FromSjis(const std::string &sjis) {
  return FromSjis(sjis.c_str());
}

QString UiText(const char *utf8) {
  return QString::fromUtf8(MsgUtf8(utf8));
}

QString UiTextSjis(const char *sjis) {
  return FromSjis(Msg(sjis));
}

std::string ToSjis(const QString &text) {
  bool ascii = true;
  for (QChar c : text)
    if (c.unicode() >= 0x80) ascii = false;
  if (ascii) return text.toLatin1().toStdString();
  return Utf8ToSjis(text.toUtf8().toStdString());
}

int CellNumber(const char *text) {
  if (!text) return 0;
  while (*text == ' ' || (*text >= '\t' && *text <= '\r')) text++;
  int sign = 1;
  if (*text == '-' || *text == '+') sign = *text++ == '-' ? -1 : 1;
  long long v = 0;
  while (*text >= '0' && *text <= '9') {
    v = v * 10 + (*text++ - '0');
    if (v > 2147483648LL) v = 2147483648LL;  // cells never hold such numbers
  }
  v *= sign;
  if (v > 2147483647LL) v = 2147483647LL;
  return (int)v;
}
