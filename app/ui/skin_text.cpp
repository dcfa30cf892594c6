#include "app/ui/skin_text.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QXmlStreamReader>

#include "app/core/language.h"
#include "app/core/oem_config.h"
#include "app/ui/layout.h"
#include "app/ui/skin.h"

namespace app {
namespace {

bool KindOfProperty(QStringView property, TextKind* kind) {
  if (property == QLatin1String("text")) {
    *kind = TextKind::kText;
  } else if (property == QLatin1String("toolTip")) {
    *kind = TextKind::kToolTip;
  } else if (property == QLatin1String("placeholderText")) {
    *kind = TextKind::kHint;
  } else {
    return false;
  }
  return true;
}

}  // namespace

std::vector<ControlText> ReadLayoutTexts(const QString& designName) {
  std::vector<ControlText> texts;
  QByteArray content;
  if (!ReadSkinFile(designName, &content)) return texts;
  QXmlStreamReader xml(content);
  std::vector<QString> widgets;  // names of the open <widget> elements
  QString property;              // the <property> being read
  while (!xml.atEnd()) {
    const QXmlStreamReader::TokenType token = xml.readNext();
    const QStringView tag = xml.name();
    if (token == QXmlStreamReader::StartElement) {
      const QXmlStreamAttributes a = xml.attributes();
      if (tag == QLatin1String("widget")) {
        widgets.push_back(a.value("name").toString());
      } else if (tag == QLatin1String("property")) {
        property = a.value("name").toString();
      } else if (tag == QLatin1String("string") && !widgets.empty() && a.hasAttribute("id")) {
        ControlText t;
        if (KindOfProperty(property, &t.kind)) {
          t.name = widgets.back();
          t.key = a.value("id").toString();
          t.value = xml.readElementText();
          texts.push_back(std::move(t));
          property.clear();
        }
      } else if (tag == QLatin1String("Item") && a.hasAttribute("textid")) {
        texts.push_back(ControlText{a.value("name").toString(), a.value("text").toString(),
                                    TextKind::kText, a.value("textid").toString()});
      }
    } else if (token == QXmlStreamReader::EndElement) {
      if (tag == QLatin1String("widget") && !widgets.empty()) widgets.pop_back();
      if (tag == QLatin1String("property")) property.clear();
    }
  }
  return texts;
}

bool ApplyControlText(QWidget* root, const ControlText& text) {
  QWidget* control = FindControl(root, text.name);
  if (!control) return false;
  const QMetaObject* meta = control->metaObject();
  switch (text.kind) {
    case TextKind::kText:
      if (meta->indexOfProperty("text") < 0) return false;
      return control->setProperty("text", text.value);
    case TextKind::kToolTip:
      control->setToolTip(text.value);
      return true;
    case TextKind::kHint:
      // Only edits have hint texts.
      if (!qobject_cast<QLineEdit*>(control)) return false;
      static_cast<QLineEdit*>(control)->setPlaceholderText(text.value);
      return true;
  }
  return false;
}

const std::vector<QString>& ReloadedLayouts() {
  static const std::vector<QString> layouts = {"skin.xml", "ConverCtrl.xml", "video_info.xml",
                                               "main_menu.xml"};
  return layouts;
}

void ApplyLanguageDirection(int languageId) {
  QGuiApplication::setLayoutDirection(LanguageIsRightToLeft(languageId) ? Qt::RightToLeft
                                                                        : Qt::LeftToRight);
}

bool SwitchSkinLanguage(int languageId, const std::string& installDir,
                        const std::function<void(const ControlText&)>& report) {
  OemConfig& oem = Oem();
  const std::string oldFile = oem.skinFile, oldFolder = oem.skinFolder;
  if (!SelectSkinArchive(languageId, installDir, &oem)) return false;
  if (!UseSelectedSkinArchive()) {
    oem.skinFile = oldFile;
    oem.skinFolder = oldFolder;
    return false;
  }
  if (report) {
    for (const QString& layout : ReloadedLayouts())
      for (const ControlText& text : ReadLayoutTexts(layout)) report(text);
  }
  ApplyLanguageDirection(languageId);
  return true;
}

}  // namespace app
