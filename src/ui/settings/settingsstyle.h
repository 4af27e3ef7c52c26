#pragma once
// The looks the settings pages share: titles, texts, hints, notes, lists and check boxes on the
// white settings window.
#include <QString>

namespace settingsstyle {
inline const QString kTitleStyle =
    QStringLiteral("QLabel{font-size: 14px;font-weight: 500;color: #131b26;}");
inline const QString kTextStyle =
    QStringLiteral("QLabel{font-size: 14px;font-weight: 400;color: #181e33;}");
inline const QString kHintStyle =
    QStringLiteral("QLabel{font-size: 12px;font-weight: 400;color: #646873;}");
inline const QString kNoteStyle =
    QStringLiteral("QLabel{font-size: 12px;font-weight: 400;color: #f2733d;}");
inline const QString kComboStyle = QStringLiteral(
    "QComboBox{border: 1px solid #e0e0e0;border-radius: 5px;padding: 4px 10px;font-size: 14px;"
    "color: #181e33;background: #ffffff;}"
    "QComboBox:hover{border-color: #f2733d;}"
    "QComboBox::drop-down{border: 0px;width: 28px;}"
    "QComboBox::down-arrow{image: url(:/images/icon_chevron_down.png);width: 16px;height: 16px;}"
    "QComboBox QAbstractItemView{border: 1px solid #e0e0e0;selection-background-color: #fff6f1;"
    "selection-color: #f2733d;outline: 0px;}");
inline const QString kCheckStyle = QStringLiteral(
    "QCheckBox{font-size: 14px;font-weight: 400;color: #181e33;spacing: 8px;}"
    "QCheckBox::indicator{width: 16px;height: 16px;border: 1px solid #c9ccd3;border-radius: 3px;"
    "background: #ffffff;}"
    "QCheckBox::indicator:hover{border-color: #f2733d;}"
    "QCheckBox::indicator:checked{border-color: #f2733d;background: #f2733d;"
    "image: url(:/images/icon_check.png);}");
inline const QString kRadioStyle = QStringLiteral(
    "QRadioButton{font-size: 14px;font-weight: 400;color: #181e33;spacing: 6px;}"
    "QRadioButton::indicator{width: 14px;height: 14px;border: 1px solid #c9ccd3;"
    "border-radius: 8px;background: #ffffff;}"
    "QRadioButton::indicator:hover{border-color: #f2733d;}"
    "QRadioButton::indicator:checked{border: 4px solid #f2733d;width: 8px;height: 8px;}");
}  // namespace settingsstyle
