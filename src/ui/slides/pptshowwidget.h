#pragma once
// The area of the slide-show container that holds the embedded slide-show window; the
// container keeps it fitted to the slides' aspect ratio. Main thread only.
#include <QWidget>

class PptShowWidget : public QWidget
{
    Q_OBJECT
public:
    explicit PptShowWidget(QWidget *parent = nullptr);
};
