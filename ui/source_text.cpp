// A source file as the Source tab shows it (see source_text.h).
#include "ui/source_text.h"

#include <QByteArray>

#include <algorithm>
#include <cstring>

#include "engine/encoding.h"
#include "platform/codepage.h"
#include "platform/files.h"
#include "ui/qtext.h"

namespace {

// Shift_JIS bytes one character takes in the text the analysis reads: what
// the converter makes of it ('?' for a character Shift_JIS has not).
int SjisLength(const QChar *c, int units) {
  if (units == 1 && c->unicode() < 0x80) return 1;
  if (units == 1 && c->unicode() >= 0xFF61 && c->unicode() <= 0xFF9F) return 1;
  char out[8];
  long n = ConvertText("UTF-16LE", "CP932", c, (size_t)units * 2, out, sizeof out);
  return n > 0 ? (int)n : 1;
}

}  // namespace

bool SourceText::Load(const QByteArray &path, QString *error) {
  *this = SourceText();
  path_ = path;
  int64_t size = FileSizeForRead(path.constData());
  if (size < 0 || size > 0x7FFFFFFF - 64) {
    if (error) *error = UiText("cannot be read");
    starts_.push_back(0);
    return false;
  }
  QByteArray raw((int)size, '\0');
  int64_t got = size ? ReadFileInto(path.constData(), raw.data(), size) : 0;
  if (got < 0) {
    if (error) *error = UiText("cannot be read");
    starts_.push_back(0);
    return false;
  }
  raw.truncate((int)got);
  encoding_ = DetectSourceEncoding(raw.constData(), raw.size());
  const unsigned char *u = (const unsigned char *)raw.constData();
  if (encoding_ == SourceEncoding::kUtf16) {
    // Units of the mark's order; the text ends at a NUL unit, as analysed.
    bool big = u[0] == 0xFE;
    int n = raw.size() / 2;
    text_.resize(n);
    QChar *out = text_.data();
    int k = 0;
    for (int i = 0; i < n; i++) {
      char16_t c =
          big ? (char16_t)(u[2 * i] << 8 | u[2 * i + 1]) : (char16_t)(u[2 * i + 1] << 8 | u[2 * i]);
      if (c == 0) break;
      out[k++] = QChar(c);
    }
    text_.truncate(k);
  } else {
    // The text ends at a NUL byte, as the analysis reads it.
    int len = (int)strnlen(raw.constData(), (size_t)raw.size());
    if (encoding_ == SourceEncoding::kUtf8) {
      text_ = QString::fromUtf8(raw.constData(), len);
    } else {
      // At most one UTF-16 unit per byte.
      QByteArray wide(2 * len + 2, '\0');
      long n = len ? ConvertText("CP932", "UTF-16LE", raw.constData(), (size_t)len, wide.data(),
                                 (size_t)wide.size())
                   : 0;
      if (n < 0) n = 0;
      text_ = QString((const QChar *)wide.constData(), (int)(n / 2));
    }
  }
  // The mark is shown as nothing; the analysis read it as one '?'.
  if (!text_.isEmpty() && text_[0] == QChar(0xFEFF)) {
    text_.remove(0, 1);
    marked_ = 1;
  }
  starts_.reserve((size_t)text_.size() / 32 + 1);
  starts_.push_back(0);
  const QChar *t = text_.constData();
  int n = text_.size();
  for (int i = 0; i < n; i++)
    if (t[i] == QLatin1Char('\n')) {
      longest_ = std::max(longest_, i - starts_.back());
      starts_.push_back(i + 1);
    }
  longest_ = std::max(longest_, n - starts_.back());
  return true;
}

int SourceText::LineStart(int i) const {
  if (i < 0 || i >= LineCount()) return text_.size();
  return starts_[(size_t)i];
}

int SourceText::LineLength(int i) const {
  if (i < 0 || i >= LineCount()) return 0;
  int end = i + 1 < LineCount() ? starts_[(size_t)i + 1] - 1 : text_.size();
  int len = end - starts_[(size_t)i];
  // A line end of CR LF: the CR is no character of the line.
  if (len > 0 && text_[starts_[(size_t)i] + len - 1] == QLatin1Char('\r')) len--;
  return len;
}

QStringView SourceText::Line(int i) const {
  return QStringView(text_).mid(LineStart(i), LineLength(i));
}

const char *SourceText::EncodingName() const {
  return encoding_ == SourceEncoding::kUtf16  ? "UTF-16"
         : encoding_ == SourceEncoding::kUtf8 ? "UTF-8"
                                              : "Shift_JIS";
}

int SourceText::CharColumn(int line, int col) const {
  QStringView l = Line(line);
  int bytes = line == 0 ? marked_ : 0;
  int i = 0;
  while (i < l.size() && bytes < col) {
    int units = l[i].isHighSurrogate() && i + 1 < l.size() && l[i + 1].isLowSurrogate() ? 2 : 1;
    bytes += SjisLength(l.data() + i, units);
    i += units;
  }
  return i;
}

void SourceText::PlaceOf(int offset, int *line, int *column) const {
  auto it = std::upper_bound(starts_.begin(), starts_.end(), offset);
  int l = (int)(it - starts_.begin()) - 1;
  if (l < 0) l = 0;
  *line = l;
  *column = std::min(offset - starts_[(size_t)l], LineLength(l));
}
