#include "ui/setting_dlg.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QLineEdit>
#include <QStackedWidget>

#include <charconv>
#include <limits>
#include <string>

#include "app/core/app_settings.h"
#include "app/core/language.h"
#include "ui/message_dlg.h"

namespace ui {
namespace {

constexpr int64_t kMaxKbps = 1000000;
constexpr double kMaxFps = 1000.0;
constexpr double kInfinity = std::numeric_limits<double>::infinity();

// The page buttons, in the order of the pages of "tabMain".
const char* const kPageButtons[] = {"tabBitRateSetting", "tabFPSSetting", "tabConmonSetting"};

int DigitAt(const QString& text, int i) {
  return i < text.size() ? text[i].digitValue() : -1;
}

// Past blanks and an optional sign; returns whether the sign was a minus.
bool SkipBlanksAndSign(const QString& text, int* i) {
  while (*i < text.size() && text[*i].isSpace()) ++*i;
  if (*i < text.size() && (text[*i] == QLatin1Char('-') || text[*i] == QLatin1Char('+')))
    return text[(*i)++] == QLatin1Char('-');
  return false;
}

}  // namespace

int64_t ReadWholeNumber(const QString& text) {
  int i = 0;
  const bool negative = SkipBlanksAndSign(text, &i);
  constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
  int64_t value = 0;
  // Any script's digits count: an input method may give full-width or
  // Arabic-Indic ones.
  for (int d; (d = DigitAt(text, i)) >= 0; ++i) {
    if (value > (kMax - d) / 10) {
      value = kMax;
      break;
    }
    value = value * 10 + d;
  }
  return negative ? -value : value;
}

double ReadDecimalNumber(const QString& text) {
  int i = 0;
  const bool negative = SkipBlanksAndSign(text, &i);
  const QString rest = text.mid(i);
  if (rest.startsWith(QLatin1String("inf"), Qt::CaseInsensitive))
    return negative ? -kInfinity : kInfinity;
  // The number in plain ASCII, read without the locale's rules.
  std::string ascii;
  bool point = false;
  for (;; ++i) {
    const int d = DigitAt(text, i);
    if (d >= 0) {
      ascii.push_back(static_cast<char>('0' + d));
    } else if (!point && i < text.size() &&
               (text[i] == QLatin1Char('.') || text[i] == QLatin1Char(','))) {
      point = true;
      ascii.push_back('.');
    } else {
      break;
    }
  }
  if (ascii.find_first_of("0123456789") == std::string::npos) return 0.0;
  if (i < text.size() && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
    int j = i + 1;
    std::string exponent = "e";
    if (j < text.size() && (text[j] == QLatin1Char('-') || text[j] == QLatin1Char('+')))
      exponent.push_back(text[j++].toLatin1());
    if (DigitAt(text, j) >= 0) {
      for (int d; (d = DigitAt(text, j)) >= 0; ++j) exponent.push_back(static_cast<char>('0' + d));
      ascii += exponent;
    }
  }
  double value = 0.0;
  const auto [end, error] = std::from_chars(ascii.data(), ascii.data() + ascii.size(), value);
  (void)end;
  if (error == std::errc::result_out_of_range) {
    // Too small reads as 0; too large as infinite.
    const size_t e = ascii.find('e');
    value = e != std::string::npos && ascii[e + 1] == '-' ? 0.0 : kInfinity;
  }
  return negative ? -value : value;
}

CSettingDlg::CSettingDlg(QWidget* owner) : MyBaseWindow(owner, Kind::kDialog) {
  SetResult(app::kIdNo);
  setWindowTitle(QString::fromStdString(app::LangText(app::langkey::kTitle, app::kSectionMessage)));
}

void CSettingDlg::OnLayoutReady(const app::Notification&) {
  const app::AppSettings& settings = app::Settings();
  if (auto* standby = FindControl<QAbstractButton>(QStringLiteral("StandbyServer")))
    standby->setChecked(settings.standbyServer != 0);
  const int64_t bitRate = settings.customBitRate.load();
  if (auto* edit = FindControl<QLineEdit>(QStringLiteral("edtBitRate"))) {
    if (bitRate > 0) edit->setText(QString::number(bitRate / 1000));
  }
  const float frameRate = settings.customFrameRate.load();
  if (auto* edit = FindControl<QLineEdit>(QStringLiteral("edtFPS"))) {
    if (frameRate > 0) edit->setText(QString::number(frameRate, 'f', 2));
  }
  SelectPage(0);
}

void CSettingDlg::SelectPage(int index) {
  if (auto* pages = FindControl<QStackedWidget>(QStringLiteral("tabMain")))
    pages->setCurrentIndex(index);
  if (auto* button = FindControl<QAbstractButton>(QString::fromLatin1(kPageButtons[index])))
    button->setChecked(true);
  const char* edit = index == 0 ? "edtBitRate" : index == 1 ? "edtFPS" : nullptr;
  if (edit) {
    if (QWidget* box = FindControl(QString::fromLatin1(edit))) box->setFocus();
  }
}

void CSettingDlg::RestoreDefaults() {
  for (const char* name : {"edtBitRate", "edtFPS"}) {
    if (auto* edit = FindControl<QLineEdit>(QString::fromLatin1(name))) edit->clear();
  }
  if (auto* standby = FindControl<QAbstractButton>(QStringLiteral("StandbyServer")))
    standby->setChecked(false);
}

void CSettingDlg::Store() {
  app::AppSettings& settings = app::Settings();
  // Shows the page of a refused value with the value selected.
  auto refuse = [this](const char* key, int page, QLineEdit* edit) {
    MessageBoxError(key, this);
    SelectPage(page);
    if (edit) edit->selectAll();
  };

  auto* bitRateEdit = FindControl<QLineEdit>(QStringLiteral("edtBitRate"));
  const QString bitRateText = bitRateEdit ? bitRateEdit->text() : QString();
  int64_t bitRate = 0;
  if (!bitRateText.isEmpty()) {
    const int64_t kbps = ReadWholeNumber(bitRateText);
    if (kbps > kMaxKbps) {
      refuse(app::langkey::kBitRateTooLog, 0, bitRateEdit);
      return;
    }
    // Negative values pass and count as no override; keep them from overflowing.
    constexpr int64_t kLowest = std::numeric_limits<int64_t>::min() / 1000;
    bitRate = (kbps < kLowest ? kLowest : kbps) * 1000;
  }
  settings.customBitRate.store(bitRate);

  auto* frameRateEdit = FindControl<QLineEdit>(QStringLiteral("edtFPS"));
  const QString frameRateText = frameRateEdit ? frameRateEdit->text() : QString();
  float frameRate = 0.0f;
  if (!frameRateText.isEmpty()) {
    const double fps = ReadDecimalNumber(frameRateText);
    if (fps > kMaxFps) {
      // The bit rate above stays stored.
      refuse(app::langkey::kFpsTooLog, 1, frameRateEdit);
      return;
    }
    frameRate = static_cast<float>(fps);
  }
  settings.customFrameRate.store(frameRate);

  auto* standby = FindControl<QAbstractButton>(QStringLiteral("StandbyServer"));
  settings.SetStandbyServer(standby && standby->isChecked() ? 1 : 0);
  Close(app::kIdYes);
}

void CSettingDlg::Notify(const app::Notification& n) {
  MyBaseWindow::Notify(n);
  if (n.type == QLatin1String(app::notify::kSelectChanged) && n.value.toBool()) {
    for (int page = 0; page < 3; ++page) {
      if (n.sender == QLatin1String(kPageButtons[page])) SelectPage(page);
    }
    return;
  }
  if (n.type != QLatin1String(app::notify::kClick)) return;
  if (n.sender == QLatin1String("btnYes")) {
    Store();
  } else if (n.sender == QLatin1String("btnDefault")) {
    RestoreDefaults();
  } else if (n.sender == QLatin1String("btnClose")) {
    Close(app::kIdNo);
  }
}

bool CSettingDlg::ResponseDefaultKeyEvent(QKeyEvent* event) {
  // Enter in a box stores, as the OK button would.
  if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
      !(event->modifiers() & ~Qt::KeypadModifier) && qobject_cast<QLineEdit*>(focusWidget())) {
    Store();
    return true;
  }
  return MyBaseWindow::ResponseDefaultKeyEvent(event);
}

}  // namespace ui
