// The Source tab among the views (see views.h): it follows the row, node or
// graph node selected, reads a file only while the tab is shown, and turns
// what is done on a call in it into the requests of the other views.
#include <QItemSelectionModel>

#include "ui/qtext.h"
#include "ui/source_page.h"
#include "ui/views.h"

void ViewsPanel::BuildSource(const QFont &font) {
  source_page_ = new SourcePage(tabs_);
  source_page_->setObjectName(QStringLiteral("sourcePage"));
  source_page_->View()->setFont(font);
  // A click on a call selects the function it reaches (the Source tab stays
  // on the function shown); a double-click or Enter goes on to its tree.
  connect(source_page_, &SourcePage::CallChosen, this, [this](const FunctionTarget &t) {
    source_leads_ = true;
    if (t.name.isEmpty()) {
      SelectFunctionRow(t.sid, t.fid);
      SetStatusString(UiText("Calls %1 (Enter: its tree)").arg(RowName(t.sid, t.fid)));
    } else {
      SetStatusString(
          UiText("%1 is not defined in the analysed code").arg(FromSjis(t.name.toStdString())));
    }
    source_leads_ = false;
  });
  connect(source_page_, &SourcePage::CallActivated, this, [this](const FunctionTarget &t) {
    if (!t.name.isEmpty())
      Q_EMIT NotDefined(FromSjis(t.name.toStdString()));
    else if (t.IsFunction())
      Q_EMIT TreeRequested(VIEW_SOURCE, t.sid, t.fid);
  });
  connect(
      source_page_, &SourcePage::CallMenu, this,
      [this](const FunctionTarget &t, const QPoint &global) { Q_EMIT FunctionMenu(t, global); });
  ConnectFollowing();
}

void ViewsPanel::ConnectFollowing() {
  for (int list = 0; list < 2; list++)
    connect(lists_[list]->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this, list](const QModelIndex &i) {
              FollowTarget(TargetOfRow(list, filters_[list]->StoreRow(i.row())));
            });
  for (TreeView *tv : {tree_, callers_})
    connect(tv->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &i) { FollowTarget(TargetOfNode(i)); });
  connect(graph_, &GraphView::FunctionClicked, this, [this](int sid, int fid) {
    FunctionTarget t;
    t.sid = sid;
    t.fid = fid;
    FollowTarget(t);
  });
}

void ViewsPanel::FollowTarget(const FunctionTarget &t) {
  // What the Source tab chose itself must not move it.
  if (source_leads_ || (t.IsEmpty() && !t.IsCall())) return;
  source_target_ = t;
  source_stale_ = true;
  if (current_ == VIEW_SOURCE) ShowSourceNow();
}

void ViewsPanel::ShowSource(const FunctionTarget &t) {
  source_target_ = t;
  source_stale_ = true;
  SelectView(VIEW_SOURCE);
  source_page_->View()->setFocus(Qt::OtherFocusReason);
}

void ViewsPanel::ShowSourceNow() {
  if (!source_stale_) return;
  source_stale_ = false;
  source_page_->Show(source_target_);
}

QString ViewsPanel::RowName(int sid, int fid) const {
  ListModel *m = models_[VIEW_FUNCTIONS];
  const FunctionRow *f = m->FunctionAt(m->FunctionRowOf(sid, fid));
  if (!f) return QString();
  return FromSjis(std::string(f->scope) + f->name) + QStringLiteral(" [") + FromSjis(f->source) +
         QLatin1Char(']');
}
