// Opening a large source in the Source tab: a generated file of about
// MB megabytes (default 5) in each encoding a source may have (Shift_JIS
// with Japanese comments, UTF-8, UTF-16 with its mark) is read and decoded,
// given to the view, a function in the middle of it marked with its calls,
// scrolled to and painted, as the tab does when a function is selected.
// Prints the median and the slowest of RUNS opens (default 9) per encoding,
// in milliseconds. Runs offscreen unless QT_QPA_PLATFORM says otherwise.
//
//   bench_source_view [MB=5] [RUNS=9]
// bench-links: velmora_ui
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "ui/qtext.h"
#include "ui/source_view.h"

namespace {

// A C text of about bytes bytes: functions of a dozen lines, each calling
// the next, with a Japanese comment above each.
QString MakeSource(long bytes) {
  QString out;
  out.reserve((int)(bytes + 4096));
  for (int i = 0; out.size() < bytes; i++) {
    out += QStringLiteral("/*\n * 関数 %1 の説明：次の関数を呼び出します。\n */\n").arg(i);
    out += QStringLiteral("static int function_%1(int a, int b)\n{\n").arg(i);
    out += QStringLiteral("  int sum = a + b;\t/* 合計 */\n");
    out +=
        QStringLiteral("  if (sum > %1)\n    return function_%2(sum - 1, b);\n").arg(i).arg(i + 1);
    out += QStringLiteral("  return sum * 2;\n}\n\n");
  }
  return out;
}

bool WriteFile(const QString &path, const QByteArray &bytes) {
  QFile f(path);
  return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

double Millis(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace

int main(int argc, char **argv) {
  if (!getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  double mb = argc > 1 ? atof(argv[1]) : 5;
  int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 9;
  QApplication app(argc, argv);
  QTemporaryDir dir;
  if (!dir.isValid()) return 1;
  QString text = MakeSource((long)(mb * 1024 * 1024));

  QByteArray wide("\xFF\xFE", 2);
  wide.append(reinterpret_cast<const char *>(text.utf16()), text.size() * 2);
  std::string sjis = ToSjis(text);
  struct Case {
    const char *name;
    QByteArray bytes;
  } cases[] = {{"Shift_JIS", QByteArray(sjis.data(), (int)sjis.size())},
               {"UTF-8", text.toUtf8()},
               {"UTF-16", wide}};

  SourceView view;
  view.resize(1000, 700);
  view.show();
  for (Case &c : cases) {
    QString path = dir.filePath(QString::fromLatin1(c.name) + QStringLiteral(".c"));
    if (!WriteFile(path, c.bytes)) return 1;
    std::vector<double> times;
    int lines = 0;
    for (int r = 0; r < runs; r++) {
      view.SetText(nullptr);
      app.processEvents();
      auto t0 = std::chrono::steady_clock::now();
      auto file = std::make_shared<SourceText>();
      QString error;
      if (!file->Load(QFile::encodeName(path), &error)) {
        fprintf(stderr, "%s: %s\n", c.name, qPrintable(error));
        return 1;
      }
      lines = file->LineCount();
      int mid = lines / 2;
      view.SetText(file);
      std::vector<SourceCall> calls(1);
      calls[0].line = mid + 1;
      calls[0].column = 4;
      calls[0].length = 8;
      view.SetFunction(mid, mid - 3, mid + 8, calls);
      view.ShowLine(mid);
      view.viewport()->repaint();
      times.push_back(Millis(std::chrono::steady_clock::now() - t0));
    }
    std::sort(times.begin(), times.end());
    printf("source view %-9s %6.2f MB %8d lines: median %7.1f ms, slowest %7.1f ms (%d opens)\n",
           c.name, c.bytes.size() / 1048576.0, lines, times[times.size() / 2], times.back(), runs);
  }
  return 0;
}
