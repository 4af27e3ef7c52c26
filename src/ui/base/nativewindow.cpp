#include "ui/base/nativewindow.h"

#include <QCoreApplication>
#include <QWidget>

void giveOwnNativeWindow(QWidget *widget)
{
    widget->setAttribute(Qt::WA_DontCreateNativeAncestors);
    // Qt looks at the application attribute only while the widget attribute changes, so the
    // rest of the program keeps its usual behaviour.
    const bool siblingsWere =
        QCoreApplication::testAttribute(Qt::AA_DontCreateNativeWidgetSiblings);
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings, true);
    widget->setAttribute(Qt::WA_NativeWindow);
    QCoreApplication::setAttribute(Qt::AA_DontCreateNativeWidgetSiblings, siblingsWere);
}
