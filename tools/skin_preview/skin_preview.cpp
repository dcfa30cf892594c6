// Renders the skin's windows into PNG files, to look at the skin without the
// program: skin_preview <skin archive> <output folder> [empty] [-reverse]
#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLinearGradient>
#include <QMenu>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>
#include <QStackedWidget>
#include <QTimer>

#include "app/ui/base_window.h"
#include "app/ui/popup_menu.h"
#include "app/ui/skin.h"
#include "app/ui/skin_controls.h"
#include "app/ui/skin_image.h"

namespace {

class Window : public app::MyBaseWindow {
 public:
  Window(QString layout, Kind kind) : MyBaseWindow(nullptr, kind), layout_(std::move(layout)) {}
  QString LayoutFile() const override { return layout_; }

 private:
  QString layout_;
};

void Set(QWidget* row, const char* name, const QString& text) {
  QWidget* w = app::FindControl(row, name);
  if (auto* l = qobject_cast<QLabel*>(w)) l->setText(text);
  if (auto* e = qobject_cast<QLineEdit*>(w)) e->setText(text);
}

void Show(QWidget* row, const char* name, bool on) {
  if (QWidget* w = app::FindControl(row, name)) w->setVisible(on);
}

QString MakeCover(const QString& folder, int hue) {
  QImage image(640, 360, QImage::Format_RGB32);
  QPainter p(&image);
  QLinearGradient g(0, 0, 640, 360);
  g.setColorAt(0, QColor::fromHsv(hue, 120, 230));
  g.setColorAt(1, QColor::fromHsv((hue + 60) % 360, 200, 120));
  p.fillRect(image.rect(), g);
  p.setBrush(QColor(255, 255, 255, 90));
  p.setPen(Qt::NoPen);
  p.drawEllipse(QPointF(470, 110), 60, 60);
  p.end();
  const QString path = folder + QString("/cover%1.png").arg(hue);
  image.save(path);
  return path;
}

void Wait(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

}  // namespace

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  if (argc < 3) return 2;
  if (!app::UseSkinArchive(argv[1])) return 1;
  const QString out = argv[2];
  const bool empty = argc > 3;
  QDir().mkpath(out);

  Window main("skin.xml", app::MyBaseWindow::Kind::kMainWindow);
  if (!main.Create()) return 1;
  QWidget* list = main.FindControl("listVideo");
  auto* rows = qobject_cast<app::SkinList*>(list);
  if (!empty) {
    main.FindControl("empty_frame")->hide();
    main.FindControl("no_empty_frame")->show();
    struct Sample {
      const char* name;
      const char* ext;
      const char* dur;
      const char* res;
      const char* size;
      int state;
      int hue;
    } samples[] = {
        {"Holiday in the mountains", "MOV", "00:03:12", "1920x1080", "212 MB", 0, 200},
        {"Birthday party", "MP4", "00:12:40", "1280x720", "540 MB", 1, 20},
        {"Interview_final_cut", "MKV", "00:45:02", "3840x2160", "4.12 GB", 2, 120},
        {"broken clip", "AVI", "", "", "12.3 MB", 3, -1},
    };
    for (const Sample& s : samples) {
      QWidget* row = app::LoadLayout("video_info.xml");
      Set(row, "video_old_name", s.name);
      Set(row, "edit_new_video_name", s.name);
      Set(row, "codec_type", s.ext);
      Set(row, "video_duration", s.dur);
      Set(row, "video_resolution", s.res);
      Set(row, "video_size", s.size);
      Set(row, "video_duration_new", s.dur);
      Set(row, "video_resolution_new", s.res);
      if (s.hue >= 0) {
        app::SetControlImage(app::FindControl(row, "video_cover"),
                             "file='" + MakeCover(out, s.hue) + "' restype='fullpath'");
        Show(row, "load_cover", false);
      }
      if (s.state == 1) {
        Show(row, "btn_re_recode", false);
        Show(row, "pic_recode_progress", true);
        Set(row, "pic_recode_progress", "37%\n");
        app::SetControlImage(
            app::FindControl(row, "pic_recode_progress"),
            "file='../default/images/pic_recode_progress.png' source='264,0,308,44'");
        Show(row, "btn_del_video", false);
        Show(row, "btn_stop_recode", true);
        Show(row, "layClipVideo1", false);
        Show(row, "layClipVideo2", false);
        Show(row, "btn_video_rename", false);
      } else if (s.state == 2) {
        Show(row, "layResultVideo1", true);
        Show(row, "layResultVideo2", true);
        Show(row, "btn_recode_fail", false);
        Show(row, "btn_open_video_folder", true);
        Show(row, "layClipVideo1", false);
        Show(row, "layClipVideo2", false);
        Show(row, "btn_video_rename", false);
        Show(row, "layNewDuration1", false);
        Show(row, "layNewDuration2", true);
        Set(row, "video_duration_new2", "00:00:10 - 00:01:05");
      } else if (s.state == 3) {
        Show(row, "layResultVideo1", true);
        Show(row, "layResultVideo2", true);
        Show(row, "recode_success", false);
        Show(row, "btn_play_video", false);
      }
      rows->Add(row);
    }
  }
  main.show();
  Wait(300);
  main.grab().save(out + "/main.png");
  // What the display shows (on X11 the real screen, shadow and all).
  if (QScreen* screen = main.screen()) screen->grabWindow(0).save(out + "/screen.png");

  Window message("dlg_message.xml", app::MyBaseWindow::Kind::kDialog);
  message.Create();
  qobject_cast<QLabel*>(message.FindControl("caption"))->setText("Pelmar Video Converter");
  qobject_cast<QLabel*>(message.FindControl("context"))
      ->setText("Files are still being converted. Stop converting and exit?");
  message.FindControl("warnLogo")->show();
  message.FindControl("btnKefu")->show();
  message.show();
  Wait(200);
  message.grab().save(out + "/message.png");

  Window about("dlg_about.xml", app::MyBaseWindow::Kind::kDialog);
  about.Create();
  qobject_cast<QLabel*>(about.FindControl("label_version"))->setText("1.0.0.0");
  about.show();
  Wait(200);
  about.grab().save(out + "/about.png");

  Window setting("dlg_setting.xml", app::MyBaseWindow::Kind::kDialog);
  setting.Create();
  Set(&setting, "edtBitRate", "2500");
  setting.show();
  Wait(200);
  setting.grab().save(out + "/setting.png");
  qobject_cast<QAbstractButton*>(setting.FindControl("tabConmonSetting"))->setChecked(true);
  qobject_cast<QStackedWidget*>(setting.FindControl("tabMain"))->setCurrentIndex(2);
  Wait(100);
  setting.grab().save(out + "/setting_common.png");

  Window merge("dlg_merge.xml", app::MyBaseWindow::Kind::kDialog);
  merge.Create();
  qobject_cast<QProgressBar*>(merge.FindControl("progressMerge"))->setValue(42);
  Set(&merge, "labMergePercent", "42%");
  merge.show();
  Wait(200);
  merge.grab().save(out + "/merge.png");

  auto menu = app::PopupMenu::Load("main_menu.xml", &main, nullptr);
  menu->Popup(QPoint(100, 100));
  Wait(200);
  menu->menu()->grab().save(out + "/menu.png");
  menu->menu()->hide();
  menu->SetItemChecked("menuEn", true);
  QMenu* sub = menu->Item("menuLanguage")->menu();
  sub->popup(QPoint(300, 100));
  Wait(200);
  sub->grab().save(out + "/menu_lang.png");
  sub->hide();
  auto format = app::PopupMenu::Load("format_menu.xml", &main, nullptr);
  format->Popup(QPoint(400, 100));
  Wait(200);
  format->menu()->grab().save(out + "/format.png");
  QMenu* mp4 = format->Item("menu_mp4")->menu();
  mp4->popup(QPoint(500, 100));
  Wait(200);
  mp4->grab().save(out + "/format_mp4.png");
  return 0;
}
