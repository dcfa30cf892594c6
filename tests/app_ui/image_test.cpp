// Image strings, skin pictures, icons and covers.
#include <QImage>
#include <QPainter>
#include <QPixmap>

#include <cstdlib>

#include "app/ui/image_string.h"
#include "app/ui/skin.h"
#include "app/ui/skin_controls.h"
#include "app/ui/skin_image.h"
#include "platform/files.h"
#include "tests/app_ui/ui_fixture.h"

namespace {

using app::ImageString;
using app::ParseImageString;
using uitest::UiTest;

TEST(ImageStringTest, ParsesTheFormsTheProgramWrites) {
  struct Case {
    const char* text;
    const char* file;
    bool fullPath;
    QRect source, dest;
  };
  const Case cases[] = {
      {"file='images/a.svg' source='0,0,44,44'", "images/a.svg", false, QRect(0, 0, 44, 44), {}},
      {"file='../default/images/pic_recode_progress.png' source='836,0,880,44'",
       "../default/images/pic_recode_progress.png",
       false,
       QRect(836, 0, 44, 44),
       {}},
      {"file = '/home/a b/video_cover/3_17.png' restype='fullpath'",
       "/home/a b/video_cover/3_17.png",
       true,
       {},
       {}},
      {"file=\"x.png\" dest='4,4,40,40'", "x.png", false, {}, QRect(4, 4, 36, 36)},
      {"images/logo.svg", "images/logo.svg", false, {}, {}},
      {"  file='a.png'   restype='FullPath'  ", "a.png", true, {}, {}},
      // A rectangle of three numbers, or one turned around, means none.
      {"file='a.png' source='1,2,3' dest='10,10,5,5'", "a.png", false, {}, {}},
      {"", "", false, {}, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const ImageString s = ParseImageString(c.text);
    EXPECT_EQ(s.file.toStdString(), c.file);
    EXPECT_EQ(s.fullPath, c.fullPath);
    EXPECT_EQ(s.source, c.source);
    EXPECT_EQ(s.dest, c.dest);
  }
  // Attributes the program does not paint change nothing.
  const ImageString more = ParseImageString("file='a.png' corner='2,3,4,5' fade='128'");
  EXPECT_EQ(more.file.toStdString(), "a.png");
  EXPECT_TRUE(more.source.isNull());
  EXPECT_TRUE(more.dest.isNull());
}

TEST_F(UiTest, SkinPictureNamesResolveInTheArchive) {
  // The row's progress strip is named as the shared skin folder's PNG; the
  // archive holds it as a vector picture.
  EXPECT_EQ(app::ResolveSkinPicture("../default/images/pic_recode_progress.png"),
            ":/skin/images/pic_recode_progress.svg");
  EXPECT_EQ(app::ResolveSkinPicture("images/logo.svg"), ":/skin/images/logo.svg");
  EXPECT_EQ(app::ResolveSkinPicture("images/none.png"), "");
  EXPECT_EQ(app::ResolveSkinPicture("/etc/passwd"), "");
}

// The colour a control asks for replaces "currentColor" wherever the
// document names it; every other colour stays, at every size.
TEST_F(UiTest, VectorPicturesTakeTheColourTheControlAsksFor) {
  const std::string file = path("shapes.svg");
  ASSERT_TRUE(platform::WriteFileAtomic(file, R"(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 20 20">
      <rect x="0" y="0" width="10" height="10" fill="#ff0000"/>
      <g fill="currentColor"><path d="M2 20 A8 8 0 0 1 18 20 Z"/></g>
      <circle cx="15" cy="5" r="3" style="fill:none;stroke:currentColor;stroke-width:2"/>
    </svg>)"));
  const app::SkinPicture picture = app::SkinPicture::Load(
      ParseImageString(QString::fromStdString("file='" + file + "' restype='fullpath'")));
  ASSERT_TRUE(picture.IsVector());
  EXPECT_EQ(picture.NaturalSize(), QSizeF(20, 20));
  for (const QColor& colour : {QColor(0, 0, 200), QColor(0, 160, 0)}) {
    for (int scale : {1, 2, 5}) {
      SCOPED_TRACE(colour.name().toStdString() + " x" + std::to_string(scale));
      QImage out(QSize(20, 20) * scale, QImage::Format_ARGB32);
      out.fill(Qt::white);
      {
        QPainter p(&out);
        picture.Paint(&p, QRectF(out.rect()), app::ImageFit::kStretch, colour);
      }
      auto at = [&](double x, double y) { return out.pixelColor(int(x * scale), int(y * scale)); };
      EXPECT_EQ(at(5, 5), QColor(255, 0, 0));
      EXPECT_EQ(at(10, 16), colour);            // inside the half disc
      EXPECT_EQ(at(3, 13), QColor(Qt::white));  // outside its arc
      EXPECT_EQ(at(15, 2.2), colour);           // on the ring
      EXPECT_EQ(at(15, 5), QColor(Qt::white));  // its hole
    }
  }
  const std::string notSvg = path("page.svg");
  ASSERT_TRUE(platform::WriteFileAtomic(notSvg, "<html/>"));
  EXPECT_TRUE(app::SkinPicture::Load(ParseImageString(
                  QString::fromStdString("file='" + notSvg + "' restype='fullpath'")))
                  .IsNull());
}

TEST_F(UiTest, ProgressStripShowsTheFrameOfTheSourceRectangle) {
  const app::SkinPicture picture =
      app::SkinPicture::Load(ParseImageString("file='../default/images/pic_recode_progress.png'"));
  ASSERT_TRUE(picture.IsVector());
  EXPECT_EQ(picture.NaturalSize(), QSizeF(880, 44));
  auto leftOfRing = [&](int frame) {
    const app::SkinPicture part = app::SkinPicture::Load(ParseImageString(
        QString("file='../default/images/pic_recode_progress.png' source='%1,0,%2,44'")
            .arg((frame - 1) * 44)
            .arg(frame * 44)));
    QImage out(44, 44, QImage::Format_ARGB32);
    out.fill(Qt::transparent);
    QPainter p(&out);
    part.Paint(&p, QRectF(0, 0, 44, 44), app::ImageFit::kStretch);
    return out.pixelColor(4, 22);
  };
  // 5 % has not reached the left side of the ring yet; 100 % has.
  EXPECT_EQ(leftOfRing(1), QColor(0xE3, 0xE8, 0xF0));
  EXPECT_EQ(leftOfRing(20), QColor(0x25, 0x63, 0xEB));
}

TEST_F(UiTest, IconsAreDrawnForTheScaleTheyAreShownAt) {
  const QIcon icon = app::SkinIcon(ParseImageString("file='images/plus.svg'"));
  ASSERT_FALSE(icon.isNull());
  for (qreal scale : {1.0, 1.25, 1.5, 2.0}) {
    const QPixmap pixmap = icon.pixmap(QSize(16, 16), scale);
    EXPECT_EQ(pixmap.size(), (QSizeF(16, 16) * scale).toSize()) << scale;
    EXPECT_EQ(pixmap.devicePixelRatio(), scale);
  }
  // The checked state takes its own colour.
  app::IconColors colors;
  colors.normal = QColor(10, 10, 10);
  colors.checked = QColor(0, 0, 250);
  const QIcon option = app::SkinIcon(ParseImageString("file='images/stop.svg'"), colors);
  const QImage off = option.pixmap(QSize(24, 24), 1.0, QIcon::Normal, QIcon::Off).toImage();
  const QImage on = option.pixmap(QSize(24, 24), 1.0, QIcon::Normal, QIcon::On).toImage();
  EXPECT_EQ(off.pixelColor(12, 12), QColor(10, 10, 10));
  EXPECT_EQ(on.pixelColor(12, 12), QColor(0, 0, 250));
  EXPECT_TRUE(app::SkinIcon(ParseImageString("file='images/none.svg'")).isNull());
}

// Right to left, a picture that points the way of reading turns with the
// window, and a place inside its control is mirrored; other pictures stay.
TEST_F(UiTest, RightToLeftMirrorsDirectionalPicturesAndPlaces) {
  auto grab = [](QWidget* w) { return w->grab().toImage().convertToFormat(QImage::Format_ARGB32); };
  // Alike but for the edges' antialiasing.
  auto alike = [](const QImage& a, const QImage& b) {
    if (a.size() != b.size()) return false;
    for (int y = 0; y < a.height(); ++y)
      for (int x = 0; x < a.width(); ++x) {
        const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
        if (std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) +
                std::abs(p.blue() - q.blue()) + std::abs(p.alpha() - q.alpha()) > 120)
          return false;
      }
    return true;
  };
  app::SkinLabel arrow;
  arrow.setFixedSize(32, 32);
  arrow.setBkimage("file='images/arrow_right.svg'");
  arrow.setProperty("directional", true);
  const QImage ltr = grab(&arrow);
  ASSERT_FALSE(alike(ltr, ltr.mirrored(true, false)));  // it does point one way
  arrow.setLayoutDirection(Qt::RightToLeft);
  EXPECT_TRUE(alike(grab(&arrow), ltr.mirrored(true, false)));
  arrow.setProperty("directional", false);
  EXPECT_TRUE(alike(grab(&arrow), ltr));

  app::SkinLabel placed;
  placed.setFixedSize(40, 20);
  placed.setBkimage("file='images/stop.svg' dest='0,0,20,20'");
  const QImage left = grab(&placed);
  placed.setLayoutDirection(Qt::RightToLeft);
  EXPECT_TRUE(alike(grab(&placed), left.mirrored(true, false)));
}

TEST_F(UiTest, CoversAreScaledDownAsTheyAreRead) {
  const QString file = QString::fromStdString(path("cover.png"));
  QImage big(1920, 1080, QImage::Format_RGB32);
  big.fill(QColor(200, 40, 40));
  ASSERT_TRUE(big.save(file));

  app::SkinLabel cover;
  cover.setFixedSize(112, 63);
  EXPECT_TRUE(app::SetControlImage(&cover, "file = '" + file + "' restype='fullpath'"));
  ASSERT_TRUE(cover.hasImage());
  const QSize kept = cover.picture().RasterSize();
  const qreal dpr = cover.devicePixelRatioF();
  EXPECT_LE(kept.width(), qCeil(112 * dpr) + 2);
  EXPECT_GE(kept.height(), qCeil(63 * dpr) - 1);  // still covers the whole box

  // A cover that is gone leaves the label without a picture.
  EXPECT_FALSE(app::SetControlImage(&cover, "file='" + file + ".gone' restype='fullpath'"));
  EXPECT_FALSE(cover.hasImage());
}

}  // namespace
