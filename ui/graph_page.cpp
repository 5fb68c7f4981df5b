// The Graph tab's page (see graph_page.h).
#include "ui/graph_page.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/graph_view.h"
#include "ui/qtext.h"

GraphPage::GraphPage(QWidget *parent) : QWidget(parent) {
  title_ = new QLabel(this);
  title_->setObjectName(QStringLiteral("graphTitle"));
  title_->setTextFormat(Qt::PlainText);
  title_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  depth_ = new QComboBox(this);
  depth_->setObjectName(QStringLiteral("graphDepth"));
  depth_->addItem(UiText("1 level"), 1);
  depth_->addItem(UiText("2 levels"), 2);
  depth_->addItem(UiText("3 levels"), 3);
  depth_->addItem(UiText("All levels"), 0);
  depth_->setCurrentIndex(3);
  depth_->setToolTip(
      UiText("How many levels below the root the Graph tab draws; the tree "
             "and the logs always hold them all"));
  depth_->setFocusPolicy(Qt::TabFocus);
  connect(depth_, QOverload<int>::of(&QComboBox::activated), this,
          [this](int) { Q_EMIT DepthChosen(Depth()); });
  QLabel *depth_label = new QLabel(UiText("Depth:"), this);
  depth_label->setBuddy(depth_);
  view_ = new GraphView(this);

  QHBoxLayout *top = new QHBoxLayout;
  top->setContentsMargins(6, 2, 6, 2);
  top->addWidget(title_, 1);
  top->addWidget(depth_label);
  top->addWidget(depth_);
  QVBoxLayout *layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addLayout(top);
  layout->addWidget(view_, 1);
}

int GraphPage::Depth() const {
  return depth_->currentData().toInt();
}

void GraphPage::SetDepth(int depth) {
  int i = depth <= 0 ? 3 : depth >= 3 ? 2 : depth - 1;
  depth_->setCurrentIndex(i);
}

QString GraphPage::TitleText(const QString &root, bool callers, int shown, int nodes, int depth,
                             int max_depth) {
  QString kind = callers ? UiText("callers") : UiText("calls");
  if (depth <= 0 || depth >= max_depth)
    return UiText("%1 \u2014 %2 \u2014 %3 nodes, depth %4")
        .arg(root, kind)
        .arg(nodes)
        .arg(max_depth);
  return UiText("%1 \u2014 %2 \u2014 %3 of %4 nodes, depth %5 of %6")
      .arg(root, kind)
      .arg(shown)
      .arg(nodes)
      .arg(depth)
      .arg(max_depth);
}

void GraphPage::SetTitle(const QString &root, bool callers, int shown, int nodes, int depth,
                         int max_depth) {
  title_->setText(TitleText(root, callers, shown, nodes, depth, max_depth));
  title_->setToolTip(title_->text());
}

void GraphPage::ClearTitle() {
  title_->clear();
  title_->setToolTip(QString());
}

QString GraphPage::Title() const {
  return title_->text();
}
