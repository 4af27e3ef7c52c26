#pragma once
// The panel shown over the preview area or the slide-show container while a file opens:
// a big file icon and "正在打开文件..." with the file name. Main thread only.
#include <QWidget>

class QLabel;

class LoaddingView : public QWidget
{
    Q_OBJECT
public:
    explicit LoaddingView(QWidget *parent = nullptr);

    void setFileName(const QString &text);
    void setPptIconVisible(bool visible);

    QLabel *label_icon = nullptr;
    QLabel *label_ppt_icon = nullptr;
    QLabel *label_file_name = nullptr;
    QLabel *label_opening = nullptr;
};
