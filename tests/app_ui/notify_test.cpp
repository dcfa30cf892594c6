// Notifications by type and sender name, the dispatch table, and the rows of
// a list reaching their window's notifications.
#include "app/ui/notify.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <vector>

#include "app/ui/skin_controls.h"
#include "tests/app_ui/ui_fixture.h"

namespace {

using app::Notification;
using app::NotifyPump;

// A control of another module that reports through its own signal.
class Gauge : public QWidget {
  Q_OBJECT

 signals:
  void notify(const QString& type, const QVariant& value);

 public:
  using QWidget::QWidget;
  void Turn(int v) { emit notify(app::notify::kValueChanged, v); }
};

struct Seen {
  std::vector<std::pair<QString, QString>> events;  // type, sender
  std::vector<QVariant> values;
  void operator()(const Notification& n) {
    events.emplace_back(n.type, n.sender);
    values.push_back(n.value);
  }
  void Clear() {
    events.clear();
    values.clear();
  }
};

template <class T>
T* Add(QWidget* parent, const char* name) {
  auto* w = new T(parent);
  w->setObjectName(name);
  parent->layout()->addWidget(w);
  return w;
}

using Events = std::vector<std::pair<QString, QString>>;

TEST(NotifyTest, ControlsReportByTypeAndName) {
  QWidget root;
  new QVBoxLayout(&root);
  auto* button = Add<QPushButton>(&root, "btnA");
  auto* options = Add<QWidget>(&root, "options");
  new QVBoxLayout(options);
  auto* optA = Add<QToolButton>(options, "optA");
  auto* optB = Add<QToolButton>(options, "optB");
  for (QToolButton* o : {optA, optB}) {
    o->setCheckable(true);
    o->setAutoExclusive(true);
  }
  optA->setChecked(true);
  auto* check = Add<QCheckBox>(&root, "ckb");
  auto* edit = Add<QLineEdit>(&root, "edit");
  auto* slider = Add<QSlider>(&root, "slider");
  auto* combo = Add<QComboBox>(&root, "combo");
  combo->addItems({"a", "b"});
  auto* gauge = Add<Gauge>(&root, "gauge");
  auto* unnamed = Add<QPushButton>(&root, "");
  auto* inner = Add<QPushButton>(&root, "qt_inner");

  Seen seen;
  NotifyPump pump(&root, [&](const Notification& n) { seen(n); });
  pump.Attach(&root);
  pump.Attach(&root);  // never wired twice

  button->click();
  EXPECT_EQ(seen.events, (Events{{"click", "btnA"}}));
  seen.Clear();

  // An option reports its selection; the option it replaced stays quiet.
  optB->click();
  EXPECT_EQ(seen.events, (Events{{"selectchanged", "optB"}, {"click", "optB"}}));
  seen.Clear();

  check->click();
  check->click();
  EXPECT_EQ(
      seen.events,
      (Events{
          {"selectchanged", "ckb"}, {"click", "ckb"}, {"selectchanged", "ckb"}, {"click", "ckb"}}));
  EXPECT_EQ(seen.values[2], QVariant(false));
  seen.Clear();

  edit->setText("new name");
  QFocusEvent out(QEvent::FocusOut);
  QApplication::sendEvent(edit, &out);
  slider->setValue(7);
  combo->setCurrentIndex(1);
  gauge->Turn(3);
  unnamed->click();
  inner->click();
  EXPECT_EQ(seen.events, (Events{{"textchanged", "edit"},
                                 {"killfocus", "edit"},
                                 {"valuechanged", "slider"},
                                 {"itemselect", "combo"},
                                 {"valuechanged", "gauge"}}));
  EXPECT_EQ(seen.values[0], QVariant("new name"));
  EXPECT_EQ(seen.values[2], QVariant(7));
  EXPECT_EQ(seen.values[3], QVariant(1));
  EXPECT_EQ(seen.values[4], QVariant(3));
}

QWidget* MakeRow(const char* buttonName) {
  auto* row = new QWidget;
  new QVBoxLayout(row);
  Add<QPushButton>(row, buttonName);
  return row;
}

TEST(NotifyTest, RowsOfAListReportToTheirWindowAndFindTheirRow) {
  QWidget window;
  new QVBoxLayout(&window);
  auto* list = Add<app::SkinList>(&window, "listMerge");
  Seen seen;
  NotifyPump pump(&window, [&](const Notification& n) { seen(n); });
  pump.Attach(&window);

  QWidget* first = MakeRow("btn_up_video");
  QWidget* second = MakeRow("btn_del_video");
  QWidget* third = MakeRow("btn_down_video");
  for (QWidget* row : {first, second, third}) list->Add(row);
  ASSERT_EQ(list->Count(), 3);

  // A row added after the window was wired still reports.
  auto* del = second->findChild<QPushButton*>("btn_del_video");
  del->click();
  EXPECT_EQ(seen.events, (Events{{"click", "btn_del_video"}}));

  app::SkinList* owner = nullptr;
  EXPECT_EQ(app::SkinList::RowOf(del, &owner), second);
  EXPECT_EQ(owner, list);
  EXPECT_EQ(app::SkinList::RowOf(second), second);
  EXPECT_EQ(app::SkinList::RowOf(list), nullptr);
  EXPECT_EQ(app::SkinList::RowOf(&window), nullptr);

  EXPECT_TRUE(list->Move(third, 0));
  EXPECT_EQ(list->IndexOf(third), 0);
  EXPECT_EQ(list->RowAt(1), first);
  EXPECT_FALSE(list->Move(first, 3));
  EXPECT_FALSE(list->Move(first, -1));

  // A row may remove itself from its own button's click.
  QPointer<QWidget> gone = second;
  QObject::connect(del, &QPushButton::clicked, list,
                   [&] { list->Remove(app::SkinList::RowOf(del)); });
  del->click();
  EXPECT_EQ(list->Count(), 2);
  EXPECT_EQ(list->IndexOf(second), -1);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(gone.isNull());

  list->RemoveAll();
  EXPECT_EQ(list->Count(), 0);
  EXPECT_EQ(list->RowAt(0), nullptr);
}

// A long list keeps far rows out of the window until they are scrolled near;
// they are rows of the list all along and report like the others.
TEST(NotifyTest, FarRowsOfALongListJoinTheWindowWhenScrolledNear) {
  QWidget window;
  new QVBoxLayout(&window);
  window.resize(400, 300);
  auto* list = Add<app::SkinList>(&window, "listVideo");
  Seen seen;
  NotifyPump pump(&window, [&](const Notification& n) { seen(n); });
  pump.Attach(&window);
  window.show();
  std::vector<QWidget*> rows;
  for (int i = 0; i < 60; ++i) {
    QWidget* row = MakeRow("btn_del_video");
    row->setFixedHeight(96);
    list->Add(row);
    rows.push_back(row);
  }
  QWidget* last = rows.back();
  EXPECT_TRUE(uitest::WaitFor([&] { return rows.front()->isVisible(); }));
  EXPECT_FALSE(last->isVisible());
  EXPECT_NE(last->window(), &window);  // not styled nor laid out yet
  EXPECT_EQ(list->IndexOf(last), 59);
  EXPECT_EQ(list->RowAt(59), last);
  auto* del = last->findChild<QPushButton*>("btn_del_video");
  EXPECT_EQ(app::SkinList::RowOf(del), last);

  // Moving a far row to the top brings it in; the row it passed keeps its place.
  EXPECT_TRUE(list->Move(rows[58], 0));
  EXPECT_TRUE(uitest::WaitFor([&] { return rows[58]->isVisible(); }));
  EXPECT_EQ(list->IndexOf(rows[0]), 1);

  list->verticalScrollBar()->setValue(list->verticalScrollBar()->maximum());
  EXPECT_TRUE(uitest::WaitFor([&] { return last->isVisible(); }));
  EXPECT_EQ(last->window(), &window);
  seen.Clear();
  del->click();
  EXPECT_EQ(seen.events, (Events{{"click", "btn_del_video"}}));
  EXPECT_TRUE(list->Remove(last));
  EXPECT_EQ(list->Count(), 59);
}

}  // namespace

#include "notify_test.moc"
