#include "ui/board/boardsettingpopup.h"

#include "ui/board/colorradiobtn.h"
#include "ui/board/widthradiobtn.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainterPath>
#include <QRegion>
#include <QScreen>

namespace {
constexpr int InitialColor = 0;
constexpr int InitialWidth = 2;
constexpr int CornerRadius = 8;
}  // namespace

BoardSettingPopup::BoardSettingPopup(QWidget *parent)
    : QWidget(parent, Qt::Popup), m_colors{"#fa5151", "#ffc300", "#02c160", "#0daeff",
                                           "#6367f0", "#ffffff", "#000000"},
      m_widths{1, 3, 5, 7, 9}
{
    setObjectName("boradSettingPopup");
    setFixedSize(319, 94);

    auto *form = new QFormLayout(this);
    form->setObjectName("formLayout");
    form->setContentsMargins(14, 16, 26, 16);
    form->setVerticalSpacing(20);

    // A labelled row of radio buttons, `spacing` apart, in its own button group.
    const auto addButtonRow = [this, form](const QString &label, const char *labelName,
                                           const char *rowName, int spacing) {
        auto *text = new QLabel(label, this);
        text->setObjectName(labelName);
        auto *view = new QWidget(this);
        view->setObjectName(rowName);
        auto *row = new QHBoxLayout(view);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(spacing);
        form->addRow(text, view);
        return row;
    };
    QHBoxLayout *colorRow = addButtonRow(tr("颜色"), "label_color", "view_colors", 16);
    m_colorGroup = new QButtonGroup(this);
    for (const QString &name : std::as_const(m_colors)) {
        auto *button = new ColorRadioBtn(QColor(name), colorRow->parentWidget());
        m_colorGroup->addButton(button);
        colorRow->addWidget(button);
        connect(button, &QRadioButton::toggled, this,
                [this, button](bool) { emit sig_ColorSelect(button->color()); });
    }
    colorRow->addStretch();

    QHBoxLayout *widthRow = addButtonRow(tr("粗细"), "label_width", "view_width", 0);
    m_widthGroup = new QButtonGroup(this);
    for (int w : std::as_const(m_widths)) {
        auto *button = new WidthRadioBtn(w, widthRow->parentWidget());
        m_widthGroup->addButton(button);
        widthRow->addWidget(button);
        connect(button, &QRadioButton::toggled, this,
                [this, button](bool) { emit sig_WidthSelect(button->lineWidth()); });
    }
    widthRow->addStretch();

    QPainterPath outline;
    outline.addRoundedRect(QRectF(rect()), CornerRadius, CornerRadius);
    setMask(QRegion(outline.toFillPolygon().toPolygon()));
}

void BoardSettingPopup::selectInitial()
{
    m_colorGroup->buttons().at(InitialColor)->setChecked(true);
    m_widthGroup->buttons().at(InitialWidth)->setChecked(true);
}

QPoint BoardSettingPopup::placement(QPoint b, QSize button, QSize popup, const QRect &screen)
{
    const int pw = popup.width();
    const int ph = popup.height();
    const int bw = button.width();
    const int bh = button.height();
    const QPoint above(b.x(), b.y() - (ph - 1) - 4);
    // Beside a button at the foot of the screen (the bar of a maximised recording window) the
    // popup would reach below the screen's edge: it is moved up to end there.
    const int besideY = qMin(b.y() - 15, screen.bottom() - (ph - 1));

    const QPoint left(b.x() - (pw - 1) - 4, besideY);
    if (left.x() >= screen.left())
        return left;
    const QPoint below(b.x(), b.y() + (bh - 1) + 4);
    if (below.y() + ph - 1 <= screen.bottom())
        return below;
    const QPoint right(b.x() + (bw - 1) + 4, besideY);
    if (right.x() + pw - 1 <= screen.right())
        return right;
    return above;
}

void BoardSettingPopup::showBeside(QWidget *button)
{
    const QPoint b = button->mapToGlobal(QPoint(0, 0));
    QScreen *screen = button->screen();
    const QRect area = screen ? screen->geometry() : QRect(0, 0, 1 << 20, 1 << 20);
    move(placement(b, button->size(), size(), area));
    show();
}
